#include "serial/SerialLine.h"

#include "core/SerialComm.h"
#include "core/TextRules.h"

namespace qv {

namespace {

std::vector<std::string_view> SplitCommas(std::string_view text) {
  std::vector<std::string_view> parts;
  while (true) {
    const auto comma = text.find(',');
    parts.push_back(TrimBlanks(text.substr(0, comma)));
    if (comma == std::string_view::npos) return parts;
    text.remove_prefix(comma + 1);
  }
}

std::optional<StopBits> ParseStopBits(std::string_view text) {
  if (text == "1") return StopBits::One;
  if (text == "1.5") return StopBits::OneAndHalf;
  if (text == "2") return StopBits::Two;
  return std::nullopt;
}

}  // namespace

std::optional<LineSettings> ParseLineSettings(std::string_view text) {
  const auto parts = SplitCommas(text);
  if (parts.size() != 4) return std::nullopt;
  const auto baud = WholeDigits(parts[0]);
  const auto dataBits = WholeDigits(parts[2]);
  const auto stopBits = ParseStopBits(parts[3]);
  if (!baud || *baud <= 0 || !dataBits || *dataBits < 5 || *dataBits > 8 || !stopBits) {
    return std::nullopt;
  }
  if (parts[1].size() != 1) return std::nullopt;
  const char parity = static_cast<char>(parts[1][0] | 0x20);
  if (std::string_view("neoms").find(parity) == std::string_view::npos) return std::nullopt;
  return LineSettings{*baud, parity, *dataBits, *stopBits};
}

std::string FormatLineSettings(const LineSettings& settings) {
  const char* stop = settings.stopBits == StopBits::One          ? "1"
                     : settings.stopBits == StopBits::OneAndHalf ? "1.5"
                                                                 : "2";
  return std::to_string(settings.baud) + "," + settings.parity + "," +
         std::to_string(settings.dataBits) + "," + stop;
}

std::vector<int> LineEventsBetween(const LineCounters& before, const LineCounters& after) {
  struct Kind {
    std::uint64_t LineCounters::*counter;
    int event;
  };
  static constexpr Kind kKinds[] = {
      {&LineCounters::breaks, comEventBreak},   {&LineCounters::framing, comEventFrame},
      {&LineCounters::overrun, comEventOverrun}, {&LineCounters::bufferOverrun, comEventRxOver},
      {&LineCounters::parity, comEventRxParity}, {&LineCounters::cts, comEvCTS},
      {&LineCounters::dsr, comEvDSR},            {&LineCounters::cd, comEvCD},
      {&LineCounters::ring, comEvRing},
  };
  std::vector<int> events;
  for (const auto& kind : kKinds) {
    if (after.*kind.counter > before.*kind.counter) events.push_back(kind.event);
  }
  return events;
}

}  // namespace qv
