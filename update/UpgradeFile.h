#pragma once
// Finding, loading and checking the upgrade image for a station, and the
// folder choice behind the main window's "Open" command.
//
// The operator picks the folder tree once; after a station has identified
// itself, FindUpgradeFile takes the first "*.pupd" file in the subfolder
// "0x" + hardware text, OpenFile reads it, checks its trailer and reads the
// key file beside it. Results land in ctx.image; a search that does not end
// in an accepted file leaves them empty, never holding the previous load.
#include <functional>
#include <string>

#include "texts/MessageIds.h"

namespace qv {

class Context;

inline constexpr int kErrFileNotFound = 53;

// Looks in ctx.settings.UpgradeFolder + "/0x" + hardwareText for the image and
// loads it. True only when a file was loaded and accepted. The boot text is
// not used: the identification checks the boot version against FileBoot.
bool FindUpgradeFile(Context& ctx, const std::string& hardwareText, const std::string& bootText);

// Loads ctx.image.FoundFileName and its key. True when loaded and accepted;
// otherwise the operator has been told why and the load results are empty.
bool OpenFile(Context& ctx);

// Empties everything a load sets, so a failed load cannot leave the image or
// key of an earlier one behind.
void ClearLoadResults(Context& ctx);

// The "Open" command: the operator picks the folder that holds the hardware
// subfolders (or one of them, or a file folder inside one).
void mnuFileOpen_Click(Context& ctx);

// The status bar after a folder was chosen and at start-up: the upgrade
// folder and the hardware versions it has images for, with their firmware.
void ShowFolderStatus(Context& ctx);

// The folder choice's walk up: from `folder`, the first folder upwards for
// which `holdsUpgradeFiles` is false. Stops at the root ("/") or at a
// relative path's first part, whatever they hold.
std::string WalkUpFromUpgradeFiles(
    std::string folder, const std::function<bool(const std::string&)>& holdsUpgradeFiles);

// The checksum an upgrade file's trailer carries in its last two bytes, as
// four hex digits; empty when the file cannot be read.
std::string StoredFileChecksum(const std::string& path);

}  // namespace qv
