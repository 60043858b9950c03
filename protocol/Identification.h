#pragma once
// What an identification reply (0x83) says about the station, and the pure
// rules the identification handler applies to it: hardware groups, the
// firmware-560 rule, the station label and the window caption.
#include <array>
#include <cstdint>
#include <string>

#include "core/Clock.h"
#include "core/StationInfo.h"

namespace qv {

// LEN of a full identification reply: code number, offset and 116 data bytes.
inline constexpr std::uint8_t kIdentificationLength = 119;

StationInfo ReadStationInfo(const std::array<std::uint8_t, 257>& rx);

// Production date from the station's year, month and day bytes. Two-digit
// years pivot at 30; month and day beyond their range roll over.
LocalDateTime ProductionDate(int yearByte, int month, int day);

// Stations made from 2009-12-15 on cannot run firmware below 560. A date
// after the PC's present moment is a station clock not yet set, not new
// hardware.
bool IsNewHardware(const LocalDateTime& productionDate, const LocalDateTime& pcNow);

enum class HardwareGroup { A, B, None };
HardwareGroup HardwareGroupOf(const std::string& hardwareText);

// Character-by-character, as the file names sort: "540" and "1000" are below.
bool FirmwareBelow560(const std::string& fileFirmware);

// "CodeNo: 5 Board: 4321 USB Hardware: 81-15 Boot: 261" for lblStationsInfo.
std::string StationLabel(const StationInfo& station);

// "QV-Boot <title>(<serial>) fw<station> -> fw<file>"; without a file's
// firmware (no file chosen yet) "QV-Boot (<serial>) fw<station>".
std::string StationCaption(const StationInfo& station, const std::string& fileTitle,
                           const std::string& fileFirmware);

// Volts with two decimals, a half to the even digit: "2.95", "3.00".
std::string VoltageText(float voltage, char decimalSeparator);

}  // namespace qv
