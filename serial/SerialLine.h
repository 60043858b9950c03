#pragma once
// Line settings text ("38400,n,8,1") and the line events a serial driver
// counts, independent of any serial library.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/Errors.h"

namespace qv {


enum class StopBits { One, OneAndHalf, Two };

struct LineSettings {
  std::int32_t baud = 9600;
  char parity = 'n';  // n, e, o, m (mark), s (space)
  int dataBits = 8;   // 5..8
  StopBits stopBits = StopBits::One;
};

// "speed,parity,data,stop"; blanks around the parts are allowed, the letter
// case of the parity is not significant. nullopt for anything else.
std::optional<LineSettings> ParseLineSettings(std::string_view text);
std::string FormatLineSettings(const LineSettings& settings);

// Running totals a driver keeps for one open port.
struct LineCounters {
  std::uint64_t breaks = 0;
  std::uint64_t framing = 0;
  std::uint64_t overrun = 0;        // the UART lost bytes
  std::uint64_t bufferOverrun = 0;  // the receive buffer lost bytes
  std::uint64_t parity = 0;
  std::uint64_t cts = 0;
  std::uint64_t dsr = 0;
  std::uint64_t cd = 0;
  std::uint64_t ring = 0;
};

// CommEvent codes for what changed between two readings, one per kind,
// errors first. A counter that went down (driver reset) raises nothing.
std::vector<int> LineEventsBetween(const LineCounters& before, const LineCounters& after);

}  // namespace qv
