#pragma once
// What a full identification reply says about the station.
#include <cstdint>
#include <string>

#include "core/Clock.h"

namespace qv {

struct StationInfo {
  double serial = 0;             // 32-bit unsigned number, as StationSerial keeps it
  int codeNumber = 0;            // display only
  bool bUsb = false;             // the station's own USB-serial interface
  std::string firmware;          // three characters, one per byte
  LocalDateTime productionDate;  // normalised; time of day 00:00
  std::uint16_t HwWord = 0;
  std::string hardwareText;  // HwWord as four hex digits, "8115"
  std::int64_t bootValue = 0;
  std::string bootText;  // low 16 bits of the boot value as four hex digits
  float voltage = 0;     // battery, volts
};

}  // namespace qv
