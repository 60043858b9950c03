#include "update/UpgradeFile.h"

#include <fstream>
#include <string_view>
#include <utility>
#include <vector>

#include "core/Context.h"
#include "core/Errors.h"
#include "core/TextRules.h"
#include "protocol/QvBoot.h"
#include "protocol/ReceiveReply.h"
#include "protocol/stdFunc.h"
#include "texts/MlStringModule.h"
#include "texts/NamedTexts.h"
#include "update/UpgradeDisk.h"
#include "update/UpgradeFormat.h"

namespace qv {

namespace {

// What the operator is told when a load fails.
struct LoadError {
  int number;
  std::string description;
};

std::string FileNotFoundText(const Context& ctx) {
  return GetMlString(ctx, kMsgFileNotFound, " File not found");
}

LoadError ErrorOf(const Context& ctx, const FileRead& read, std::string_view tooLargeName) {
  switch (read.fault) {
    case ReadFault::NotFound: {
      std::string text = FileNotFoundText(ctx);
      text.erase(0, text.find_first_not_of(' '));
      return {kErrFileNotFound, text};
    }
    case ReadFault::NotRegular:
      return {kErrPathAccess, NamedText(ctx, "file.notRegular")};
    case ReadFault::TooLarge:
      return {kErrPathAccess, NamedText(ctx, tooLargeName)};
    case ReadFault::Changed:
      return {kErrPathAccess, NamedText(ctx, "file.changedWhileRead")};
    case ReadFault::None:
    case ReadFault::Unreadable:
      break;
  }
  return {kErrPathAccess, NamedText(ctx, "file.unreadable") + ": " + read.detail};
}

// A load that ends without an accepted file: nothing of it stays, and the
// file label no longer names a file.
bool Refuse(Context& ctx) {
  ClearLoadResults(ctx);
  ctx.image.UpgradeFileBase.clear();
  ctx.view.setText(Control::LabelFileLoad, GetMlString(ctx, kMsgFileLabel, "File:"));
  ctx.view.setToolTip(Control::LabelFileLoad, "");
  return false;
}

bool FailLoad(Context& ctx, const std::string& path, const LoadError& error) {
  std::string title = std::string(kAppTitle) + " Fehler";
  ShowBox(ctx, 0, path + " " + std::to_string(error.number) + " " + error.description,
          vbCritical, title);
  return Refuse(ctx);
}

// Files written by other tools may carry a checksum the station does not
// need, so a mismatch is the operator's call rather than a refusal.
bool AcceptDespiteChecksum(Context& ctx) {
  std::string title = StationTitle(ctx);
  const std::string prompt = GetMlString(ctx, kMsgChecksumError, "CRC error!") + "\r\n" +
                             NamedText(ctx, "file.sendDespiteChecksum");
  return ShowBox(ctx, kMsgChecksumError, prompt, vbYesNo | vbQuestion | vbDefaultButton2, title) == vbYes;
}

void ShowStatusFolder(Context& ctx) {
  ctx.view.setText(Control::StatusPanel,
                   GetMlString(ctx, kMsgStatus, "Status") + " " + ctx.settings.UpgradeFolder);
}

void ShowLoadedFile(Context& ctx) {
  const std::string shown = ctx.image.UpgradeFileBase + "upd";
  ctx.view.setText(Control::LabelFileLoad, ctx.view.CompactPath(Control::LabelFileLoad, shown));
  ctx.view.setToolTip(Control::LabelFileLoad, shown);
  ShowStatusFolder(ctx);
}

// "Folder: 8115 fw 600, 8117 fw 560", or that it holds no image.
std::string FolderContentsText(const Context& ctx, const std::vector<FolderImage>& images) {
  if (images.empty()) return NamedText(ctx, "folder.none");
  std::string list;
  for (const FolderImage& image : images) {
    list += (list.empty() ? "" : ", ") + image.hardware;
    if (!image.firmware.empty()) list += " fw " + image.firmware;
  }
  return FillPlaceholders(NamedText(ctx, "folder.contents"), {list});
}

bool HoldsUpgradeFiles(const std::string& folder) {
  return !FirstFileEndingIn(folder, "pupd").empty();
}

}  // namespace

void ClearLoadResults(Context& ctx) {
  LoadedImage& image = ctx.image;
  image.UpgradeData.clear();
  image.FileBoot = 0;
  image.FileHardware = 0;
  image.FileTitle.clear();
  image.FileFirmware.clear();
  image.UpdateKey.clear();
  image.FoundFileName.clear();
}

bool FindUpgradeFile(Context& ctx, const std::string& hardwareText, const std::string&) {
  ClearLoadResults(ctx);
  ctx.image.bDeclinedByOperator = false;
  const std::string& root = ctx.settings.UpgradeFolder;
  const std::string wanted = "0x" + hardwareText;
  const auto subfolder = FindEntryNoCase(root.empty() ? "/" : root, wanted);
  const std::string separator = !root.empty() && root.back() == '/' ? "" : "/";
  const std::string folder = root + separator + subfolder.value_or(wanted) + "/";
  const std::string name = subfolder ? FirstFileEndingIn(folder, ".pupd") : std::string();
  if (name.empty()) {
    const std::string text = folder + FileNotFoundText(ctx);
    ctx.view.setText(Control::StatusPanel, text);
    std::string title = StationTitle(ctx);
    ShowBox(ctx, kMsgFileNotFound, text, vbCritical, title);
    return Refuse(ctx);
  }
  ctx.image.FoundFileName = folder + name;
  return OpenFile(ctx);
}

bool OpenFile(Context& ctx) {
  ctx.image.UpgradeFileBase.clear();
  ctx.run.OperationMode = kModeFileChosen;
  const std::string path = ctx.image.FoundFileName;

  const FileRead file = ReadWholeFileChecked(path, kMaxUpgradeFileSize);
  if (file.fault == ReadFault::NotFound) {
    std::string title = kAppTitle;
    ShowBox(ctx, kMsgFileNotFound, path + FileNotFoundText(ctx), vbCritical, title);
    return Refuse(ctx);
  }
  if (file.fault != ReadFault::None) {
    return FailLoad(ctx, path, ErrorOf(ctx, file, "file.imageTooLarge"));
  }
  auto parts = ParseUpgradeFile(file.bytes);
  if (!parts) return FailLoad(ctx, path, {kErrPathAccess, NamedText(ctx, "file.tooShort")});
  if (parts->image.empty()) {
    return FailLoad(ctx, path, {kErrPathAccess, NamedText(ctx, "file.emptyImage")});
  }

  const std::string keyPath = FindKeyFile(path);
  const FileRead key = ReadWholeFileChecked(keyPath, kMaxUpdateKeySize);
  if (key.fault != ReadFault::None) {
    return FailLoad(ctx, keyPath, ErrorOf(ctx, key, "file.keyTooLong"));
  }
  if (!parts->checksumOk() && !AcceptDespiteChecksum(ctx)) {
    ctx.run.bUpdateRun = false;
    ClosePort(ctx);
    Refuse(ctx);
    ctx.image.bDeclinedByOperator = true;
    return false;
  }

  const auto name = ParseUpgradeFileName(FileNameOf(path));
  LoadedImage& image = ctx.image;
  image.FoundFileName = path;
  image.FileTitle = name ? name->title : std::string();
  image.FileFirmware = name ? name->firmware : std::string();
  image.FileBoot = parts->boot;
  image.FileHardware = parts->hardware;
  image.UpgradeData = std::move(parts->image);
  image.UpdateKey = TextOf(key.bytes);
  image.UpgradeFileBase = UpgradeBaseOf(path);
  ctx.settings.UpgradeFolder = UpgradeFolderOf(path);
  ShowLoadedFile(ctx);
  return true;
}

void ShowFolderStatus(Context& ctx) {
  // The folder stays first: the contents alone would not say which folder it is.
  ctx.view.setText(Control::StatusPanel,
                   GetMlString(ctx, kMsgStatus, "Status") + " " + ctx.settings.UpgradeFolder +
                       " - " +
                       FolderContentsText(ctx, UpgradeImagesIn(ctx.settings.UpgradeFolder)));
}

std::string WalkUpFromUpgradeFiles(
    std::string folder, const std::function<bool(const std::string&)>& holdsUpgradeFiles) {
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  while (holdsUpgradeFiles(folder)) {
    const std::size_t slash = folder.rfind('/');
    if (slash == std::string::npos || folder == "/") break;
    folder = slash == 0 ? std::string("/") : folder.substr(0, slash);
  }
  return folder;
}

void mnuFileOpen_Click(Context& ctx) {
  const std::string chosen = ctx.view.BrowseForFolder(
      GetMlString(ctx, kMsgChooseFolder, "Please select a folder containing the firmware images:"));
  if (chosen.empty()) return;
  ctx.settings.UpgradeFolder = WalkUpFromUpgradeFiles(chosen, HoldsUpgradeFiles);
  ctx.settings.InitDir = ctx.settings.UpgradeFolder;
  ctx.view.setText(Control::LabelFileLoad, GetMlString(ctx, kMsgFileLabel, "File:"));
  ShowFolderStatus(ctx);
}

std::string StoredFileChecksum(const std::string& path) {
  std::ifstream file(path, std::ios::binary | std::ios::ate);
  if (!file || file.tellg() < 2) return {};
  file.seekg(-2, std::ios::end);
  char bytes[2] = {};
  file.read(bytes, 2);
  return LongToHex(static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[0]) << 8 |
                                              static_cast<unsigned char>(bytes[1])),
                   2);
}

}  // namespace qv
