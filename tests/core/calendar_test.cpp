#include "core/Calendar.h"

#include <gtest/gtest.h>

namespace qv {
namespace {

TEST(Calendar, DatesRollOverAndKnowTheirWeekday) {
  const struct {
    int year, month, day;
    int wantYear, wantMonth, wantDay, wantWeekday;
  } cases[] = {
      {2000, 1, 1, 2000, 1, 1, 6},      // a Saturday
      {2044, 12, 31, 2044, 12, 31, 6},  // Saturday 31 December 2044
      {2009, 12, 15, 2009, 12, 15, 2},  // Tuesday
      {2024, 2, 30, 2024, 3, 1, 5},     // leap year: 30 February is 1 March
      {2023, 2, 29, 2023, 3, 1, 3},     // no leap year
      {2009, 13, 1, 2010, 1, 1, 5},     // month 13 is January of the next year
      {2009, 12, 32, 2010, 1, 1, 5},    // day 32 rolls into the next month
      {2010, 1, 0, 2009, 12, 31, 4},    // day 0 is the last of the month before
      {1999, 12, 31, 1999, 12, 31, 5},  // before the epoch
      {2100, 3, 1, 2100, 3, 1, 1},      // 2100 is no leap year
  };
  for (const auto& c : cases) {
    const LocalDateTime t = DateTimeFromMs(DaysFromCivil(c.year, c.month, c.day) * 86'400'000LL);
    EXPECT_EQ(t.year, c.wantYear) << c.year << "-" << c.month << "-" << c.day;
    EXPECT_EQ(t.month, c.wantMonth) << c.year << "-" << c.month << "-" << c.day;
    EXPECT_EQ(t.day, c.wantDay) << c.year << "-" << c.month << "-" << c.day;
    EXPECT_EQ(t.dayOfWeek, c.wantWeekday) << c.year << "-" << c.month << "-" << c.day;
  }
}

TEST(Calendar, MillisecondsRoundTripThroughTheDay) {
  LocalDateTime t;
  t.year = 2026;
  t.month = 12;
  t.day = 6;
  t.hour = 23;
  t.minute = 59;
  t.second = 59;
  t.millisecond = 999;
  const LocalDateTime back = DateTimeFromMs(MsSince2000(t));
  EXPECT_EQ(back.hour, 23);
  EXPECT_EQ(back.minute, 59);
  EXPECT_EQ(back.second, 59);
  EXPECT_EQ(back.millisecond, 999);
  EXPECT_EQ(DateTimeFromMs(MsSince2000(t) + 1).day, 7);
  EXPECT_EQ(DateTimeFromMs(-1).year, 1999);
}

}  // namespace
}  // namespace qv
