#pragma once
// The station's own reading of an upgrade file, for checking what a transfer
// wrote against the file it came from: the image, then a six-byte trailer of
// boot version, hardware version and checksum, each a 16-bit word with the
// most significant byte first. The checksum covers the image and both version
// words. The loader reads these files with code of its own.
#include <cstddef>
#include <cstdint>
#include <optional>

#include "core/Bytes.h"

namespace qv::sim {

inline constexpr std::size_t kTrailerSize = 6;

struct UpgradeFileParts {
  Bytes image;
  std::uint16_t boot = 0;
  std::uint16_t hardware = 0;
  std::uint16_t storedChecksum = 0;
  std::uint16_t computedChecksum = 0;
  bool checksumOk() const { return storedChecksum == computedChecksum; }
};

// Nothing for a file shorter than its trailer.
std::optional<UpgradeFileParts> SplitUpgradeFile(const Bytes& file);

}  // namespace qv::sim
