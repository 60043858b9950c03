#include "sim/station/StationImage.h"

#include "sim/station/StationCodec.h"

namespace qv::sim {

namespace {

std::uint16_t WordAt(const Bytes& data, std::size_t index) {
  return static_cast<std::uint16_t>((data[index] << 8) | data[index + 1]);
}

}  // namespace

std::optional<UpgradeFileParts> SplitUpgradeFile(const Bytes& file) {
  if (file.size() < kTrailerSize) return std::nullopt;
  const std::size_t trailer = file.size() - kTrailerSize;
  UpgradeFileParts parts;
  parts.image.assign(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(trailer));
  parts.boot = WordAt(file, trailer);
  parts.hardware = WordAt(file, trailer + 2);
  parts.storedChecksum = WordAt(file, trailer + 4);
  parts.computedChecksum = StationChecksum(file.data(), trailer + 4);
  return parts;
}

}  // namespace qv::sim
