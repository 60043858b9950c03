#include <gtest/gtest.h>

#include <tuple>

#include "protocol/stdFunc.h"
#include "sim/station/StationClock.h"
#include "sim/station/StationImage.h"
#include "sim/station/UpgradeImage.h"
#include "support/HexBytes.h"

namespace qv::test {
namespace {

using namespace qv::sim;

auto Fields(const LocalDateTime& t) {
  return std::tuple(t.year, t.month, t.day, t.hour, t.minute, t.second, t.millisecond, t.dayOfWeek);
}

TEST(UpgradeFile, TrailerCarriesVersionsAndTheChecksumOfAllButItself) {
  const Bytes image = Hex("02 03 10 15 FF 00 41 42 43 44");
  const Bytes file = BuildUpgradeFile(image, 0x0102, 0x8115);
  ASSERT_EQ(file.size(), image.size() + 6);
  EXPECT_EQ(Bytes(file.end() - 6, file.end() - 2), Hex("01 02 81 15"));
  // Made with the station's checksum, checked with the loader's.
  const std::uint32_t crc = CalcCrc(file.data(), file.size() - 2);
  EXPECT_EQ(file[file.size() - 2] * 256u + file.back(), crc);

  const auto info = SplitUpgradeFile(file);
  ASSERT_TRUE(info);
  EXPECT_EQ(std::tuple(info->image, info->boot, info->hardware, info->checksumOk()),
            std::tuple(image, 0x0102, 0x8115, true));

  Bytes damaged = file;
  damaged[3] ^= 0x01;
  const auto damagedParts = SplitUpgradeFile(damaged);
  ASSERT_TRUE(damagedParts);
  EXPECT_FALSE(damagedParts->checksumOk());
  EXPECT_FALSE(SplitUpgradeFile(Hex("01 02 03 04 05")));
  const auto trailerOnly = SplitUpgradeFile(Hex("01 02 03 04 05 06"));
  ASSERT_TRUE(trailerOnly);
  EXPECT_TRUE(trailerOnly->image.empty());
}

TEST(UpgradeFile, NamesOfKeyFileFirmwareAndFolder) {
  EXPECT_EQ(KeyFilePath("/up/0x8115/X_560.pupd"), "/up/0x8115/X_560.pkey");
  EXPECT_EQ(KeyFilePath("X_560.upd"), "X_560.key");
  EXPECT_EQ(FirmwareFromFileName("/up_1/0x8115/X_560.pupd"), "560");
  EXPECT_EQ(FirmwareFromFileName("Title_1000x.pupd"), "100");
  EXPECT_FALSE(FirmwareFromFileName("/up_1/NoUnderscore.pupd"));
  EXPECT_EQ(HardwareFolderName(0x9D9A), "0x9D9A");
  EXPECT_EQ(HardwareFolderName(0x0042), "0x0042");
  EXPECT_NE(MakeKey(7), MakeKey(8));
}

TEST(UpgradeFile, SyntheticImagesNameTheirFirmwareAndCarryControlBytes) {
  const Bytes image = MakeSyntheticImage(1024, "560");
  ASSERT_EQ(image.size(), 1024u);
  EXPECT_EQ(SyntheticFirmware(image), "560");
  for (std::uint8_t control : {kStx, kEtx, kDle, kNak, kWakeUp}) {
    EXPECT_NE(std::find(image.begin() + 8, image.end(), control), image.end()) << int(control);
  }
  EXPECT_FALSE(SyntheticFirmware(MakeSyntheticImage(4, "560")));
  EXPECT_FALSE(SyntheticFirmware(BytesOf("QVIMG5x0 and more")));
}

TEST(StationClockRecord, EncodesTheHalfDayTheWeekdayAndTheFraction) {
  struct Case {
    LocalDateTime time;
    Bytes record;
  };
  const std::vector<Case> cases = {
      {{2044, 12, 31, 15, 30, 0, 0, 6}, Hex("2C 0C 1F 0D 31 38 00")},
      {{2030, 6, 1, 12, 0, 0, 500, 6}, Hex("1E 06 01 0C A8 C0 80")},  // noon stays in the morning
      {{2026, 12, 6, 9, 0, 1, 0, 0}, Hex("1A 0C 06 00 7E 91 00")},    // Sunday morning
  };
  for (const auto& c : cases) EXPECT_EQ(EncodeSetRecord(RecordFromTime(c.time)), c.record);

  for (const Bytes& bad :
       {Hex("1A 0D 06 00 00 00 00"), Hex("1A 00 06 00 00 00 00"), Hex("1A 0C 20 00 00 00 00"),
        Hex("1A 0C 06 0E 00 00 00"), Hex("1A 0C 06 00 A8 C1 00"), Hex("1A 0C 06 00 00 00")}) {
    EXPECT_FALSE(DecodeSetRecord(bad)) << BytesToHex(bad);
  }
  const auto record = DecodeSetRecord(Hex("2C 0C 1F 0D 31 38 80"));
  ASSERT_TRUE(record);
  EXPECT_EQ(Fields(DateTimeFromMs(MsFromRecord(*record))),
            std::tuple(2044, 12, 31, 15, 30, 0, 500, 6));
}

TEST(StationClockRecord, CalendarRoundTripsAcrossLeapDaysAndCenturies) {
  for (const LocalDateTime& t :
       {LocalDateTime{2000, 1, 1, 0, 0, 0, 0, 6}, LocalDateTime{2028, 2, 29, 23, 59, 59, 999, 2},
        LocalDateTime{2100, 3, 1, 12, 0, 0, 0, 1}, LocalDateTime{1999, 12, 31, 1, 2, 3, 4, 5}}) {
    EXPECT_EQ(Fields(DateTimeFromMs(MsSince2000(t))), Fields(t));
  }
}

}  // namespace
}  // namespace qv::test
