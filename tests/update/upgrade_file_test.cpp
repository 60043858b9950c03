// Finding and loading the upgrade image for a station, and the "Open"
// command's folder choice, against real folder trees.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <vector>

#include "sim/station/UpgradeImage.h"
#include "sim/virtual/VirtualPlatform.h"
#include "update/UpgradeFile.h"
#include "update/UpgradeFormat.h"
#include "update/UpgradeTree.h"

namespace qv {
namespace {

using test::UpgradeTree;

constexpr std::uint16_t kBoot = 0x0102;
constexpr std::uint16_t kHardware = 0x8115;
const std::string kKey = "KEY-0001";

Bytes Image(std::size_t size) {
  Bytes image(size);
  for (std::size_t i = 0; i < size; ++i) image[i] = static_cast<std::uint8_t>(i * 7 + 3);
  return image;
}

Bytes Upgrade(std::size_t imageSize) {
  return sim::BuildUpgradeFile(Image(imageSize), kBoot, kHardware);
}

Bytes WrongChecksum(std::size_t imageSize) {
  Bytes file = Upgrade(imageSize);
  file.back() ^= 0x01;
  return file;
}

// An image and its key under 0x8115.
void Pair(const UpgradeTree& tree, const std::string& stem, const Bytes& file,
          const std::string& key = kKey) {
  tree.file("0x8115/" + stem + ".pupd", file);
  tree.file("0x8115/" + stem + ".pkey", key);
}

std::string Expand(std::string text, const std::string& root) {
  for (std::size_t at; (at = text.find("{root}")) != std::string::npos;) text.replace(at, 6, root);
  return text;
}

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
const std::string kQuestion = "CRC error!\r\nSend it to the station anyway?";
constexpr int kStop = vbCritical;
constexpr int kYesNoDefaultNo = vbYesNo | vbQuestion | vbDefaultButton2;

Make Only(Bytes file, std::string key = kKey) {
  return [=](UpgradeTree& t, std::string&) { Pair(t, "X_560", file, key); };
}
Make Entry(void (UpgradeTree::*make)(const std::string&, const std::string&) const,
           std::string target = "") {
  return [=](UpgradeTree& t, std::string&) { (t.*make)("0x8115/X_560.pupd", target); };
}

// clang-format off
const std::vector<LoadCase> kLoadCases = {
    {.name = "title and firmware from the name", .make = Only(Upgrade(10)), .file = kX560},
    {.name = "one-byte image", .make = Only(Upgrade(1)), .file = kX560, .imageSize = 1},
    {.name = "wrong checksum, sent anyway", .make = Only(WrongChecksum(10)), .answer = vbYes,
     .box = kQuestion, .style = kYesNoDefaultNo, .boxTitle = kStation, .file = kX560},
    {.name = "wrong checksum, refused", .make = Only(WrongChecksum(10)), .answer = vbNo,
     .box = kQuestion, .style = kYesNoDefaultNo, .boxTitle = kStation},
    {.name = "no upgrade folder", .make = [](auto&, auto& folder) { folder += "/gone"; },
     .box = "{root}/gone/0x8115/ File not found", .style = kStop, .boxTitle = kStation},
    {.name = "empty hardware folder", .make = [](auto& t, auto&) { t.folder("0x8115"); },
     .box = "{root}/0x8115/ File not found", .style = kStop, .boxTitle = kStation},
    {.name = "file shorter than its trailer", .make = Only(Bytes(5, 0x11)),
     .box = "{root}/0x8115/X_560.pupd 75 The file is shorter than 6 bytes", .style = kStop, .boxTitle = kError},
    {.name = "trailer only", .make = Only(Upgrade(0)),
     .box = "{root}/0x8115/X_560.pupd 75 The file holds no image, only the 6-byte trailer", .style = kStop,
     .boxTitle = kError},
    {.name = "key file missing", .make = [](auto& t, auto&) { t.file(kX560, Upgrade(10)); },
     .box = "{root}/0x8115/X_560.pkey 53 File not found", .style = kStop, .boxTitle = kError},
    {.name = "empty key", .make = Only(Upgrade(10), ""), .file = kX560, .key = ""},
    {.name = "key of 255 bytes", .make = Only(Upgrade(10), std::string(255, 'k')), .file = kX560,
     .key = std::string(255, 'k')},
    {.name = "key of 256 bytes", .make = Only(Upgrade(10), std::string(256, 'k')),
     .box = "{root}/0x8115/X_560.pkey 75 The key is longer than 255 bytes and does not fit in one command",
     .style = kStop, .boxTitle = kError},
    {.name = "key keeps its line break", .make = Only(Upgrade(10), "K1\r\n"), .file = kX560, .key = "K1\r\n"},
    {.name = "name without underscore", .make = [](auto& t, auto&) { Pair(t, "plain", Upgrade(10)); },
     .file = "0x8115/plain.pupd", .title = "", .firmware = ""},
    {.name = "upper-case folder and extensions",
     .make = [](auto& t, auto&) { t.file("0X8115/X_560.PUPD", Upgrade(10)); t.file("0X8115/X_560.PKEY", kKey); },
     .file = "0X8115/X_560.PUPD"},
    {.name = "several files: first in byte order",
     .make = [](auto& t, auto&) { Pair(t, "B_600", Upgrade(3)); Pair(t, "a_590", Upgrade(4)); Pair(t, "A_580", Upgrade(5)); },
     .file = "0x8115/A_580.pupd", .title = "A", .firmware = "580", .imageSize = 5},
    {.name = "a folder named like an image is passed over",
     .make = [](auto& t, auto&) { t.folder("0x8115/A_100.pupd"); Pair(t, "B_200", Upgrade(10)); },
     .file = "0x8115/B_200.pupd", .title = "B", .firmware = "200"},
    {.name = "path longer than 259 characters",
     .make = [](auto& t, auto& folder) {
       folder = t / (std::string(150, 'd') + "/" + std::string(150, 'e'));
       t.file(folder.substr(t.root.size() + 1) + "/0x8115/X_560.pupd", Upgrade(10));
       t.file(folder.substr(t.root.size() + 1) + "/0x8115/X_560.pkey", kKey);
     },
     .file = std::string(150, 'd') + "/" + std::string(150, 'e') + "/0x8115/X_560.pupd"},
    {.name = "dangling link", .make = Entry(&UpgradeTree::link, "nowhere"),
     .box = "{root}/0x8115/X_560.pupd File not found", .style = kStop, .boxTitle = "QV-Boot"},
    {.name = "link loop", .make = Entry(&UpgradeTree::link, "X_560.pupd"),
     .box = "{root}/0x8115/X_560.pupd 75 Path/File access error: Too many levels of symbolic links",
     .style = kStop, .boxTitle = kError},
    {.name = "pipe", .make = [](auto& t, auto&) { t.fifo(kX560); },
     .box = "{root}/0x8115/X_560.pupd 75 Not an ordinary file (a folder or a device)", .style = kStop,
     .boxTitle = kError},
    {.name = "file changing while read", .make = Entry(&UpgradeTree::link, "/proc/self/stat"),
     .box = "{root}/0x8115/X_560.pupd 75 The file changed while it was read", .style = kStop, .boxTitle = kError},
    {.name = "image larger than the addresses reach",
     .make = [](auto& t, auto&) { Pair(t, "X_560", Bytes{}); std::filesystem::resize_file(t / kX560, kMaxUpgradeFileSize + 1); },
     .box = "{root}/0x8115/X_560.pupd 75 The image is larger than 16776960 bytes, more than the station can address",
     .style = kStop, .boxTitle = kError},
};
// clang-format on

// A station link in the middle of a run, with a previous load that nothing
// of a failed one may leave behind.
struct Loader {
  Loader() {
    link.port.setSettings("38400,n,8,1");
    link.port.setPortOpen(true);
    ctx.station.StationSerial = 4321;
    ctx.run.bUpdateRun = true;
    ctx.image =
        LoadedImage{Image(3), 0x0101, 0x8114, "OLD", "400", "OLDKEY12", "/old.pupd", "/old.p"};
  }

  void ExpectNothingLoaded(const std::string& trace) const {
    const LoadedImage& image = ctx.image;
    EXPECT_TRUE(image.UpgradeData.empty()) << trace;
    EXPECT_EQ(image.FileHardware, 0) << trace;
    EXPECT_EQ(image.FileTitle + image.FileFirmware + image.UpdateKey, "") << trace;
    EXPECT_EQ(image.FoundFileName + image.UpgradeFileBase, "") << trace;
    EXPECT_EQ(link.view.text(Control::LabelFileLoad), "File:") << trace;
    EXPECT_EQ(link.view.toolTip(Control::LabelFileLoad), "") << trace;
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
    std::string folder = tree.root;
    row.make(tree, folder);
    ctx.settings.UpgradeFolder = folder;
    if (row.answer) link.view.answer(row.answer);

    const bool loaded = FindUpgradeFile(ctx, "8115", "258");

    const std::string trace = row.name;
    ASSERT_EQ(link.view.boxes().size(), row.box.empty() ? 0u : 1u) << trace;
    if (!row.box.empty()) {
      const auto& box = link.view.boxes()[0];
      EXPECT_EQ(box.prompt, Expand(row.box, tree.root)) << trace;
      EXPECT_EQ(box.style, row.style) << trace;
      EXPECT_EQ(box.title, row.boxTitle) << trace;
    }
    EXPECT_EQ(link.view.answersLeft(), 0u) << trace;
    EXPECT_EQ(loaded, !row.file.empty()) << trace;
    const bool refusedChecksum = row.answer == vbNo;
    EXPECT_EQ(ctx.run.bUpdateRun, !refusedChecksum) << trace;
    EXPECT_EQ(link.port.PortOpen(), !refusedChecksum) << trace;
    if (row.file.empty()) {
      loader.ExpectNothingLoaded(trace);
      continue;
    }
    const std::string path = tree / row.file;
    const LoadedImage& image = ctx.image;
    EXPECT_EQ(image.FoundFileName, path) << trace;
    EXPECT_EQ(image.FileTitle, row.title) << trace;
    EXPECT_EQ(image.FileFirmware, row.firmware) << trace;
    EXPECT_EQ(image.UpgradeData, Image(row.imageSize)) << trace;
    EXPECT_EQ(image.FileBoot, kBoot) << trace;
    EXPECT_EQ(image.FileHardware, kHardware) << trace;
    EXPECT_EQ(image.UpdateKey, row.key) << trace;
    EXPECT_EQ(image.UpgradeFileBase, path.substr(0, path.size() - 3)) << trace;
    EXPECT_EQ(ctx.settings.UpgradeFolder, folder) << trace;
    EXPECT_EQ(ctx.run.OperationMode, 8) << trace;
    EXPECT_EQ(link.view.text(Control::LabelFileLoad), image.UpgradeFileBase + "upd") << trace;
    EXPECT_EQ(link.view.toolTip(Control::LabelFileLoad), image.UpgradeFileBase + "upd") << trace;
    EXPECT_EQ(link.view.text(Control::StatusPanel), "Status " + folder) << trace;
  }
}

TEST(UpgradeLoad, ANotFoundSearchShowsTheFolderInTheStatusBar) {
  Loader loader;
  UpgradeTree tree;
  loader.ctx.settings.UpgradeFolder = tree.root + "/";
  EXPECT_FALSE(FindUpgradeFile(loader.ctx, "8115", ""));
  EXPECT_EQ(loader.link.view.text(Control::StatusPanel), tree.root + "/0x8115/ File not found");
}

// What cannot be read as a file: without permission, or a folder in its
// place (root reads anything, so the folder stands in for it there).
TEST(UpgradeLoad, AnUnreadableFileIsRefusedWithItsCause) {
  UpgradeTree tree;
  Pair(tree, "X_560", Upgrade(10));
  tree.folder("0x8115/Y_560.pupd");
  std::filesystem::permissions(tree / "0x8115/X_560.pupd", std::filesystem::perms::none);
  struct Row {
    std::string path;
    std::string cause;
  };
  std::vector<Row> rows = {
      {tree / "0x8115/Y_560.pupd", "Not an ordinary file (a folder or a device)"}};
  if (::access((tree / "0x8115/X_560.pupd").c_str(), R_OK) != 0) {
    rows.push_back({tree / "0x8115/X_560.pupd", "Path/File access error: Permission denied"});
  }
  for (const Row& row : rows) {
    Loader loader;
    loader.ctx.image.FoundFileName = row.path;
    EXPECT_FALSE(OpenFile(loader.ctx));
    const auto& boxes = loader.link.view.boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].prompt, row.path + " 75 " + row.cause);
    EXPECT_EQ(boxes[0].title, "QV-Boot Fehler");
    loader.ExpectNothingLoaded(row.path);
  }
}

TEST(UpgradeFolderChoice, LandsOnTheFolderAboveTheImages) {
  UpgradeTree tree;
  tree.file("images/0x8115/X_560.PUPD", std::string("x"));
  tree.file("images/0x8115/old/Y_500pupd", std::string("y"));
  tree.folder("images/0x8116/Z.pupd");  // a folder, not an image
  struct Row {
    std::string chosen;
    std::string folder;
  };
  for (const Row& row : {Row{"images/0x8115", "images"}, Row{"images/0x8115/old", "images"},
                         Row{"images", "images"}, Row{"images/0x8116", "images/0x8116"}}) {
    sim::VirtualPlatform link;
    link.view.chooseFolder(tree / row.chosen);
    mnuFileOpen_Click(link.ctx);
    EXPECT_EQ(link.ctx.settings.UpgradeFolder, tree / row.folder) << row.chosen;
    EXPECT_EQ(link.view.folderPrompts(),
              std::vector<std::string>{"Please select a folder containing the firmware images:"});
    EXPECT_EQ(link.view.text(Control::LabelFileLoad), "File:");
    EXPECT_EQ(link.view.text(Control::StatusPanel), "Status " + (tree / row.folder));
  }
}

TEST(UpgradeFolderChoice, CancelChangesNothing) {
  sim::VirtualPlatform link;
  link.ctx.settings.UpgradeFolder = "/kept";
  mnuFileOpen_Click(link.ctx);
  EXPECT_EQ(link.ctx.settings.UpgradeFolder, "/kept");
  EXPECT_EQ(link.view.text(Control::StatusPanel), "");
}

}  // namespace
}  // namespace qv
