#pragma once
// Window geometry is kept in twips (1440 per inch); pixels appear only where
// the windowing layer needs them. These conversions are pure so the
// placement of windows and message boxes can be checked without a screen.
namespace qv {

inline constexpr double kTwipsPerInch = 1440.0;
inline constexpr double kDefaultDpi = 96.0;

// Twips per pixel of a screen, horizontally and vertically.
struct TwipsPerPixel {
  double x = kTwipsPerInch / kDefaultDpi;
  double y = kTwipsPerInch / kDefaultDpi;
};

// A window's outer rectangle (frame included) in twips, screen coordinates.
struct TwipsRect {
  double Left = 0;
  double Top = 0;
  double Width = 0;
  double Height = 0;
};

struct PixelRect {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
  bool operator==(const PixelRect&) const = default;
};

struct PixelPoint {
  int x = 0;
  int y = 0;
  bool operator==(const PixelPoint&) const = default;
};

// 1440 divided by the logical dots per inch; a missing or absurd DPI reading
// counts as 96.
TwipsPerPixel TwipsPerPixelForDpi(double dpiX, double dpiY);

// Nearest integer, ties to the even neighbour; clamped to the int range,
// NaN gives 0.
int NearestInt(double value);

// The message-box arithmetic: every twips value and every factor is first
// rounded to an integer, then divided with an integer quotient. A factor that
// rounds below 1 counts as 1.
PixelRect TwipsToPixelsForCentring(const TwipsRect& twips, TwipsPerPixel factors);

// Top-left corner that centres a box of the given pixel size over the window:
// offsets are halved truncating toward zero and may be negative; the result
// is not kept inside any screen.
PixelPoint CentredBoxPosition(const TwipsRect& window, TwipsPerPixel factors, int boxWidth,
                              int boxHeight);

// Plain conversions for storing and restoring a window's own geometry.
TwipsRect PixelsToTwips(const PixelRect& pixels, TwipsPerPixel factors);
PixelRect TwipsToPixels(const TwipsRect& twips, TwipsPerPixel factors);

}  // namespace qv
