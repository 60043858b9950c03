#pragma once
// A fresh folder, removed with everything in it at the end.
#include <cstdlib>
#include <filesystem>
#include <string>

namespace qv::sim {

struct ScratchFolder {
  std::string path;

  explicit ScratchFolder(
      const std::filesystem::path& base = std::filesystem::temp_directory_path()) {
    std::string pattern = (base / "qv-settings-XXXXXX").string();
    if (::mkdtemp(pattern.data())) path = pattern;
  }
  ~ScratchFolder() {
    std::error_code ec;
    if (!path.empty()) std::filesystem::remove_all(path, ec);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  std::string operator/(const std::string& name) const { return path + "/" + name; }
};

}  // namespace qv::sim
