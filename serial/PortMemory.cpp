#include "serial/PortMemory.h"

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>

#include "core/TextRules.h"

namespace qv {

namespace {

constexpr std::size_t kMaxStateFileBytes = 64 * 1024;
constexpr std::string_view kSerialKind = "serial ";
constexpr std::string_view kByIdKind = "by-id ";
constexpr std::string_view kPathKind = "path ";

bool Printable(std::string_view text) {
  return !text.empty() && std::none_of(text.begin(), text.end(), [](char c) {
    return static_cast<unsigned char>(c) < 0x20 || c == 0x7f;
  });
}

std::string Identity(std::string_view kind, std::string_view value) {
  if (!Printable(value)) return {};
  return std::string(kind) + std::string(value);
}

// "COMn <identity>"; the identity is taken as written, blanks included.
std::optional<std::pair<int, std::string>> ParseLine(std::string_view line) {
  const auto space = line.find(' ');
  if (space == std::string_view::npos || line.substr(0, 3) != "COM") return std::nullopt;
  const auto number = WholeDigits(line.substr(3, space - 3));
  if (!number || *number < 1 || *number > 255) return std::nullopt;
  const std::string_view identity = line.substr(space + 1);
  for (const auto kind : {kSerialKind, kByIdKind, kPathKind}) {
    if (identity.substr(0, kind.size()) != kind) continue;
    if (!Printable(identity.substr(kind.size()))) return std::nullopt;
    return std::pair{*number, std::string(identity)};
  }
  return std::nullopt;
}

}  // namespace

std::string SerialIdentity(std::string_view serialNumber) {
  return Identity(kSerialKind, serialNumber);
}

std::string ByIdIdentity(std::string_view byIdName) {
  return Identity(kByIdKind, byIdName);
}

std::string PathIdentity(std::string_view devicePath) {
  return Identity(kPathKind, devicePath);
}

std::optional<PortMemory> ParsePortMemory(std::string_view text) {
  PortMemory memory;
  std::set<std::string> seen;
  while (!text.empty()) {
    const auto newline = text.find('\n');
    const std::string_view line = text.substr(0, newline);
    text = newline == std::string_view::npos ? std::string_view() : text.substr(newline + 1);
    if (line.empty() || line.front() == '#') continue;
    auto parsed = ParseLine(line);
    if (!parsed || memory.identities.contains(parsed->first) || !seen.insert(parsed->second).second)
      return std::nullopt;
    memory.identities.insert(std::move(*parsed));
  }
  return memory;
}

std::string FormatPortMemory(const PortMemory& memory) {
  std::string text = "# Port numbers QV-Boot gave serial devices; rewritten by the loader.\n";
  for (const auto& [number, identity] : memory.identities)
    text += "COM" + std::to_string(number) + " " + identity + "\n";
  return text;
}

std::string PortMemoryFilePath(const std::string& mapFile) {
  if (mapFile.empty()) return {};
  return std::filesystem::path(mapFile).replace_extension(".state").string();
}

std::optional<PortMemory> ReadPortMemory(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::string text(kMaxStateFileBytes + 1, '\0');
  in.read(text.data(), static_cast<std::streamsize>(text.size()));
  const auto size = static_cast<std::size_t>(in.gcount());
  if (size > kMaxStateFileBytes) return std::nullopt;
  text.resize(size);
  return ParsePortMemory(text);
}

bool WritePortMemory(const std::string& path, const PortMemory& memory) {
  std::error_code error;
  const std::filesystem::path target(path);
  if (target.has_parent_path()) std::filesystem::create_directories(target.parent_path(), error);
  // One temporary name per process, so two loaders never write into one.
  const std::string temporary = path + ".tmp" + std::to_string(::getpid());
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out << FormatPortMemory(memory);
    out.flush();
    if (!out) {
      std::filesystem::remove(temporary, error);
      return false;
    }
  }
  std::filesystem::rename(temporary, target, error);
  if (!error) return true;
  std::filesystem::remove(temporary, error);
  return false;
}

}  // namespace qv
