#pragma once
// A widget's outer (frame) geometry in twips, on the screen it lives on.
#include "app/Twips.h"

class QWidget;

namespace qv {

// Factors of the widget's screen, or of the primary screen when the widget is
// null or not on a screen yet.
TwipsPerPixel ScreenTwipsPerPixel(const QWidget* widget);

// With the frame the window manager will give a window that is not shown yet.
TwipsRect FrameGeometryTwips(const QWidget& widget);

// Places the widget so that its frame covers the rectangle; the frame
// thickness is taken from the widget's frame as above.
void SetFrameGeometryTwips(QWidget& widget, const TwipsRect& twips);

}  // namespace qv
