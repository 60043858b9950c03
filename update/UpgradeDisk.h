#pragma once
// The disk side of loading an upgrade image: whole files read with their size
// checked first, and the folder listings the search and the folder choice use.
// Names are compared without regard to case, since the images are copied
// from systems that do not keep it; where several names match, the first in
// byte order wins, so the choice does not depend on directory order.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/Bytes.h"

namespace qv {

enum class ReadFault {
  None,
  NotFound,    // nothing at the path (or a dangling link)
  NotRegular,  // a folder, a pipe or a device
  TooLarge,    // larger than the caller's limit; nothing read
  Changed,     // the size changed between looking and reading
  Unreadable,  // any other failure; `detail` says which
};

struct FileRead {
  Bytes bytes;
  ReadFault fault = ReadFault::None;
  std::string detail;  // the system's description of an Unreadable fault
};

// Reads the whole file at `path` as raw bytes, refusing it before reading when
// it is larger than `maxSize`.
FileRead ReadWholeFileChecked(const std::string& path, std::uintmax_t maxSize);

// The name of the entry in `folder` that equals `name` without regard to case
// (`name` itself when it is there as written); nothing when there is none or
// the folder cannot be listed.
std::optional<std::string> FindEntryNoCase(const std::string& folder, const std::string& name);

// The first name in byte order in `folder` that ends in `suffix` (any case) and
// is not a folder; empty when there is none.
std::string FirstFileEndingIn(const std::string& folder, const std::string& suffix);

// The key file beside the upgrade file at `upgradePath`: its path with the last
// three characters replaced by "key", the extension in any case.
std::string FindKeyFile(const std::string& upgradePath);

// A hardware subfolder of an upgrade folder and the image a station of that
// hardware would get from it.
struct FolderImage {
  std::string hardware;  // "8115", as the subfolder's name has it
  std::string firmware;  // from the file's name; empty when the name has none
};

// The subfolders "0x" and four hexadecimal digits of `folder` (any case) that
// hold a ".pupd" file, in byte order, each with the firmware of its first such
// file: the one the search for a station's image takes.
std::vector<FolderImage> UpgradeImagesIn(const std::string& folder);

}  // namespace qv
