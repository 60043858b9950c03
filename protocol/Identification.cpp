#include "protocol/Identification.h"

#include <algorithm>
#include <cmath>
#include <iterator>

#include "core/Calendar.h"
#include "core/View.h"
#include "protocol/stdFunc.h"

namespace qv {

namespace {

constexpr float kVoltsPerCount = 13100.0f;

std::string HexNoLeadingZeros(unsigned value) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string out;
  do {
    out.insert(out.begin(), kDigits[value & 0x0F]);
    value >>= 4;
  } while (value != 0);
  return out;
}

std::string SerialText(double serial) {
  return std::to_string(static_cast<std::uint64_t>(serial));
}

// Erased flash reads 0xFF, giving terms above 0x30 that overflow 32 bits,
// and bytes below '0' give negative terms: 64 bits hold both.
std::int64_t BootValue(const std::array<std::uint8_t, 257>& rx) {
  std::int64_t value = 0;
  for (int i = 100; i <= 103; ++i) value = value * 256 + (rx[i] - 0x30);
  return value;
}

}  // namespace

StationInfo ReadStationInfo(const std::array<std::uint8_t, 257>& rx) {
  StationInfo info;
  for (int i = 4; i <= 7; ++i) info.serial = info.serial * 256 + rx[i];
  // Bits 6 and 7 of byte 119 are the code number's high bits.
  info.codeNumber = rx[118] + ((rx[119] & 0xC0) >> 6) * 256;
  info.bUsb = (rx[8] & 0x38) == 0x30;
  info.firmware = {static_cast<char>(rx[9]), static_cast<char>(rx[10]), static_cast<char>(rx[11])};
  info.productionDate = ProductionDate(rx[12], rx[13], rx[14]);
  info.HwWord = static_cast<std::uint16_t>(rx[15] * 256 + rx[16]);
  info.hardwareText = LongToHex(info.HwWord, 2);
  info.bootValue = BootValue(rx);
  info.bootText = LongToHex(static_cast<std::uint32_t>(info.bootValue & 0xFFFF), 2);
  info.voltage = static_cast<float>((rx[84] * 256 + rx[85]) / double{kVoltsPerCount});
  return info;
}

LocalDateTime ProductionDate(int yearByte, int month, int day) {
  int year = yearByte;
  if (yearByte < 30)
    year += 2000;
  else if (yearByte < 100)
    year += 1900;
  return DateTimeFromMs(DaysFromCivil(year, month, day) * 86'400'000);
}

bool IsNewHardware(const LocalDateTime& productionDate, const LocalDateTime& pcNow) {
  static const std::int64_t kFirstNewHardware = MsSince2000({2009, 12, 15});
  const std::int64_t made = MsSince2000(productionDate);
  return made >= kFirstNewHardware && made < MsSince2000(pcNow);
}

HardwareGroup HardwareGroupOf(const std::string& hardwareText) {
  static constexpr const char* kGroupA[] = {"8115", "8117", "8197", "8198", "8187", "8188", "9197",
                                            "9597", "9198", "9199", "9398", "B197", "B897"};
  static constexpr const char* kGroupB[] = {"9D9A", "CD9B", "898A", "898B", "90F1", "92F1"};
  const auto in = [&](const auto& group) {
    return std::find(std::begin(group), std::end(group), hardwareText) != std::end(group);
  };
  if (in(kGroupA)) return HardwareGroup::A;
  if (in(kGroupB)) return HardwareGroup::B;
  return HardwareGroup::None;
}

bool FirmwareBelow560(const std::string& fileFirmware) {
  return fileFirmware < "560";
}

std::string StationLabel(const StationInfo& station) {
  std::string label = "CodeNo: " + std::to_string(station.codeNumber);
  label += " Board: " + SerialText(station.serial);
  if (station.bUsb) label += " USB";
  label += " Hardware: " + HexNoLeadingZeros(station.HwWord >> 8u) + "-" +
           HexNoLeadingZeros(station.HwWord & 0xFFu);
  label += " Boot: " + std::to_string(station.bootValue);
  return label;
}

std::string StationCaption(const StationInfo& station, const std::string& fileTitle,
                           const std::string& fileFirmware) {
  const std::string caption = std::string(kAppTitle) + " " + fileTitle + "(" +
                              SerialText(station.serial) + ") fw" + station.firmware;
  return fileFirmware.empty() ? caption : caption + " -> fw" + fileFirmware;
}

std::string VoltageText(float voltage, char decimalSeparator) {
  // nearbyint rounds a half to the even neighbour in the default rounding mode.
  const auto hundredths = static_cast<std::int64_t>(std::nearbyint(double{voltage} * 100.0));
  const std::int64_t cents = hundredths % 100;
  return std::to_string(hundredths / 100) + decimalSeparator + (cents < 10 ? "0" : "") +
         std::to_string(cents);
}

}  // namespace qv
