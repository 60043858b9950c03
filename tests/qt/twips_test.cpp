#include "app/Twips.h"

#include <gtest/gtest.h>

#include <QWidget>
#include <climits>
#include <cmath>

#include "app/qt/TwipsGeometry.h"
#include "support/QtApp.h"

namespace qv {
namespace {

TEST(Twips, NearestIntTiesToEvenAndClamps) {
  // clang-format off
  const std::pair<double, int> cases[] = {
      {22.5, 22}, {7.5, 8}, {-1.5, -2}, {-0.5, 0}, {0.49, 0}, {1e20, INT_MAX}, {-1e20, INT_MIN}, {std::nan(""), 0}};
  // clang-format on
  for (const auto& [in, out] : cases) EXPECT_EQ(NearestInt(in), out) << in;
}

TEST(Twips, CentredBoxPosition) {
  // window in twips, twips per pixel, box size in pixels, the box's top left
  // clang-format off
  const std::tuple<TwipsRect, TwipsPerPixel, int, int, PixelPoint> cases[] = {
      {{1500, 1200, 9000, 6000}, {15, 15}, 300, 150, {250, 205}},      // 100,80 600x400 px
      {{1500, 1200, 9015, 6015}, {15, 15}, 300, 150, {250, 205}},      // odd: halves toward 0
      {{1500, 1200, 3000, 1500}, {15, 15}, 300, 150, {50, 55}},        // box larger: overhangs
      {{0, 0, 2985, 1485}, {15, 15}, 300, 150, {-50, -25}},            // -101 halves to -50
      {{-1507, -30, 9000, 6000}, {15, 15}, 300, 150, {50, 123}},       // off the left edge
      {{1499.5, 1199.5, 9000, 6000}, {15, 15}, 300, 150, {250, 205}},  // twips rounded first
      {{800, 1400, 4800, 2800}, {7.5, 14.4}, 100, 100, {350, 150}},    // factors 8 and 14
      {{100, 100, 200, 200}, {0.4, 0.4}, 100, 100, {150, 150}}};       // factor below 1 is 1
  // clang-format on
  for (const auto& [window, factors, width, height, expected] : cases) {
    EXPECT_EQ(CentredBoxPosition(window, factors, width, height), expected) << window.Left;
  }
}

TEST(Twips, WindowGeometryRoundTrip) {
  const TwipsPerPixel factors[] = {{15, 15}, {7.5, 7.5}, {12, 10}, {14.4, 13.090909}};
  const PixelRect rects[] = {{0, 0, 640, 480}, {101, 77, 333, 251}, {-1920, -3, 1, 1}};
  for (const auto& f : factors) {
    for (const auto& r : rects)
      EXPECT_EQ(TwipsToPixels(PixelsToTwips(r, f), f), r) << f.x << " " << r.left;
  }
  const TwipsRect twips = PixelsToTwips({100, 80, 600, 400}, {15, 12});
  EXPECT_EQ(std::vector({twips.Left, twips.Top, twips.Width, twips.Height}),
            std::vector({1500., 960., 9000., 4800.}));
}

// A window not shown yet is measured with the title bar it is about to get,
// so the start-up clamp keeps that on the screen too; placing it keeps its size.
TEST(Twips, AWindowNotShownYetCountsItsComingFrame) {
  test::EnsureQtApp();
  QWidget window;
  window.resize(400, 300);
  const TwipsPerPixel factors = ScreenTwipsPerPixel(&window);
  TwipsRect twips = FrameGeometryTwips(window);
  EXPECT_GT(twips.Height, 300 * factors.y + 10 * factors.y);
  twips.Top = 0;
  SetFrameGeometryTwips(window, twips);
  EXPECT_EQ(window.size(), QSize(400, 300));
}

}  // namespace
}  // namespace qv
