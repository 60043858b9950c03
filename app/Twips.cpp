#include "app/Twips.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

namespace qv {

namespace {

constexpr double kMinDpi = 1.0;
constexpr double kMaxDpi = 10000.0;

double SaneDpi(double dpi) {
  if (!std::isfinite(dpi) || dpi < kMinDpi || dpi > kMaxDpi) return kDefaultDpi;
  return dpi;
}

int ClampToInt(std::int64_t value) {
  constexpr std::int64_t lo = std::numeric_limits<int>::min();
  constexpr std::int64_t hi = std::numeric_limits<int>::max();
  return static_cast<int>(std::clamp(value, lo, hi));
}

// A rounded factor of 0 would divide by zero on a screen above 2880 DPI.
int WholeFactor(double factor) {
  return std::max(1, NearestInt(factor));
}

int WholeQuotient(double twips, int factor) {
  return NearestInt(twips) / factor;
}

double SafeFactor(double factor) {
  return factor > 0 && std::isfinite(factor) ? factor : 1.0;
}

}  // namespace

TwipsPerPixel TwipsPerPixelForDpi(double dpiX, double dpiY) {
  return {kTwipsPerInch / SaneDpi(dpiX), kTwipsPerInch / SaneDpi(dpiY)};
}

int NearestInt(double value) {
  if (std::isnan(value)) return 0;
  constexpr double lo = std::numeric_limits<int>::min();
  constexpr double hi = std::numeric_limits<int>::max();
  const double rounded = std::nearbyint(std::clamp(value, lo, hi));
  return static_cast<int>(rounded);
}

PixelRect TwipsToPixelsForCentring(const TwipsRect& twips, TwipsPerPixel factors) {
  const int fx = WholeFactor(factors.x);
  const int fy = WholeFactor(factors.y);
  return {WholeQuotient(twips.Left, fx), WholeQuotient(twips.Top, fy),
          WholeQuotient(twips.Width, fx), WholeQuotient(twips.Height, fy)};
}

PixelPoint CentredBoxPosition(const TwipsRect& window, TwipsPerPixel factors, int boxWidth,
                              int boxHeight) {
  const PixelRect owner = TwipsToPixelsForCentring(window, factors);
  const std::int64_t x = std::int64_t{owner.left} + (std::int64_t{owner.width} - boxWidth) / 2;
  const std::int64_t y = std::int64_t{owner.top} + (std::int64_t{owner.height} - boxHeight) / 2;
  return {ClampToInt(x), ClampToInt(y)};
}

TwipsRect PixelsToTwips(const PixelRect& pixels, TwipsPerPixel factors) {
  const double fx = SafeFactor(factors.x);
  const double fy = SafeFactor(factors.y);
  return {pixels.left * fx, pixels.top * fy, pixels.width * fx, pixels.height * fy};
}

PixelRect TwipsToPixels(const TwipsRect& twips, TwipsPerPixel factors) {
  const double fx = SafeFactor(factors.x);
  const double fy = SafeFactor(factors.y);
  return {NearestInt(twips.Left / fx), NearestInt(twips.Top / fy), NearestInt(twips.Width / fx),
          NearestInt(twips.Height / fy)};
}

}  // namespace qv
