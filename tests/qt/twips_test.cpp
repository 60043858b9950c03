#include "app/Twips.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace qv {
namespace {

TEST(Twips, FactorsFromDpi) {
  struct Case {
    double dpi;
    double factor;
  };
  const Case cases[] = {{96, 15}, {120, 12}, {144, 10}, {192, 7.5},
                        {72, 20}, {0, 15},   {-96, 15}, {std::nan(""), 15}};
  for (const auto& c : cases) {
    const TwipsPerPixel f = TwipsPerPixelForDpi(c.dpi, c.dpi);
    EXPECT_DOUBLE_EQ(f.x, c.factor) << c.dpi;
    EXPECT_DOUBLE_EQ(f.y, c.factor) << c.dpi;
  }
  const TwipsPerPixel mixed = TwipsPerPixelForDpi(96, 144);
  EXPECT_DOUBLE_EQ(mixed.x, 15);
  EXPECT_DOUBLE_EQ(mixed.y, 10);
}

TEST(Twips, NearestIntTiesToEvenAndClamps) {
  struct Case {
    double in;
    int out;
  };
  const Case cases[] = {{7.5, 8},
                        {22.5, 22},
                        {14.4, 14},
                        {1499.5, 1500},
                        {1500.5, 1500},
                        {-0.5, 0},
                        {-1.5, -2},
                        {-7.6, -8},
                        {0.49, 0},
                        {1e20, std::numeric_limits<int>::max()},
                        {-1e20, std::numeric_limits<int>::min()},
                        {std::nan(""), 0}};
  for (const auto& c : cases) EXPECT_EQ(NearestInt(c.in), c.out) << c.in;
}

struct CentringCase {
  const char* name;
  TwipsRect window;
  TwipsPerPixel factors;
  int boxWidth;
  int boxHeight;
  PixelPoint expected;
};

TEST(Twips, CentredBoxPosition) {
  const CentringCase cases[] = {
      // 100,80 600x400 px; box 300x150.
      {"normal", {1500, 1200, 9000, 6000}, {15, 15}, 300, 150, {250, 205}},
      {"odd difference halves toward zero",
       {1500, 1200, 9015, 6015},
       {15, 15},
       300,
       150,
       {250, 205}},
      // 100,80 200x100 px: the box overhangs on every side.
      {"box larger than window", {1500, 1200, 3000, 1500}, {15, 15}, 300, 150, {50, 55}},
      // Difference -101 halves to -50, not -51.
      {"negative odd difference truncates toward zero",
       {0, 0, 2985, 1485},
       {15, 15},
       300,
       150,
       {-50, -25}},
      {"window off the left edge", {-1507, -30, 9000, 6000}, {15, 15}, 300, 150, {50, 123}},
      // 7.5 rounds to 8 and 14.4 to 14 before dividing.
      {"factors rounded first", {800, 1400, 4800, 2800}, {7.5, 14.4}, 100, 100, {350, 150}},
      // 1499.5 twips rounds to 1500 before the integer quotient.
      {"twips rounded first", {1499.5, 1199.5, 9000, 6000}, {15, 15}, 300, 150, {250, 205}},
      {"factor below one counts as one", {100, 100, 200, 200}, {0.4, 0.4}, 100, 100, {150, 150}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CentredBoxPosition(c.window, c.factors, c.boxWidth, c.boxHeight), c.expected)
        << c.name;
  }
}

TEST(Twips, CentringConvertsEachValueSeparately) {
  const PixelRect px = TwipsToPixelsForCentring({1507, 1193, 9014, -22}, {15, 15});
  EXPECT_EQ(px, (PixelRect{100, 79, 600, -1}));
}

TEST(Twips, WindowGeometryRoundTrip) {
  const TwipsPerPixel factors[] = {{15, 15}, {7.5, 7.5}, {12, 10}, {14.4, 13.090909}};
  const PixelRect rects[] = {{0, 0, 640, 480}, {101, 77, 333, 251}, {-1920, -3, 1, 1}};
  for (const auto& f : factors) {
    for (const auto& r : rects) {
      EXPECT_EQ(TwipsToPixels(PixelsToTwips(r, f), f), r) << f.x << " " << r.left;
    }
  }
  const TwipsRect twips = PixelsToTwips({100, 80, 600, 400}, {15, 12});
  EXPECT_DOUBLE_EQ(twips.Left, 1500);
  EXPECT_DOUBLE_EQ(twips.Top, 960);
  EXPECT_DOUBLE_EQ(twips.Width, 9000);
  EXPECT_DOUBLE_EQ(twips.Height, 4800);
}

}  // namespace
}  // namespace qv
