#include "app/Twips.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace qv {
namespace {

TEST(Twips, FactorsFromDpi) {
  const std::tuple<double, double, double, double> cases[] = {
      {96, 96, 15, 15},     {120, 120, 12, 12}, {144, 144, 10, 10},
      {192, 192, 7.5, 7.5}, {72, 72, 20, 20},   {96, 144, 15, 10},
      {0, 0, 15, 15},       {-96, -96, 15, 15}, {std::nan(""), std::nan(""), 15, 15}};
  for (const auto& [dpiX, dpiY, x, y] : cases) {
    const TwipsPerPixel f = TwipsPerPixelForDpi(dpiX, dpiY);
    EXPECT_EQ(std::pair(f.x, f.y), std::pair(x, y)) << dpiX << " " << dpiY;
  }
}

TEST(Twips, NearestIntTiesToEvenAndClamps) {
  constexpr int kMax = std::numeric_limits<int>::max();
  constexpr int kMin = std::numeric_limits<int>::min();
  const std::pair<double, int> cases[] = {
      {7.5, 8},   {22.5, 22}, {14.4, 14}, {1499.5, 1500}, {1500.5, 1500}, {-0.5, 0},
      {-1.5, -2}, {-7.6, -8}, {0.49, 0},  {1e20, kMax},   {-1e20, kMin},  {std::nan(""), 0}};
  for (const auto& [in, out] : cases) EXPECT_EQ(NearestInt(in), out) << in;
}

TEST(Twips, CentredBoxPosition) {
  struct Case {
    TwipsRect window;
    TwipsPerPixel factors;
    int boxWidth, boxHeight;
    PixelPoint expected;
  };
  const Case cases[] = {
      {{1500, 1200, 9000, 6000}, {15, 15}, 300, 150, {250, 205}},      // 100,80 600x400 px
      {{1500, 1200, 9015, 6015}, {15, 15}, 300, 150, {250, 205}},      // odd: halves toward 0
      {{1500, 1200, 3000, 1500}, {15, 15}, 300, 150, {50, 55}},        // box larger: overhangs
      {{0, 0, 2985, 1485}, {15, 15}, 300, 150, {-50, -25}},            // -101 halves to -50
      {{-1507, -30, 9000, 6000}, {15, 15}, 300, 150, {50, 123}},       // off the left edge
      {{1499.5, 1199.5, 9000, 6000}, {15, 15}, 300, 150, {250, 205}},  // twips rounded first
      {{800, 1400, 4800, 2800}, {7.5, 14.4}, 100, 100, {350, 150}},    // factors 8 and 14
      {{100, 100, 200, 200}, {0.4, 0.4}, 100, 100, {150, 150}},        // factor below 1 is 1
  };
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    const Case& c = cases[i];
    EXPECT_EQ(CentredBoxPosition(c.window, c.factors, c.boxWidth, c.boxHeight), c.expected) << i;
  }
  EXPECT_EQ(TwipsToPixelsForCentring({1507, 1193, 9014, -22}, {15, 15}),
            (PixelRect{100, 79, 600, -1}));
}

TEST(Twips, WindowGeometryRoundTrip) {
  const TwipsPerPixel factors[] = {{15, 15}, 300, 150, {7.5, 7.5}, {12, 10}, {14.4, 13.090909}};
  const PixelRect rects[] = {{0, 0, 640, 480}, {101, 77, 333, 251}, {-1920, -3, 1, 1}};
  for (const auto& f : factors) {
    for (const auto& r : rects)
      EXPECT_EQ(TwipsToPixels(PixelsToTwips(r, f), f), r) << f.x << " " << r.left;
  }
  const TwipsRect twips = PixelsToTwips({100, 80, 600, 400}, {15, 12});
  EXPECT_EQ(std::vector({twips.Left, twips.Top, twips.Width, twips.Height}),
            std::vector({1500., 960., 9000., 4800.}));
}

}  // namespace
}  // namespace qv
