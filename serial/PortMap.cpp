#include "serial/PortMap.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>

#include "core/TextRules.h"

namespace qv {

namespace {

// A map file is a handful of lines; anything longer is not one.
constexpr std::size_t kMaxMapFileBytes = 64 * 1024;

// Lines are split at "\n", so within one the white space is this.
bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}
bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// '#' opens a comment at the start of a line or after a blank, so a path
// may still hold one.
std::string_view StripComment(std::string_view line) {
  for (std::size_t i = 0; i < line.size(); ++i) {
    if (line[i] == '#' && (i == 0 || IsBlank(line[i - 1]))) return line.substr(0, i);
  }
  return line;
}

std::optional<int> ParsePortName(std::string_view key) {
  if (key.size() < 4 || key.size() > 6) return std::nullopt;
  const auto lower = [](char c) { return static_cast<char>(c | 0x20); };
  if (lower(key[0]) != 'c' || lower(key[1]) != 'o' || lower(key[2]) != 'm') return std::nullopt;
  return WholeDigits(key.substr(3));
}

// Without texts the operator still sees which text it was and its values.
std::string Say(const PortTexts& texts, std::string_view name,
                std::initializer_list<std::string_view> values) {
  if (texts) return FillPlaceholders(texts(name), values);
  std::string text(name);
  for (const std::string_view value : values) (text += ' ') += value;
  return text;
}

std::optional<std::string> ParsePath(std::string_view value, std::string& reason) {
  if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
    value = value.substr(1, value.size() - 2);
  }
  if (value.empty()) {
    reason = "portmap.noPath";
    return std::nullopt;
  }
  if (value.front() != '/') {
    reason = "portmap.relativePath";
    return std::nullopt;
  }
  const bool control = std::any_of(value.begin(), value.end(),
                                   [](char c) { return static_cast<unsigned char>(c) < 0x20; });
  if (control) {
    reason = "portmap.controlCharacter";
    return std::nullopt;
  }
  return std::string(value);
}

struct NameParts {
  int rank = 2;
  std::string_view stem;
  std::string_view digits;  // trailing number without leading zeros
};

NameParts SplitName(std::string_view path) {
  const auto slash = path.rfind('/');
  std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
  NameParts parts;
  if (name.rfind("ttyUSB", 0) == 0) parts.rank = 0;
  if (name.rfind("ttyACM", 0) == 0) parts.rank = 1;
  std::size_t end = name.size();
  while (end > 0 && IsDigit(name[end - 1])) --end;
  parts.stem = name.substr(0, end);
  std::string_view digits = name.substr(end);
  while (digits.size() > 1 && digits.front() == '0') digits.remove_prefix(1);
  parts.digits = digits;
  return parts;
}

std::string Canonical(const PortSystem& system, const std::string& path) {
  return system.canonical ? system.canonical(path) : path;
}

std::optional<PortDevice> DeviceAt(const std::vector<PortDevice>& devices,
                                   const std::string& canonicalPath, const PortSystem& system) {
  for (const auto& device : devices) {
    if (Canonical(system, device.path) == canonicalPath) return device;
  }
  return std::nullopt;
}

std::string Hex4(std::uint16_t value) {
  char text[8];
  std::snprintf(text, sizeof text, "%04x", static_cast<unsigned>(value));
  return text;
}

PortEntry DetectedEntry(int number, const PortDevice& device) {
  PortEntry entry;
  entry.number = number;
  entry.path = device.path;
  entry.origin = PortOrigin::Detected;
  entry.present = true;
  entry.device = device;
  return entry;
}

// A USB device by what stays when it comes back under another name; any
// other device by its path, which is what stays for a built-in port.
std::string DeviceIdentity(const PortDevice& device, const PortSystem& system) {
  if (!device.serialNumber.empty()) return SerialIdentity(device.serialNumber);
  std::string byId = system.byIdName ? ByIdIdentity(system.byIdName(device.path)) : std::string();
  return byId.empty() ? PathIdentity(Canonical(system, device.path)) : byId;
}

int LowestNotIn(const std::set<int>& taken, const std::set<int>& reserved) {
  int number = 1;
  while (taken.count(number) || reserved.count(number)) ++number;
  return number;
}

// The numbers of remembered devices that are absent stay theirs, unless only
// such a number is left up to kHighestOpenablePort: then the lowest of them
// goes to the new device and the absent one is forgotten.
int NextNumber(const std::set<int>& used, const std::set<int>& reserved) {
  const int free = LowestNotIn(used, reserved);
  if (free <= kHighestOpenablePort) return free;
  const int yielding = LowestNotIn(used, {});
  return yielding <= kHighestOpenablePort ? yielding : free;
}

// Numbers the detected devices (in numbering order) and updates the memory:
// the map file's numbers drop out of it, present devices take their
// remembered numbers first, and every other device the lowest number left.
void NumberDetected(const std::vector<PortDevice>& detected, const PortSystem& system,
                    std::set<int>& used, PortMemory& memory, const std::set<int>& held,
                    std::vector<PortEntry>& entries) {
  const PortMemory before = memory;
  std::erase_if(memory.identities, [&](const auto& item) { return used.count(item.first) > 0; });
  std::map<std::string, int> remembered;
  for (const auto& [number, identity] : memory.identities) remembered[identity] = number;

  std::vector<std::string> identities;
  std::vector<bool> placed(detected.size(), false);
  std::set<std::string> present;
  for (std::size_t i = 0; i < detected.size(); ++i) {
    std::string identity = DeviceIdentity(detected[i], system);
    // A second device with the same identity cannot be told apart from the first.
    if (!identity.empty() && !present.insert(identity).second) identity.clear();
    const auto known = identity.empty() ? remembered.end() : remembered.find(identity);
    if (known != remembered.end()) {
      entries.push_back(DetectedEntry(known->second, detected[i]));
      used.insert(known->second);
      placed[i] = true;
    }
    identities.push_back(std::move(identity));
  }
  std::set<int> reserved;
  for (const auto& [number, identity] : memory.identities) {
    if (!used.count(number)) reserved.insert(number);
  }
  // The stored port is never handed on, not even when nothing else is free.
  std::set<int> usedOrHeld = used;
  usedOrHeld.insert(held.begin(), held.end());
  for (std::size_t i = 0; i < detected.size(); ++i) {
    if (placed[i]) continue;
    const int number = NextNumber(usedOrHeld, reserved);
    if (number > kHighestMappedPort) break;
    entries.push_back(DetectedEntry(number, detected[i]));
    usedOrHeld.insert(number);
    used.insert(number);
    reserved.erase(number);
    memory.identities.erase(number);
    if (!identities[i].empty()) memory.identities[number] = identities[i];
  }
  // A number the memory gave one device and now leads to another.
  for (PortEntry& entry : entries) {
    const auto was = before.identities.find(entry.number);
    if (was == before.identities.end()) continue;
    const auto now = memory.identities.find(entry.number);
    entry.renumbered = now == memory.identities.end() || now->second != was->second;
  }
}

}  // namespace

PortMapFile ParsePortMap(std::string_view text) {
  if (text.rfind("\xEF\xBB\xBF", 0) == 0) text.remove_prefix(3);
  std::map<int, PortAssignment> byNumber;
  PortMapFile file;
  int lineNumber = 0;
  while (!text.empty()) {
    const auto newline = text.find('\n');
    std::string_view line = text.substr(0, newline);
    text = newline == std::string_view::npos ? std::string_view() : text.substr(newline + 1);
    ++lineNumber;

    line = TrimWhiteSpace(StripComment(line));
    if (line.empty()) continue;
    const auto equals = line.find('=');
    if (equals == std::string_view::npos) {
      file.problems.push_back({lineNumber, "portmap.expectedLine", {}});
      continue;
    }
    const auto number = ParsePortName(TrimWhiteSpace(line.substr(0, equals)));
    if (!number || *number < 1 || *number > kHighestMappedPort) {
      file.problems.push_back({lineNumber, "portmap.badName", {}});
      continue;
    }
    std::string reason;
    auto path = ParsePath(TrimWhiteSpace(line.substr(equals + 1)), reason);
    if (!path) {
      file.problems.push_back({lineNumber, reason, {}});
      continue;
    }
    auto& slot = byNumber[*number];
    if (slot.line != 0) {
      file.problems.push_back({slot.line,
                               "portmap.givenAgain",
                               {"COM" + std::to_string(*number), std::to_string(lineNumber)}});
    }
    slot = PortAssignment{*number, std::move(*path), lineNumber};
  }
  for (auto& [number, assignment] : byNumber) file.assignments.push_back(std::move(assignment));
  std::sort(file.problems.begin(), file.problems.end(),
            [](const PortMapProblem& a, const PortMapProblem& b) { return a.line < b.line; });
  return file;
}

bool DetectedBefore(const std::string& pathA, const std::string& pathB) {
  const NameParts a = SplitName(pathA);
  const NameParts b = SplitName(pathB);
  if (a.rank != b.rank) return a.rank < b.rank;
  if (a.stem != b.stem) return a.stem < b.stem;
  if (a.digits.size() != b.digits.size()) return a.digits.size() < b.digits.size();
  if (a.digits != b.digits) return a.digits < b.digits;
  return pathA < pathB;
}

std::vector<PortEntry> ResolvePorts(const PortMapFile& file, const std::vector<PortDevice>& devices,
                                    const PortSystem& system, PortMemory* memory,
                                    const std::set<int>& held) {
  std::vector<PortEntry> entries;
  std::set<int> usedNumbers;
  std::set<std::string> claimed;
  for (const auto& assignment : file.assignments) {
    const std::string canonicalPath = Canonical(system, assignment.path);
    PortEntry entry;
    entry.number = assignment.number;
    entry.path = assignment.path;
    entry.origin = PortOrigin::MapFile;
    entry.line = assignment.line;
    entry.present = system.exists ? system.exists(assignment.path) : false;
    entry.device = DeviceAt(devices, canonicalPath, system);
    entries.push_back(std::move(entry));
    usedNumbers.insert(assignment.number);
    claimed.insert(canonicalPath);
  }

  std::vector<PortDevice> sorted = devices;
  std::sort(sorted.begin(), sorted.end(), [](const PortDevice& a, const PortDevice& b) {
    return DetectedBefore(a.path, b.path);
  });
  std::vector<PortDevice> detected;
  for (auto& device : sorted) {
    if (claimed.insert(Canonical(system, device.path)).second)
      detected.push_back(std::move(device));
  }
  PortMemory none;
  NumberDetected(detected, system, usedNumbers, memory ? *memory : none, held, entries);
  std::sort(entries.begin(), entries.end(),
            [](const PortEntry& a, const PortEntry& b) { return a.number < b.number; });
  return entries;
}

PortSystem FileSystemPortSystem(std::string byIdFolder) {
  PortSystem system;
  system.devices = [] { return std::vector<PortDevice>{}; };
  system.canonical = [](const std::string& path) {
    std::error_code error;
    auto resolved = std::filesystem::weakly_canonical(path, error);
    return error ? path : resolved.string();
  };
  system.exists = [](const std::string& path) {
    std::error_code error;
    return std::filesystem::exists(path, error);
  };
  system.byIdName = [canonical = system.canonical,
                     folder = std::move(byIdFolder)](const std::string& path) {
    const std::string target = canonical(path);
    std::error_code error;
    for (const auto& link : std::filesystem::directory_iterator(folder, error)) {
      if (canonical(link.path().string()) == target) return link.path().filename().string();
    }
    return std::string();
  };
  return system;
}

std::string PortMapFilePath(const std::function<std::optional<std::string>(const char*)>& env) {
  const auto nonEmpty = [&](const char* name) -> std::optional<std::string> {
    auto value = env(name);
    if (!value || value->empty()) return std::nullopt;
    return value;
  };
  if (auto file = nonEmpty(kPortMapFileVariable)) return *file;
  std::string base;
  if (auto config = nonEmpty("XDG_CONFIG_HOME"); config && config->front() == '/') {
    base = *config;
  } else if (auto home = nonEmpty("HOME")) {
    base = *home + "/.config";
  } else {
    return {};
  }
  return base + "/Quorvex/QV-Boot/ports.conf";
}

std::string PortMapFilePath() {
  return PortMapFilePath([](const char* name) -> std::optional<std::string> {
    const char* value = std::getenv(name);
    if (!value) return std::nullopt;
    return std::string(value);
  });
}

PortMap::PortMap(std::string mapFile, PortSystem system)
    : mapFile_(std::move(mapFile)), system_(std::move(system)) {}

PortMapFile PortMap::ReadMapFile() const {
  if (mapFile_.empty()) return {};
  std::ifstream in(mapFile_, std::ios::binary);
  if (!in) return {};
  std::string text(kMaxMapFileBytes, '\0');
  in.read(text.data(), static_cast<std::streamsize>(text.size()));
  text.resize(static_cast<std::size_t>(in.gcount()));
  return ParsePortMap(text);
}

std::vector<PortEntry> PortMap::List() const {
  const auto devices = system_.devices ? system_.devices() : std::vector<PortDevice>{};
  const std::string stateFile = memoryFile();
  if (stateFile.empty()) return ResolvePorts(ReadMapFile(), devices, system_, nullptr, held_);
  const PortMemory before = ReadPortMemory(stateFile).value_or(PortMemory{});
  PortMemory memory = before;
  auto entries = ResolvePorts(ReadMapFile(), devices, system_, &memory, held_);
  if (memory != before) WritePortMemory(stateFile, memory);
  return entries;
}

std::optional<PortEntry> PortMap::Find(int number) const {
  for (auto& entry : List()) {
    if (entry.number == number) return entry;
  }
  return std::nullopt;
}

std::string DescribePortMapProblem(const PortMapProblem& problem, const PortTexts& texts) {
  const auto value = [&](std::size_t i) {
    return i < problem.values.size() ? std::string_view(problem.values[i]) : std::string_view();
  };
  if (!texts) {
    std::string text = problem.reason;
    for (const auto& item : problem.values) (text += ' ') += item;
    return text;
  }
  return FillPlaceholders(texts(problem.reason), {value(0), value(1)});
}

std::string DescribePortEntry(const PortEntry& entry, const PortTexts& texts) {
  std::string text = "COM" + std::to_string(entry.number) + "  " + entry.path + "  (";
  text += entry.origin == PortOrigin::MapFile
              ? Say(texts, "portmap.entryMapLine", {std::to_string(entry.line)})
              : Say(texts, "portmap.entryFound", {});
  if (!entry.present) text += ", " + Say(texts, "portmap.entryMissing", {});
  const auto& device = entry.device;
  if (device && device->vendorId && device->productId) {
    const std::string ids = Hex4(*device->vendorId) + ":" + Hex4(*device->productId);
    text += ", " + (device->serialNumber.empty()
                        ? Say(texts, "portmap.entryUsb", {ids})
                        : Say(texts, "portmap.entryUsbSerial", {ids, device->serialNumber}));
  }
  return text + ")";
}

}  // namespace qv
