#include "app/qt/TwipsGeometry.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <algorithm>

namespace qv {

namespace {

const QScreen* ScreenOf(const QWidget* widget) {
  if (widget && widget->screen()) return widget->screen();
  return QGuiApplication::primaryScreen();
}

}  // namespace

TwipsPerPixel ScreenTwipsPerPixel(const QWidget* widget) {
  const QScreen* screen = ScreenOf(widget);
  if (!screen) return {};
  return TwipsPerPixelForDpi(screen->logicalDotsPerInchX(), screen->logicalDotsPerInchY());
}

TwipsRect FrameGeometryTwips(const QWidget& widget) {
  const QRect frame = widget.frameGeometry();
  return PixelsToTwips({frame.x(), frame.y(), frame.width(), frame.height()},
                       ScreenTwipsPerPixel(&widget));
}

void SetFrameGeometryTwips(QWidget& widget, const TwipsRect& twips) {
  const PixelRect pixels = TwipsToPixels(twips, ScreenTwipsPerPixel(&widget));
  const QSize frameExtra = widget.frameGeometry().size() - widget.geometry().size();
  widget.move(pixels.left, pixels.top);
  widget.resize(std::max(0, pixels.width - frameExtra.width()),
                std::max(0, pixels.height - frameExtra.height()));
}

}  // namespace qv
