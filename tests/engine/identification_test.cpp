#include "protocol/Identification.h"

#include <gtest/gtest.h>

#include "core/Bytes.h"
#include "core/Calendar.h"

namespace qv {
namespace {

using Rx = std::array<std::uint8_t, 257>;

// A full identification reply: serial 4321, firmware "580", made 2009-12-15,
// hardware 8115, battery 3.0 V, code number 261, boot "0105".
Rx Reply() {
  Rx rx{kIdentificationLength};
  // clang-format off
  for (const auto& [index, bytes] : {std::pair(4, Bytes{0, 0, 0x10, 0xE1, 0x30, '5', '8', '0', 9, 12, 15, 0x81, 0x15}),
                                     {84, Bytes{0x99, 0x84}}, {100, BytesOf("0105")}, {118, Bytes{5, 0x40}}})
    std::copy(bytes.begin(), bytes.end(), rx.begin() + index);
  // clang-format on
  return rx;
}

TEST(Identification, LabelWithFieldsAtTheirLimits) {
  const StationInfo worked = ReadStationInfo(Reply());
  EXPECT_EQ(MsSince2000(worked.productionDate), MsSince2000({2009, 12, 15}));
  EXPECT_EQ(StationCaption(worked, "Title ", "600"), "QV-Boot Title (4321) fw580 -> fw600");
  // The label shows every field but the boot text, which gets its own column.
  // clang-format off
  const std::tuple<int, std::vector<int>, const char*, const char*> cases[] = {
      {4, {}, "CodeNo: 261 Board: 4321 USB Hardware: 81-15 Boot: 65541", "0005"},
      {4, {0xFF, 0xFF, 0xFF, 0xFF}, "CodeNo: 261 Board: 4294967295 USB Hardware: 81-15 Boot: 65541", "0005"},
      {118, {0xFF, 0x80}, "CodeNo: 767 Board: 4321 USB Hardware: 81-15 Boot: 65541", "0005"},  // bits 6-7 only
      {8, {0x38}, "CodeNo: 261 Board: 4321 Hardware: 81-15 Boot: 65541", "0005"},
      {15, {0x09, 0x00}, "CodeNo: 261 Board: 4321 USB Hardware: 9-0 Boot: 65541", "0005"},
      // Erased flash overflows 32 bits; bytes below '0' make negative terms.
      {100, {0xFF, 0xFF, 0xFF, 0xFF}, "CodeNo: 261 Board: 4321 USB Hardware: 81-15 Boot: 3486502863", "CFCF"},
      {100, {0, 0, 0, 0}, "CodeNo: 261 Board: 4321 USB Hardware: 81-15 Boot: -808464432", "CFD0"},
  };
  // clang-format on
  for (const auto& [index, bytes, label, bootText] : cases) {
    Rx rx = Reply();
    std::copy(bytes.begin(), bytes.end(), rx.begin() + index);
    const StationInfo info = ReadStationInfo(rx);
    EXPECT_EQ(StationLabel(info) + " | " + info.bootText, label + std::string(" | ") + bootText);
  }
}

// Exact halves go to the even digit; 2.945 lies just below its half as a float.
TEST(Identification, BatteryVoltageText) {
  for (const auto& [volts, text] :
       {std::pair(2.625f, "2,62"), {0.375f, "0,38"}, {2.945f, "2,94"}, {4.99999f, "5,00"}})
    EXPECT_EQ(VoltageText(volts, ','), text);
}

TEST(Identification, ProductionDatePivotsAndRollsOver) {
  // clang-format off
  const std::tuple<int, int, int, LocalDateTime> cases[] = {
      {9, 12, 15, {2009, 12, 15}}, {29, 1, 1, {2029, 1, 1}}, {30, 1, 1, {1930, 1, 1}}, {99, 12, 31, {1999, 12, 31}},
      {10, 13, 1, {2011, 1, 1}}, {10, 2, 30, {2010, 3, 2}}, {10, 0, 0, {2009, 11, 30}}, {9, 12, 46, {2010, 1, 15}},
  };
  // clang-format on
  for (const auto& [year, month, day, expected] : cases)
    EXPECT_EQ(MsSince2000(ProductionDate(year, month, day)), MsSince2000(expected))
        << year << "-" << month;
}

TEST(Identification, NewHardwareFromTheFifteenthOfDecember2009UntilNow) {
  const LocalDateTime pc{2024, 6, 1, 12};
  // clang-format off
  const std::tuple<LocalDateTime, LocalDateTime, bool> cases[] = {
      // the first day, the day before; made today (earlier than the present time), tomorrow
      {{2009, 12, 15}, pc, true}, {{2009, 12, 14}, pc, false}, {{2024, 6, 1}, pc, true}, {{2024, 6, 2}, pc, false},
      {{2009, 12, 15}, {2009, 12, 15}, false}, {{2009, 12, 15}, {2009, 12, 15, 0, 0, 0, 1}, true},
  };
  // clang-format on
  for (const auto& [made, now, isNew] : cases)
    EXPECT_EQ(IsNewHardware(made, now), isNew) << made.year;
}

TEST(Identification, HardwareGroupsAndTheFirmware560Rule) {
  // clang-format off
  using G = HardwareGroup;
  const std::pair<const char*, G> groups[] = {{"8115", G::A}, {"B897", G::A}, {"9D9A", G::B}, {"898A", G::B},
                                              {"9d9a", G::None}, {"8115 ", G::None}};
  const std::pair<const char*, bool> firmware[] = {{"540", true}, {"1000", true}, {"56", true}, {"", true},
      {"559", true}, {"560", false}, {"5600", false}, {"9", false}};
  // clang-format on
  for (const auto& [text, group] : groups) EXPECT_EQ(HardwareGroupOf(text), group) << text;
  for (const auto& [text, below] : firmware) EXPECT_EQ(FirmwareBelow560(text), below) << text;
}

}  // namespace
}  // namespace qv
