#include "serial/SerialLine.h"

#include <gtest/gtest.h>

#include "serial/SerialComm.h"

namespace qv {
namespace {

TEST(ParseLineSettings, AcceptedTextsAreReadAndWrittenBackInTheirUsualForm) {
  struct Case {
    const char* text;
    std::int32_t baud;
    char parity;
    int dataBits;
    StopBits stopBits;
    const char* formatted;
  };
  const Case cases[] = {
      {"38400,n,8,1", 38400, 'n', 8, StopBits::One, "38400,n,8,1"},
      {"4800,N,8,1", 4800, 'n', 8, StopBits::One, "4800,n,8,1"},
      {" 9600 , e , 7 , 2 ", 9600, 'e', 7, StopBits::Two, "9600,e,7,2"},
      {"1200,o,5,1.5", 1200, 'o', 5, StopBits::OneAndHalf, "1200,o,5,1.5"},
      {"115200,M,6,1", 115200, 'm', 6, StopBits::One, "115200,m,6,1"},
      {"300,s,8,2", 300, 's', 8, StopBits::Two, "300,s,8,2"},
  };
  for (const auto& c : cases) {
    const auto parsed = ParseLineSettings(c.text);
    ASSERT_TRUE(parsed.has_value()) << c.text;
    EXPECT_EQ(std::tuple(parsed->baud, parsed->parity, parsed->dataBits, parsed->stopBits),
              std::tuple(c.baud, c.parity, c.dataBits, c.stopBits))
        << c.text;
    EXPECT_EQ(FormatLineSettings(*parsed), c.formatted);
  }
  for (const char* text :
       {"", "38400", "38400,n,8", "38400,n,8,1,1", "0,n,8,1", "-4800,n,8,1", "48OO,n,8,1",
        "38400,x,8,1", "38400,,8,1", "38400,no,8,1", "38400,n,9,1", "38400,n,4,1", "38400,n,8,3",
        "38400,n,8,1.0", "99999999999,n,8,1", "38400;n;8;1"}) {
    EXPECT_FALSE(ParseLineSettings(text).has_value()) << text;
  }
}

TEST(LineEventsBetween, EachRisingCounterRaisesItsEventOnceErrorsFirst) {
  // clang-format off
  const std::pair<std::uint64_t LineCounters::*, int> cases[] = {
      {&LineCounters::breaks, comEventBreak},    {&LineCounters::framing, comEventFrame},
      {&LineCounters::overrun, comEventOverrun}, {&LineCounters::bufferOverrun, comEventRxOver},
      {&LineCounters::parity, comEventRxParity}, {&LineCounters::cts, comEvCTS},
      {&LineCounters::dsr, comEvDSR},            {&LineCounters::cd, comEvCD},
      {&LineCounters::ring, comEvRing},
  };
  // clang-format on
  for (const auto& [counter, event] : cases) {
    LineCounters before;
    before.*counter = 5;
    LineCounters after = before;
    after.*counter = 8;
    EXPECT_EQ(LineEventsBetween(before, after), std::vector<int>{event});
    EXPECT_TRUE(LineEventsBetween(after, before).empty()) << "a counter reset raises nothing";
  }
  LineCounters after;
  after.ring = 1;
  after.framing = 40;
  after.parity = 2;
  EXPECT_EQ(LineEventsBetween({}, after),
            (std::vector<int>{comEventFrame, comEventRxParity, comEvRing}));
  EXPECT_TRUE(LineEventsBetween(after, after).empty());
}

}  // namespace
}  // namespace qv
