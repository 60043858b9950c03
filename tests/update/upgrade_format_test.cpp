// The pure parts of loading an upgrade image: trailer, file name, paths and
// the folder walk of the "Open" command.
#include <gtest/gtest.h>

#include <set>

#include "support/HexBytes.h"
#include "update/UpgradeFile.h"
#include "update/UpgradeFormat.h"

namespace qv {
namespace {

using test::Hex;

TEST(UpgradeFormat, TrailerFieldsAndChecksumCoverage) {
  // Checksum of 83 02 00 74 is 3D2C: a file that is only a trailer, valid.
  const auto bare = ParseUpgradeFile(Hex("83 02 00 74 3D 2C"));
  ASSERT_TRUE(bare);
  EXPECT_TRUE(bare->image.empty());
  EXPECT_EQ(bare->boot, 0x8302);
  EXPECT_EQ(bare->hardware, 0x0074);
  EXPECT_EQ(bare->storedChecksum, 0x3D2C);
  EXPECT_TRUE(bare->checksumOk());

  Bytes file = Hex("AA BB CC 01 02 81 15");
  const std::uint32_t crc = CalcCrc(file);
  file.push_back(static_cast<std::uint8_t>(crc >> 8));
  file.push_back(static_cast<std::uint8_t>(crc & 0xFF));
  const auto parsed = ParseUpgradeFile(file);
  ASSERT_TRUE(parsed);
  EXPECT_EQ(parsed->image, Hex("AA BB CC"));
  EXPECT_EQ(parsed->boot, 0x0102);
  EXPECT_EQ(parsed->hardware, 0x8115);
  EXPECT_TRUE(parsed->checksumOk());
  for (const std::size_t at : {std::size_t{0}, std::size_t{4}, file.size() - 1}) {
    Bytes damaged = file;
    damaged[at] ^= 0x40;
    EXPECT_FALSE(ParseUpgradeFile(damaged)->checksumOk()) << "byte " << at;
  }
  for (std::size_t length = 0; length < kUpgradeTrailerSize; ++length) {
    EXPECT_FALSE(ParseUpgradeFile(Bytes(length, 0x11))) << length << " bytes";
  }
}

TEST(UpgradeFormat, NamesAndPaths) {
  struct Row {
    const char* name;
    bool hasUnderscore;
    const char* title;
    const char* firmware;
  };
  for (const Row& row : {Row{"_560.pupd", true, "", "560"}, Row{"A_B_700.pupd", true, "A", "B_7"},
                         Row{"X_5", true, "X", "5"}, Row{"X_", true, "X", ""}}) {
    const auto parsed = ParseUpgradeFileName(row.name);
    ASSERT_EQ(parsed.has_value(), row.hasUnderscore) << row.name;
    if (!parsed) continue;
    EXPECT_EQ(parsed->title, row.title) << row.name;
    EXPECT_EQ(parsed->firmware, row.firmware) << row.name;
  }
  EXPECT_EQ(UpgradeFolderOf("/a/b/0x8115/X.pupd"), "/a/b");
  EXPECT_EQ(UpgradeFolderOf("/0x8115/X.pupd"), "");
}

TEST(UpgradeFolderWalk, EndsOnTheFirstFolderUpwardsWithoutImages) {
  struct Row {
    const char* chosen;
    std::set<std::string> holding;
    const char* result;
  };
  const std::set<std::string> all = {"/", "/a", "/a/b", "/a/b/0x8115", "img", "img/0x8115"};
  for (const Row& row : {
           Row{"/a/b/0x8115", {"/a/b/0x8115"}, "/a/b"},
           Row{"/a/b/0x8115/", {"/a/b/0x8115"}, "/a/b"},
           Row{"/a/b/0x8115/old", {"/a/b/0x8115/old", "/a/b/0x8115"}, "/a/b"},
           Row{"/a/b", {"/a/b/0x8115"}, "/a/b"},
           Row{"/a/b/0x8115", all, "/"},
           Row{"img/0x8115", all, "img"},
       }) {
    const auto holds = [&](const std::string& folder) { return row.holding.count(folder) != 0; };
    EXPECT_EQ(WalkUpFromUpgradeFiles(row.chosen, holds), row.result) << row.chosen;
  }
}

}  // namespace
}  // namespace qv
