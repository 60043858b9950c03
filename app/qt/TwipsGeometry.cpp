#include "app/qt/TwipsGeometry.h"

#include <QGuiApplication>
#include <QMargins>
#include <QScreen>
#include <QStyle>
#include <QWidget>
#include <algorithm>

namespace qv {

namespace {

const QScreen* ScreenOf(const QWidget* widget) {
  if (widget && widget->screen()) return widget->screen();
  return QGuiApplication::primaryScreen();
}

// The frame around the widget: the platform's when it knows one. A window
// that is not shown yet has no frame from the window manager, which adds it
// (title bar, borders) only when it maps the window; until then the style's
// title bar and border stand in, so that start-up keeps the whole window,
// title bar included, on the screen.
QMargins FrameMargins(const QWidget& widget) {
  const QRect frame = widget.frameGeometry();
  const QRect inner = widget.geometry();
  const QMargins known(inner.left() - frame.left(), inner.top() - frame.top(),
                       frame.right() - inner.right(), frame.bottom() - inner.bottom());
  const bool framedLater = widget.isWindow() && !widget.isVisible() &&
                           !(widget.windowFlags() & Qt::FramelessWindowHint);
  if (!known.isNull() || !framedLater) return known;
  const QStyle* style = widget.style();
  const int border = style->pixelMetric(QStyle::PM_MdiSubWindowFrameWidth, nullptr, &widget);
  const int title = style->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, &widget);
  return {border, title + border, border, border};
}

}  // namespace

TwipsPerPixel ScreenTwipsPerPixel(const QWidget* widget) {
  const QScreen* screen = ScreenOf(widget);
  if (!screen) return {};
  return TwipsPerPixelForDpi(screen->logicalDotsPerInchX(), screen->logicalDotsPerInchY());
}

TwipsRect FrameGeometryTwips(const QWidget& widget) {
  const QRect frame = widget.geometry().marginsAdded(FrameMargins(widget));
  return PixelsToTwips({frame.x(), frame.y(), frame.width(), frame.height()},
                       ScreenTwipsPerPixel(&widget));
}

void SetFrameGeometryTwips(QWidget& widget, const TwipsRect& twips) {
  const PixelRect pixels = TwipsToPixels(twips, ScreenTwipsPerPixel(&widget));
  const QMargins frame = FrameMargins(widget);
  widget.move(pixels.left, pixels.top);
  widget.resize(std::max(0, pixels.width - frame.left() - frame.right()),
                std::max(0, pixels.height - frame.top() - frame.bottom()));
}

}  // namespace qv
