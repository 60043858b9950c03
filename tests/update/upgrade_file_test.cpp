// Finding and loading the upgrade image for a station, and the "Open"
// command's folder choice, against real folder trees.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <functional>
#include <numeric>
#include <vector>

#include "sim/station/UpgradeImage.h"
#include "sim/virtual/VirtualPlatform.h"
#include "support/TempFolder.h"
#include "update/UpgradeFile.h"
#include "update/UpgradeFormat.h"

namespace qv {
namespace {

// A throw-away upgrade folder tree; `file`, `link` and `fifo` make the folders above them.
// clang-format off
struct UpgradeTree : qv::testing::TempFolder {
  void folder(const std::string& at) const { std::filesystem::create_directories(*this / at); }
  std::string above(const std::string& at) const { folder(std::filesystem::path(at).parent_path()); return *this / at; }
  void file(const std::string& at, const std::string& text) const { qv::testing::WriteFile(above(at), text); }
  void file(const std::string& at, const Bytes& content) const { file(at, TextOf(content)); }
  void link(const std::string& at, const std::string& to) const { std::filesystem::create_symlink(to, above(at)); }
  void fifo(const std::string& at) const { ::mkfifo(above(at).c_str(), 0600); }
};

const std::string kKey = "KEY-0001", kX560 = "0x8115/X_560.pupd", kFile = "{root}/0x8115/X_560.pupd 75 ";
const std::string kError = "QV-Boot Fehler", kStation = "QV-Boot 4321";
const std::string kQuestion = "CRC error!\r\nSend it to the station anyway?";
Bytes Image(std::size_t n) { Bytes image(n); std::iota(image.begin(), image.end(), std::uint8_t{3}); return image; }
Bytes Upgrade(std::size_t imageSize) { return sim::BuildUpgradeFile(Image(imageSize), 0x0102, 0x8115); }
Bytes WrongChecksum() { Bytes file = Upgrade(10); file.back() ^= 0x01; return file; }
// An image and its key under 0x8115.
void Pair(const UpgradeTree& tree, const std::string& stem, const Bytes& file, const std::string& key = kKey) {
  tree.file("0x8115/" + stem + ".pupd", file);
  tree.file("0x8115/" + stem + ".pkey", key);
}

using Make = std::function<void(UpgradeTree&)>;
Make Only(Bytes file, std::string key = kKey) { return [=](UpgradeTree& t) { Pair(t, "X_560", file, key); }; }
Make Link(std::string to) { return [=](UpgradeTree& t) { t.link(kX560, to); }; }

struct LoadCase {
  const char* name;
  Make make;
  int answer = 0;        // to the one box, when one is expected
  std::string box = {};  // its text ("{root}" stands for the tree), empty for none
  int style = vbCritical;
  std::string boxTitle = kError;
  // When loaded: the file chosen, relative to the tree, and what it holds.
  std::string file = {}, title = "X", firmware = "560";
  std::size_t imageSize = 10;
  std::string key = kKey;
};
constexpr int kYesNo = vbYesNo | vbQuestion | vbDefaultButton2;

LoadCase Refused(const char* name, Make make, std::string box, std::string title = kError) {
  return {.name = name, .make = std::move(make), .box = std::move(box), .boxTitle = std::move(title)};
}

const std::vector<LoadCase> kLoadCases = {
    {.name = "title and firmware from the name", .make = Only(Upgrade(10)), .file = kX560},
    {.name = "wrong checksum, sent anyway", .make = Only(WrongChecksum()), .answer = vbYes, .box = kQuestion,
     .style = kYesNo, .boxTitle = kStation, .file = kX560},
    {.name = "wrong checksum, refused", .make = Only(WrongChecksum()), .answer = vbNo, .box = kQuestion,
     .style = kYesNo, .boxTitle = kStation},
    Refused("no folder for the hardware", [](auto&) {}, "{root}/0x8115/ File not found", kStation),
    Refused("file shorter than its trailer", Only(Bytes(5, 0x11)), kFile + "The file is shorter than 6 bytes"),
    Refused("trailer only", Only(Upgrade(0)), kFile + "The file holds no image, only the 6-byte trailer"),
    Refused("image larger than the addresses reach",
            [](auto& t) { Pair(t, "X_560", Bytes{});
                          std::filesystem::resize_file(t / kX560, kMaxUpgradeFileSize + 1); },
            kFile + "The image is larger than 16776960 bytes, more than the station can address"),
    Refused("key file missing", [](auto& t) { t.file(kX560, Upgrade(10)); },
            "{root}/0x8115/X_560.pkey 53 File not found"),
    {.name = "key of 255 bytes", .make = Only(Upgrade(10), std::string(255, 'k')), .file = kX560,
     .key = std::string(255, 'k')},
    Refused("key of 256 bytes", Only(Upgrade(10), std::string(256, 'k')),
            "{root}/0x8115/X_560.pkey 75 The key is longer than 255 bytes and does not fit in one command"),
    {.name = "key keeps its line break", .make = Only(Upgrade(10), "K1\r\n"), .file = kX560, .key = "K1\r\n"},
    {.name = "upper-case folder and extensions",
     .make = [](auto& t) { t.file("0X8115/X_560.PUPD", Upgrade(10)); t.file("0X8115/X_560.PKEY", kKey); },
     .file = "0X8115/X_560.PUPD"},
    {.name = "several files: first in byte order, folders passed over",
     .make = [](auto& t) { Pair(t, "B_600", Upgrade(3)); Pair(t, "a_590", Upgrade(4)); Pair(t, "A_580", Upgrade(5));
                           t.folder("0x8115/A_100.pupd"); },
     .file = "0x8115/A_580.pupd", .title = "A", .firmware = "580", .imageSize = 5},
    Refused("dangling link", Link("nowhere"), "{root}/0x8115/X_560.pupd File not found", "QV-Boot"),
    Refused("link loop", Link("X_560.pupd"), kFile + "Path/File access error: Too many levels of symbolic links"),
    Refused("pipe", [](auto& t) { t.fifo(kX560); }, kFile + "Not an ordinary file (a folder or a device)"),
    Refused("file changing while read", Link("/proc/self/stat"), kFile + "The file changed while it was read"),
};
// clang-format on

std::string Expand(std::string text, const std::string& root) {
  for (std::size_t at; (at = text.find("{root}")) != std::string::npos;) text.replace(at, 6, root);
  return text;
}

// Each case runs in the middle of a run, after a previous load that nothing of a failed one
// may leave behind.
TEST(UpgradeLoad, EachCaseLoadsOrLeavesNothingBehind) {
  for (const LoadCase& row : kLoadCases) {
    sim::VirtualPlatform link;
    Context& ctx = link.ctx;
    link.port.setPortOpen(true);
    ctx.station.StationSerial = 4321;
    ctx.run.bUpdateRun = true;
    ctx.image =
        LoadedImage{Image(3), 0x0101, 0x8114, "OLD", "400", "OLDKEY12", "/old.pupd", "/old.p"};
    UpgradeTree tree;
    row.make(tree);
    ctx.settings.UpgradeFolder = tree.path;
    if (row.answer) link.view.answer(row.answer);

    const bool loaded = FindUpgradeFile(ctx, "8115", "258");

    const std::string trace = row.name;
    ASSERT_EQ(link.view.boxes().size(), row.box.empty() ? 0u : 1u) << trace;
    if (!row.box.empty()) {
      const auto& box = link.view.boxes()[0];
      EXPECT_EQ(std::tuple(box.prompt, box.style, box.title),
                std::tuple(Expand(row.box, tree.path), row.style, row.boxTitle))
          << trace;
    }
    EXPECT_EQ(link.view.answersLeft(), 0u) << trace;
    EXPECT_EQ(loaded, !row.file.empty()) << trace;
    const bool refusedChecksum = row.answer == vbNo;
    EXPECT_EQ(std::pair(ctx.run.bUpdateRun, link.port.PortOpen()),
              std::pair(!refusedChecksum, !refusedChecksum))
        << trace;
    const LoadedImage& image = ctx.image;
    const std::string path = row.file.empty() ? "" : tree / row.file;
    const std::string base = row.file.empty() ? "" : path.substr(0, path.size() - 3);
    EXPECT_EQ(std::tuple(image.FoundFileName, image.FileTitle, image.FileFirmware, image.UpdateKey,
                         image.UpgradeFileBase),
              row.file.empty() ? std::tuple("", "", "", "", "")
                               : std::tuple(path, row.title, row.firmware, row.key, base))
        << trace;
    EXPECT_EQ(image.UpgradeData, row.file.empty() ? Bytes{} : Image(row.imageSize)) << trace;
    EXPECT_EQ(std::pair(image.FileBoot, image.FileHardware),
              row.file.empty() ? std::pair(0, 0) : std::pair(0x0102, 0x8115))
        << trace;
    EXPECT_TRUE(!loaded || ctx.run.OperationMode == kModeFileChosen) << trace;
    const std::string shown = row.file.empty() ? "File:" : base + "upd";
    EXPECT_EQ(link.view.text(Control::LabelFileLoad), shown) << trace;
    EXPECT_EQ(link.view.toolTip(Control::LabelFileLoad), row.file.empty() ? "" : shown) << trace;
    // A load shows its folder in the status bar, a search that finds nothing its box text.
    const bool searchFailed = row.boxTitle == kStation && row.style == vbCritical;
    std::string status = searchFailed ? Expand(row.box, tree.path) : "";
    if (loaded) status = "Status " + tree.path;
    EXPECT_EQ(link.view.text(Control::StatusPanel), status) << trace;
  }
}

TEST(UpgradeFormat, TitleAndFirmwareFromTheName) {
  // clang-format off
  const std::tuple<const char*, bool, const char*, const char*> rows[] = {{"_560.pupd", true, "", "560"},
      {"A_B_700.pupd", true, "A", "B_7"}, {"X_5", true, "X", "5"}, {"X_", true, "X", ""}, {"X560.pupd", false, "", ""}};
  // clang-format on
  for (const auto& [name, hasUnderscore, title, firmware] : rows) {
    const UpgradeFileName got = ParseUpgradeFileName(name).value_or(UpgradeFileName{"-", "-"});
    EXPECT_EQ(got.title + "|" + got.firmware,
              hasUnderscore ? title + std::string("|") + firmware : "-|-");
  }
}

// The walk ends on the first folder upwards without images; cancelling changes nothing.
TEST(UpgradeFolderChoice, LandsOnTheFolderAboveTheImages) {
  UpgradeTree tree;
  tree.file("images/0x8115/X_560.PUPD", std::string("x"));
  tree.file("images/0x8115/old/Y_500pupd", std::string("y"));
  tree.folder("images/0x8116/Z.pupd");  // a folder, not an image
  tree.file("images/0X811a/B_570.pupd", std::string("b"));
  tree.file("images/0xZZZZ/C_580.pupd", std::string("c"));  // no hardware version
  // clang-format off
  const std::pair<const char*, const char*> rows[] = {{"images/0x8115", "images"}, {"images/0x8115/", "images"},
      {"images/0x8115/old", "images"}, {"images", "images"}, {"images/0x8116", "images/0x8116"}, {nullptr, nullptr}};
  // clang-format on
  for (const auto& [chosen, folder] : rows) {
    sim::VirtualPlatform link;
    link.ctx.settings.UpgradeFolder = "/kept";
    if (chosen) link.view.chooseFolder(tree / chosen);
    mnuFileOpen_Click(link.ctx);
    const std::string expected = folder ? tree / folder : "/kept";
    EXPECT_EQ(link.ctx.settings.UpgradeFolder, expected) << chosen;
    EXPECT_EQ(link.view.folderPrompts(),
              std::vector<std::string>{"Please select a folder containing the firmware images:"});
    // The status bar names the folder and what it holds: images for two hardware versions, or none.
    const std::string holds =
        folder && folder == std::string_view("images")
            ? "Folder: 811a fw 570, 8115 fw 560"
            : "No upgrade image in this folder (it needs subfolders 0xHHHH with a .pupd file)";
    EXPECT_EQ(link.view.text(Control::StatusPanel),
              folder ? "Status " + expected + " - " + holds : "");
    EXPECT_EQ(link.view.text(Control::LabelFileLoad), folder ? "File:" : "");
  }
}

}  // namespace
}  // namespace qv
