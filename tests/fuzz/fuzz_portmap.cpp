// The operator's port map file and the settings text, from arbitrary bytes.
// The first byte picks the device list the map is resolved against, so the
// numbering runs over files that name, repeat and collide with devices.
#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <string_view>

#include "serial/PortMap.h"
#include "serial/SerialLine.h"

namespace {

std::vector<qv::PortDevice> Devices(std::uint8_t pick) {
  static const char* const kPaths[] = {"/dev/ttyUSB0", "/dev/ttyUSB1",  "/dev/ttyACM0",
                                       "/dev/ttyS0",   "/dev/ttyUSB10", "/tmp/qvstation-pty"};
  std::vector<qv::PortDevice> devices;
  for (std::size_t i = 0; i < std::size(kPaths); ++i) {
    // Two of them share a serial number; the ttyACM is told by a by-id name.
    if (pick & (1u << i))
      devices.push_back(qv::PortDevice{kPaths[i], {}, {}, i < 2 ? "A" : "", {}, {}});
  }
  return devices;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);

  const qv::PortMapFile file = qv::ParsePortMap(text);
  for (const auto& a : file.assignments) {
    const bool sane = a.number >= 1 && a.number <= qv::kHighestMappedPort && !a.path.empty() &&
                      a.path.front() == '/';
    if (!sane) __builtin_trap();
  }
  qv::PortSystem system;
  system.canonical = [](const std::string& path) { return path; };
  system.exists = [](const std::string& path) { return path.size() % 2 == 0; };
  system.byIdName = [](const std::string& path) { return path.size() == 12 ? "usb-X" : ""; };
  // The same text as the state file: what parses formats back to itself.
  auto memory = qv::ParsePortMemory(text);
  if (memory && qv::ParsePortMemory(qv::FormatPortMemory(*memory)) != memory) __builtin_trap();
  const auto entries =
      qv::ResolvePorts(file, Devices(data[0]), system, memory ? &*memory : nullptr);
  std::set<int> numbers;
  for (const auto& entry : entries) {
    if (!numbers.insert(entry.number).second) __builtin_trap();
    (void)qv::DescribePortEntry(entry);
  }
  if (memory && !qv::ParsePortMemory(qv::FormatPortMemory(*memory))) __builtin_trap();

  if (const auto settings = qv::ParseLineSettings(text)) {
    if (!qv::ParseLineSettings(qv::FormatLineSettings(*settings))) __builtin_trap();
  }
  return 0;
}
