#pragma once
// Making upgrade files and key files: the image, then a six-byte trailer
// (boot version, hardware version, checksum; each a 16-bit word, most
// significant byte first). The checksum, the station's own, covers the image
// and both version words. Used by the image tool, the station simulator and
// tests; StationImage.h reads such a file back.
//
// Synthetic images (for stations without real firmware) start with our own
// eight-byte header: the five characters "QVIMG" and the three firmware
// digits, e.g. "QVIMG560". The station simulator reads its new firmware
// version from it after an update; the loader never looks inside an image.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/Bytes.h"

namespace qv::sim {

inline constexpr std::string_view kSyntheticMagic = "QVIMG";
inline constexpr std::size_t kSyntheticHeaderSize = 8;

Bytes BuildUpgradeFile(const Bytes& image, std::uint16_t boot, std::uint16_t hardware);

// `size` bytes: the header (when `firmware` is three characters and the size
// allows it) followed by deterministic filler that includes every byte value,
// frame control bytes among them.
Bytes MakeSyntheticImage(std::size_t size, std::string_view firmware, std::uint32_t seed = 1);
std::optional<std::string> SyntheticFirmware(const Bytes& image);

// The key file beside an upgrade file: the path's last three characters
// replaced by "key" (X_560.pupd goes with X_560.pkey).
std::string KeyFilePath(std::string_view upgradePath);
// The firmware digits of a file name "title_NNN…", if it has an underscore.
std::optional<std::string> FirmwareFromFileName(std::string_view path);
// A printable key of `length` characters derived from `seed`.
std::string MakeKey(std::uint32_t seed, std::size_t length = 16);

// "0x" and four upper-case hex digits: the folder of one hardware version.
std::string HardwareFolderName(std::uint16_t hardware);

std::optional<Bytes> ReadWholeFile(const std::string& path);
bool WriteWholeFile(const std::string& path, const Bytes& data);

}  // namespace qv::sim
