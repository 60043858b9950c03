#include "update/UpgradeDisk.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <system_error>
#include <vector>

#include "update/UpgradeFormat.h"

namespace qv {

namespace fs = std::filesystem;

namespace {

FileRead Fault(ReadFault fault, std::string detail = {}) {
  return {{}, fault, std::move(detail)};
}

// All names in `folder`, in byte order; empty when it cannot be listed.
std::vector<std::string> SortedNames(const std::string& folder) {
  std::vector<std::string> names;
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    names.push_back(it->path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

bool IsFolder(const std::string& path) {
  std::error_code ec;
  return fs::is_directory(path, ec);
}

std::string SlashJoin(const std::string& folder, const std::string& name) {
  return folder.empty() || folder.back() == '/' ? folder + name : folder + "/" + name;
}

}  // namespace

FileRead ReadWholeFileChecked(const std::string& path, std::uintmax_t maxSize) {
  std::error_code ec;
  const fs::file_status status = fs::status(path, ec);
  if (status.type() == fs::file_type::not_found) return Fault(ReadFault::NotFound);
  if (ec) return Fault(ReadFault::Unreadable, ec.message());
  if (status.type() != fs::file_type::regular) return Fault(ReadFault::NotRegular);
  const std::uintmax_t size = fs::file_size(path, ec);
  if (ec) return Fault(ReadFault::Unreadable, ec.message());
  if (size > maxSize) return Fault(ReadFault::TooLarge);

  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"),
                                                       &std::fclose);
  if (!file) return Fault(ReadFault::Unreadable, std::generic_category().message(errno));
  // One byte more than announced: a file that grows (or a /proc-like file
  // that claims no size) shows up instead of being cut silently.
  Bytes bytes(static_cast<std::size_t>(size) + 1);
  errno = 0;
  const std::size_t got = std::fread(bytes.data(), 1, bytes.size(), file.get());
  if (std::ferror(file.get())) {
    return Fault(ReadFault::Unreadable, std::generic_category().message(errno ? errno : EIO));
  }
  if (got != size) return Fault(ReadFault::Changed);
  bytes.resize(got);
  return {std::move(bytes), ReadFault::None, {}};
}

std::optional<std::string> FindEntryNoCase(const std::string& folder, const std::string& name) {
  std::error_code ec;
  if (fs::exists(SlashJoin(folder, name), ec)) return name;
  for (const std::string& entry : SortedNames(folder)) {
    if (EqualNoCase(entry, name)) return entry;
  }
  return std::nullopt;
}

std::string FirstFileEndingIn(const std::string& folder, const std::string& suffix) {
  for (const std::string& name : SortedNames(folder)) {
    if (EndsWithNoCase(name, suffix) && !IsFolder(SlashJoin(folder, name))) return name;
  }
  return {};
}

std::string FindKeyFile(const std::string& upgradePath) {
  const std::string keyPath = UpgradeBaseOf(upgradePath) + "key";
  const std::size_t slash = keyPath.rfind('/');
  const std::string folder =
      slash == std::string::npos ? std::string(".") : keyPath.substr(0, slash + 1);
  const std::string name(FileNameOf(keyPath));
  const std::size_t dot = name.rfind('.');
  const std::string stem = name.substr(0, dot == std::string::npos ? 0 : dot + 1);
  std::error_code ec;
  if (fs::exists(keyPath, ec)) return keyPath;
  for (const std::string& entry : SortedNames(folder)) {
    if (entry.size() == name.size() && entry.compare(0, stem.size(), stem) == 0 &&
        EqualNoCase(entry, name)) {
      return keyPath.substr(0, keyPath.size() - name.size()) + entry;
    }
  }
  return keyPath;
}

std::vector<FolderImage> UpgradeImagesIn(const std::string& folder) {
  std::vector<FolderImage> images;
  for (const std::string& name : SortedNames(folder)) {
    const bool hardwareName = name.size() == 6 && EqualNoCase(name.substr(0, 2), "0x") &&
                              std::all_of(name.begin() + 2, name.end(), [](char c) {
                                return std::isxdigit(static_cast<unsigned char>(c));
                              });
    if (!hardwareName || !IsFolder(SlashJoin(folder, name))) continue;
    const std::string file = FirstFileEndingIn(SlashJoin(folder, name), ".pupd");
    if (file.empty()) continue;
    const auto fileName = ParseUpgradeFileName(file);
    images.push_back({name.substr(2), fileName ? fileName->firmware : std::string()});
  }
  return images;
}

}  // namespace qv
