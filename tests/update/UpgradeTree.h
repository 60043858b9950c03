#pragma once
// A throw-away upgrade folder tree under a fresh mkdtemp folder.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "core/Bytes.h"

namespace qv::test {

class UpgradeTree {
 public:
  UpgradeTree() {
    std::string pattern = (std::filesystem::temp_directory_path() / "qv-upgrade-XXXXXX").string();
    if (::mkdtemp(pattern.data())) root = pattern;
  }
  ~UpgradeTree() {
    std::error_code ec;
    if (!root.empty()) std::filesystem::remove_all(root, ec);
  }
  UpgradeTree(const UpgradeTree&) = delete;
  UpgradeTree& operator=(const UpgradeTree&) = delete;

  std::string operator/(const std::string& relative) const { return root + "/" + relative; }

  // Writes `content` at `relative`, making the folders above it.
  void file(const std::string& relative, const std::string& content) const {
    folder(std::filesystem::path(relative).parent_path().string());
    std::ofstream(*this / relative, std::ios::binary | std::ios::trunc) << content;
  }
  void file(const std::string& relative, const Bytes& content) const {
    file(relative, TextOf(content));
  }
  void folder(const std::string& relative) const {
    std::filesystem::create_directories(*this / relative);
  }
  void link(const std::string& relative, const std::string& target) const {
    folder(std::filesystem::path(relative).parent_path().string());
    std::filesystem::create_symlink(target, *this / relative);
  }
  void fifo(const std::string& relative) const {
    folder(std::filesystem::path(relative).parent_path().string());
    ::mkfifo((*this / relative).c_str(), 0600);
  }

  std::string root;
};

}  // namespace qv::test
