// Finding and loading the upgrade image for a station, and the "Open"
// command's folder choice, against real folder trees.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <functional>
#include <vector>

#include "config/TempFolder.h"
#include "sim/station/UpgradeImage.h"
#include "sim/virtual/VirtualPlatform.h"
#include "update/UpgradeFile.h"
#include "update/UpgradeFormat.h"

namespace qv {
namespace {

// A throw-away upgrade folder tree; `file`, `link` and `fifo` make the folders above them.
// clang-format off
struct UpgradeTree : qv::testing::TempFolder {
  void folder(const std::string& at) const { std::filesystem::create_directories(*this / at); }
  std::string above(const std::string& at) const {
    folder(std::filesystem::path(at).parent_path().string());
    return *this / at;
  }
  void file(const std::string& at, const std::string& text) const { qv::testing::WriteFile(above(at), text); }
  void file(const std::string& at, const Bytes& content) const { file(at, TextOf(content)); }
  void link(const std::string& at, const std::string& to) const { std::filesystem::create_symlink(to, above(at)); }
  void fifo(const std::string& at) const { ::mkfifo(above(at).c_str(), 0600); }
};
// clang-format on

constexpr std::uint16_t kBoot = 0x0102;
constexpr std::uint16_t kHardware = 0x8115;
const std::string kKey = "KEY-0001";

// clang-format off
Bytes Image(std::size_t size) {
  Bytes image(size);
  for (std::size_t i = 0; i < size; ++i) image[i] = static_cast<std::uint8_t>(i * 7 + 3);
  return image;
}
Bytes Upgrade(std::size_t imageSize) { return sim::BuildUpgradeFile(Image(imageSize), kBoot, kHardware); }
Bytes WrongChecksum() { Bytes file = Upgrade(10); file.back() ^= 0x01; return file; }
// An image and its key under 0x8115.
void Pair(const UpgradeTree& tree, const std::string& stem, const Bytes& file, const std::string& key = kKey) {
  tree.file("0x8115/" + stem + ".pupd", file);
  tree.file("0x8115/" + stem + ".pkey", key);
}
std::string Expand(std::string text, const std::string& root) {
  for (std::size_t at; (at = text.find("{root}")) != std::string::npos;) text.replace(at, 6, root);
  return text;
}
// clang-format on

using Make = std::function<void(UpgradeTree&, std::string& folder)>;

struct LoadCase {
  const char* name;
  Make make;
  int answer = 0;  // to the one box, when one is expected
  // The box ("{root}" stands for the tree), empty for none.
  std::string box = {};
  int style = 0;
  std::string boxTitle = {};
  // When loaded: the file chosen, relative to the tree, and what it holds.
  std::string file = {};
  std::string title = "X";
  std::string firmware = "560";
  std::size_t imageSize = 10;
  std::string key = kKey;
};

const std::string kX560 = "0x8115/X_560.pupd";
const std::string kError = "QV-Boot Fehler";
const std::string kStation = "QV-Boot 4321";
const std::string kFile = "{root}/0x8115/X_560.pupd 75 ";
const std::string kQuestion = "CRC error!\r\nSend it to the station anyway?";
constexpr int kStop = vbCritical;
constexpr int kYesNoDefaultNo = vbYesNo | vbQuestion | vbDefaultButton2;

// clang-format off
Make Only(Bytes file, std::string key = kKey) {
  return [=](UpgradeTree& t, std::string&) { Pair(t, "X_560", file, key); };
}
Make Entry(void (UpgradeTree::*make)(const std::string&, const std::string&) const, std::string target) {
  return [=](UpgradeTree& t, std::string&) { (t.*make)(kX560, target); };
}
LoadCase Refused(const char* name, Make make, std::string box, std::string title = kError) {
  return {.name = name, .make = std::move(make), .box = std::move(box), .style = kStop, .boxTitle = std::move(title)};
}

const std::vector<LoadCase> kLoadCases = {
    {.name = "title and firmware from the name", .make = Only(Upgrade(10)), .file = kX560},
    {.name = "wrong checksum, sent anyway", .make = Only(WrongChecksum()), .answer = vbYes, .box = kQuestion,
     .style = kYesNoDefaultNo, .boxTitle = kStation, .file = kX560},
    {.name = "wrong checksum, refused", .make = Only(WrongChecksum()), .answer = vbNo, .box = kQuestion,
     .style = kYesNoDefaultNo, .boxTitle = kStation},
    Refused("no upgrade folder", [](auto&, auto& folder) { folder += "/gone/"; }, "{root}/gone/0x8115/ File not found",
            kStation),
    Refused("file shorter than its trailer", Only(Bytes(5, 0x11)), kFile + "The file is shorter than 6 bytes"),
    Refused("trailer only", Only(Upgrade(0)), kFile + "The file holds no image, only the 6-byte trailer"),
    Refused("key file missing", [](auto& t, auto&) { t.file(kX560, Upgrade(10)); },
            "{root}/0x8115/X_560.pkey 53 File not found"),
    {.name = "key of 255 bytes", .make = Only(Upgrade(10), std::string(255, 'k')), .file = kX560,
     .key = std::string(255, 'k')},
    Refused("key of 256 bytes", Only(Upgrade(10), std::string(256, 'k')),
            "{root}/0x8115/X_560.pkey 75 The key is longer than 255 bytes and does not fit in one command"),
    {.name = "key keeps its line break", .make = Only(Upgrade(10), "K1\r\n"), .file = kX560, .key = "K1\r\n"},
    {.name = "name without underscore", .make = [](auto& t, auto&) { Pair(t, "plain", Upgrade(10)); },
     .file = "0x8115/plain.pupd", .title = "", .firmware = ""},
    {.name = "upper-case folder and extensions",
     .make = [](auto& t, auto&) { t.file("0X8115/X_560.PUPD", Upgrade(10)); t.file("0X8115/X_560.PKEY", kKey); },
     .file = "0X8115/X_560.PUPD"},
    {.name = "several files: first in byte order",
     .make = [](auto& t, auto&) { Pair(t, "B_600", Upgrade(3)); Pair(t, "a_590", Upgrade(4));
                                  Pair(t, "A_580", Upgrade(5)); },
     .file = "0x8115/A_580.pupd", .title = "A", .firmware = "580", .imageSize = 5},
    {.name = "a folder named like an image is passed over",
     .make = [](auto& t, auto&) { t.folder("0x8115/A_100.pupd"); Pair(t, "B_200", Upgrade(10)); },
     .file = "0x8115/B_200.pupd", .title = "B", .firmware = "200"},
    {.name = "path longer than 259 characters",
     .make = [](auto& t, auto& folder) {
       folder = t / (std::string(150, 'd') + "/" + std::string(150, 'e'));
       t.file(folder.substr(t.path.size() + 1) + "/0x8115/X_560.pupd", Upgrade(10));
       t.file(folder.substr(t.path.size() + 1) + "/0x8115/X_560.pkey", kKey);
     },
     .file = std::string(150, 'd') + "/" + std::string(150, 'e') + "/0x8115/X_560.pupd"},
    Refused("dangling link", Entry(&UpgradeTree::link, "nowhere"), "{root}/0x8115/X_560.pupd File not found",
            "QV-Boot"),
    Refused("link loop", Entry(&UpgradeTree::link, "X_560.pupd"),
            kFile + "Path/File access error: Too many levels of symbolic links"),
    Refused("pipe", [](auto& t, auto&) { t.fifo(kX560); }, kFile + "Not an ordinary file (a folder or a device)"),
    Refused("file changing while read", Entry(&UpgradeTree::link, "/proc/self/stat"),
            kFile + "The file changed while it was read"),
    Refused("image larger than the addresses reach",
            [](auto& t, auto&) { Pair(t, "X_560", Bytes{});
                                 std::filesystem::resize_file(t / kX560, kMaxUpgradeFileSize + 1); },
            kFile + "The image is larger than 16776960 bytes, more than the station can address"),
};
// clang-format on

// A station link in the middle of a run, with a previous load that nothing
// of a failed one may leave behind.
struct Loader {
  Loader() {
    link.port.setPortOpen(true);
    ctx.station.StationSerial = 4321;
    ctx.run.bUpdateRun = true;
    ctx.image =
        LoadedImage{Image(3), 0x0101, 0x8114, "OLD", "400", "OLDKEY12", "/old.pupd", "/old.p"};
  }
  sim::VirtualPlatform link;
  Context& ctx = link.ctx;
};

TEST(UpgradeLoad, EachCaseLoadsOrLeavesNothingBehind) {
  for (const LoadCase& row : kLoadCases) {
    Loader loader;
    sim::VirtualPlatform& link = loader.link;
    Context& ctx = loader.ctx;
    UpgradeTree tree;
    std::string folder = tree.path;
    row.make(tree, folder);
    ctx.settings.UpgradeFolder = folder;
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
    EXPECT_EQ(ctx.run.bUpdateRun, !refusedChecksum) << trace;
    EXPECT_EQ(link.port.PortOpen(), !refusedChecksum) << trace;
    const LoadedImage& image = ctx.image;
    if (row.boxTitle == kStation &&
        row.style == kStop) {  // a search that finds nothing shows in the status bar
      EXPECT_EQ(link.view.text(Control::StatusPanel), link.view.boxes()[0].prompt);
    }
    if (row.file.empty()) {
      EXPECT_TRUE(image.UpgradeData.empty()) << trace;
      EXPECT_EQ(image.FileHardware, 0) << trace;
      EXPECT_EQ(image.FileTitle + image.FileFirmware + image.UpdateKey + image.FoundFileName +
                    image.UpgradeFileBase,
                "");
      EXPECT_EQ(link.view.text(Control::LabelFileLoad) + link.view.toolTip(Control::LabelFileLoad),
                "File:")
          << trace;
      continue;
    }
    const std::string path = tree / row.file;
    EXPECT_EQ(std::tuple(image.FoundFileName, image.FileTitle, image.FileFirmware, image.UpdateKey),
              std::tuple(path, row.title, row.firmware, row.key))
        << trace;
    EXPECT_EQ(image.UpgradeData, Image(row.imageSize)) << trace;
    EXPECT_EQ(std::tuple(image.FileBoot, image.FileHardware, ctx.run.OperationMode),
              std::tuple(kBoot, kHardware, 8))
        << trace;
    EXPECT_EQ(image.UpgradeFileBase, path.substr(0, path.size() - 3)) << trace;
    EXPECT_EQ(ctx.settings.UpgradeFolder, folder) << trace;
    const std::string shown = image.UpgradeFileBase + "upd";
    EXPECT_EQ(std::pair(link.view.text(Control::LabelFileLoad),
                        link.view.toolTip(Control::LabelFileLoad)),
              std::pair(shown, shown))
        << trace;
    EXPECT_EQ(link.view.text(Control::StatusPanel), "Status " + folder) << trace;
  }
}

TEST(UpgradeFormat, TitleAndFirmwareFromTheName) {
  // clang-format off
  const std::tuple<const char*, bool, const char*, const char*> rows[] = {{"_560.pupd", true, "", "560"},
      {"A_B_700.pupd", true, "A", "B_7"}, {"X_5", true, "X", "5"}, {"X_", true, "X", ""}, {"X560.pupd", false, "", ""}};
  // clang-format on
  for (const auto& [name, hasUnderscore, title, firmware] : rows) {
    const auto parsed = ParseUpgradeFileName(name);
    EXPECT_EQ(parsed.has_value(), hasUnderscore) << name;
    const UpgradeFileName got = parsed.value_or(UpgradeFileName{});
    EXPECT_EQ(got.title + "|" + got.firmware, std::string(title) + "|" + firmware);
  }
}

// The walk ends on the first folder upwards without images; cancelling changes nothing.
TEST(UpgradeFolderChoice, LandsOnTheFolderAboveTheImages) {
  UpgradeTree tree;
  tree.file("images/0x8115/X_560.PUPD", std::string("x"));
  tree.file("images/0x8115/old/Y_500pupd", std::string("y"));
  tree.folder("images/0x8116/Z.pupd");  // a folder, not an image
  const std::pair<const char*, const char*> rows[] = {
      {"images/0x8115", "images"},        {"images/0x8115/", "images"},
      {"images/0x8115/old", "images"},    {"images", "images"},
      {"images/0x8116", "images/0x8116"}, {nullptr, nullptr}};
  for (const auto& [chosen, folder] : rows) {
    sim::VirtualPlatform link;
    link.ctx.settings.UpgradeFolder = "/kept";
    if (chosen) link.view.chooseFolder(tree / chosen);
    mnuFileOpen_Click(link.ctx);
    const std::string expected = folder ? tree / folder : "/kept";
    EXPECT_EQ(link.ctx.settings.UpgradeFolder, expected) << chosen;
    EXPECT_EQ(link.view.folderPrompts(),
              std::vector<std::string>{"Please select a folder containing the firmware images:"});
    EXPECT_EQ(link.view.text(Control::StatusPanel), folder ? "Status " + expected : "");
    EXPECT_EQ(link.view.text(Control::LabelFileLoad), folder ? "File:" : "");
  }
}

}  // namespace
}  // namespace qv
