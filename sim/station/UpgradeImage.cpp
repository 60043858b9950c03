#include "sim/station/UpgradeImage.h"

#include <fstream>
#include <iterator>

#include "sim/station/StationCodec.h"

namespace qv::sim {

namespace {

void AppendWord(Bytes& out, std::uint32_t word) {
  out.push_back(static_cast<std::uint8_t>((word >> 8) & 0xFF));
  out.push_back(static_cast<std::uint8_t>(word & 0xFF));
}

// A small xorshift generator: the same seed gives the same image everywhere.
std::uint32_t NextRandom(std::uint32_t& state) {
  state ^= state << 13;
  state ^= state >> 17;
  state ^= state << 5;
  return state;
}

bool IsDigits(std::string_view text) {
  for (char c : text) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

}  // namespace

Bytes BuildUpgradeFile(const Bytes& image, std::uint16_t boot, std::uint16_t hardware) {
  Bytes file = image;
  AppendWord(file, boot);
  AppendWord(file, hardware);
  AppendWord(file, StationChecksum(file));
  return file;
}

Bytes MakeSyntheticImage(std::size_t size, std::string_view firmware, std::uint32_t seed) {
  Bytes image;
  image.reserve(size);
  if (firmware.size() == 3 && size >= kSyntheticHeaderSize) {
    image.insert(image.end(), kSyntheticMagic.begin(), kSyntheticMagic.end());
    image.insert(image.end(), firmware.begin(), firmware.end());
  }
  std::uint32_t state = seed == 0 ? 0x9E3779B9u : seed;
  // A run of every byte value first, so each control byte appears in a block.
  for (std::uint32_t value = 0; image.size() < size && value < 256; ++value) {
    image.push_back(static_cast<std::uint8_t>(value));
  }
  while (image.size() < size) image.push_back(static_cast<std::uint8_t>(NextRandom(state) >> 24));
  return image;
}

std::optional<std::string> SyntheticFirmware(const Bytes& image) {
  if (image.size() < kSyntheticHeaderSize) return std::nullopt;
  const std::string header(image.begin(), image.begin() + kSyntheticHeaderSize);
  if (header.substr(0, kSyntheticMagic.size()) != kSyntheticMagic) return std::nullopt;
  const std::string firmware = header.substr(kSyntheticMagic.size());
  if (!IsDigits(firmware)) return std::nullopt;
  return firmware;
}

std::string KeyFilePath(std::string_view upgradePath) {
  if (upgradePath.size() < 3) return std::string(upgradePath) + "key";
  return std::string(upgradePath.substr(0, upgradePath.size() - 3)) + "key";
}

std::optional<std::string> FirmwareFromFileName(std::string_view path) {
  const std::size_t slash = path.find_last_of('/');
  const std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
  const std::size_t underscore = name.find('_');
  if (underscore == std::string_view::npos) return std::nullopt;
  return std::string(name.substr(underscore + 1, 3));
}

std::string MakeKey(std::uint32_t seed, std::size_t length) {
  static constexpr std::string_view kAlphabet = "ABCDEFGHJKLMNPQRSTUVWXYZ23456789";
  std::uint32_t state = seed == 0 ? 0x2545F491u : seed ^ 0x5A5A5A5Au;
  std::string key;
  for (std::size_t i = 0; i < length; ++i)
    key.push_back(kAlphabet[NextRandom(state) % kAlphabet.size()]);
  return key;
}

std::string HardwareFolderName(std::uint16_t hardware) {
  return "0x" + HexWord(hardware);
}

std::optional<Bytes> ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  Bytes data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) return std::nullopt;
  return data;
}

bool WriteWholeFile(const std::string& path, const Bytes& data) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) return false;
  out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
  return static_cast<bool>(out);
}

}  // namespace qv::sim
