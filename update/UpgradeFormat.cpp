#include "update/UpgradeFormat.h"

#include <algorithm>

#include "protocol/stdFunc.h"

namespace qv {

namespace {

std::uint16_t WordAt(const Bytes& data, std::size_t index) {
  return static_cast<std::uint16_t>((data[index] << 8) | data[index + 1]);
}

char LowerAscii(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace

std::optional<UpgradeFileParts> ParseUpgradeFile(const Bytes& file) {
  if (file.size() < kUpgradeTrailerSize) return std::nullopt;
  const std::size_t length = file.size();
  UpgradeFileParts parts;
  parts.boot = WordAt(file, length - 6);
  parts.hardware = WordAt(file, length - 4);
  parts.storedChecksum = WordAt(file, length - 2);
  parts.computedChecksum = static_cast<std::uint16_t>(CalcCrc(file.data(), length - 2));
  parts.image.assign(file.begin(), file.end() - kUpgradeTrailerSize);
  return parts;
}

std::optional<UpgradeFileName> ParseUpgradeFileName(std::string_view name) {
  const std::size_t underscore = name.find('_');
  if (underscore == std::string_view::npos) return std::nullopt;
  return UpgradeFileName{std::string(name.substr(0, underscore)),
                         std::string(name.substr(underscore + 1, 3))};
}

std::string_view FileNameOf(std::string_view path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

std::string UpgradeBaseOf(std::string_view path) {
  return std::string(path.substr(0, path.size() < 3 ? 0 : path.size() - 3));
}

std::string UpgradeFolderOf(std::string_view path) {
  const std::size_t last = path.rfind('/');
  if (last == std::string_view::npos || last == 0) return {};
  const std::size_t secondLast = path.rfind('/', last - 1);
  if (secondLast == std::string_view::npos) return {};
  return std::string(path.substr(0, secondLast));
}

bool EqualNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return LowerAscii(x) == LowerAscii(y);
         });
}

bool EndsWithNoCase(std::string_view name, std::string_view suffix) {
  return name.size() >= suffix.size() &&
         EqualNoCase(name.substr(name.size() - suffix.size()), suffix);
}

}  // namespace qv
