// The settings texts themselves are a contract table (tests/contract), run on
// both ports.
#include "serial/SerialLine.h"

#include <gtest/gtest.h>

#include "core/SerialComm.h"

namespace qv {
namespace {

TEST(LineEventsBetween, EachRisingCounterRaisesItsEventOnceErrorsFirst) {
  // clang-format off
  const std::pair<std::uint64_t LineCounters::*, int> cases[] = {
      {&LineCounters::breaks, comEventBreak},    {&LineCounters::framing, comEventFrame},
      {&LineCounters::overrun, comEventOverrun}, {&LineCounters::bufferOverrun, comEventRxOver},
      {&LineCounters::parity, comEventRxParity}, {&LineCounters::cts, comEvCTS},
      {&LineCounters::dsr, comEvDSR},            {&LineCounters::cd, comEvCD},
      {&LineCounters::ring, comEvRing}};
  // clang-format on
  for (const auto& [counter, event] : cases) {
    LineCounters before, after;
    before.*counter = 5;
    after.*counter = 8;
    EXPECT_EQ(LineEventsBetween(before, after), std::vector<int>{event});
    EXPECT_TRUE(LineEventsBetween(after, before).empty()) << "a counter reset raises nothing";
  }
  const LineCounters after{.framing = 40, .parity = 2, .ring = 1};
  EXPECT_EQ(LineEventsBetween({}, after),
            (std::vector<int>{comEventFrame, comEventRxParity, comEvRing}));
}

}  // namespace
}  // namespace qv
