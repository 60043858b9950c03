#pragma once
// What an upgrade file and its name hold, without touching the disk.
//
// An upgrade file is the firmware image followed by a six-byte trailer: the
// boot version the image needs, the hardware version it is for and a
// checksum, each a 16-bit word, most significant byte first. The checksum is
// CalcCrc over everything before it (image and both version words). File
// names read "title_NNN…": the image title, "_", three firmware characters.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/Bytes.h"

namespace qv {

inline constexpr std::size_t kUpgradeTrailerSize = 6;
// A WRITE_BLOCK address is offset + 256 in 24 bits: a longer image would wrap.
inline constexpr std::uintmax_t kMaxUpgradeImageSize = 0xFFFF00;
inline constexpr std::uintmax_t kMaxUpgradeFileSize = kMaxUpgradeImageSize + kUpgradeTrailerSize;
// The key travels as the data of one extended frame, whose length is one byte.
inline constexpr std::uintmax_t kMaxUpdateKeySize = 255;

struct UpgradeFileParts {
  Bytes image;  // bytes 0 to L - 7
  std::uint16_t boot = 0;
  std::uint16_t hardware = 0;
  std::uint16_t storedChecksum = 0;
  std::uint16_t computedChecksum = 0;
  bool checksumOk() const { return storedChecksum == computedChecksum; }
};

// Nothing for a file shorter than its trailer. A file of exactly the trailer
// parses to an empty image; whether that is acceptable is the caller's call.
std::optional<UpgradeFileParts> ParseUpgradeFile(const Bytes& file);

struct UpgradeFileName {
  std::string title;     // everything before the first "_"
  std::string firmware;  // up to three characters after it
};

// The title and firmware of a file name (no folder part); nothing without "_".
std::optional<UpgradeFileName> ParseUpgradeFileName(std::string_view name);

// The name after the last "/" (the whole text when there is none).
std::string_view FileNameOf(std::string_view path);

// The path without its last three characters: X_560.pupd gives X_560.p, to
// which the key file adds "key" and the file label adds "upd".
std::string UpgradeBaseOf(std::string_view path);

// The folder above the hardware subfolder: the path up to, not including, its
// second-to-last "/". Empty when the path has fewer than two.
std::string UpgradeFolderOf(std::string_view path);

// Whether `name` ends in `suffix`, letters compared without regard to case.
bool EndsWithNoCase(std::string_view name, std::string_view suffix);
bool EqualNoCase(std::string_view a, std::string_view b);

}  // namespace qv
