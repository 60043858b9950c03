#pragma once
// A fresh folder, removed with everything in it at the end, and whole files
// read and written byte for byte.
#include <fstream>
#include <iterator>
#include <string>

#include "sim/virtual/ScratchFolder.h"

namespace qv::testing {

using TempFolder = sim::ScratchFolder;

inline void WriteFile(const std::string& path, const std::string& content) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << content;
}
inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

}  // namespace qv::testing
