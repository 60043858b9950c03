#pragma once
// Turns the port numbers the loader speaks of (COM1 .. COM16) into device
// paths on a system that names serial devices by path.
//
// Without configuration the present devices are numbered from 1: USB
// adapters first (ttyUSB*, then ttyACM*, each by its number), then every
// other serial device (ttyS* and the like) by name. A small file of the
// operator's own fixes numbers to paths ("COM3 = /dev/ttyUSB1", also for
// pseudo-terminals); automatic numbering skips the numbers and devices the
// file names. USB devices keep the numbers they were given (PortMemory) as
// long as the file does not claim them.
#include <cstdint>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "serial/PortMemory.h"

namespace qv {

inline constexpr int kHighestMappedPort = 255;
inline constexpr const char* kPortMapFileVariable = "QVBOOT_PORTS_FILE";

// A serial device the system reports, with what USB labelling needs.
struct PortDevice {
  std::string path;  // e.g. /dev/ttyUSB0
  std::optional<std::uint16_t> vendorId;
  std::optional<std::uint16_t> productId;
  std::string serialNumber;
  std::string description;
  std::string manufacturer;
};

struct PortAssignment {
  int number = 0;
  std::string path;
  int line = 0;  // 1-based line of the map file
};

// The operator text for a text name, in the program's language; "%1" .. "%9"
// in it are filled by the caller. The serial layer keeps no texts of its own.
using PortTexts = std::function<std::string(std::string_view name)>;

struct PortMapProblem {
  int line = 0;
  std::string reason;               // the name of its text, e.g. "portmap.noPath"
  std::vector<std::string> values;  // what %1, %2 of that text stand for
};

// The problem in the operator's words; without texts, its name and values.
std::string DescribePortMapProblem(const PortMapProblem& problem, const PortTexts& texts = {});

struct PortMapFile {
  std::vector<PortAssignment> assignments;  // one per number, ascending
  std::vector<PortMapProblem> problems;     // lines that were ignored
};

// Lines "COMn = /absolute/path"; '#' starts a comment. Bad lines are ignored
// and reported in problems; for a number given twice the later line wins.
PortMapFile ParsePortMap(std::string_view text);

enum class PortOrigin { MapFile, Detected };

struct PortEntry {
  int number = 0;
  std::string path;
  PortOrigin origin = PortOrigin::Detected;
  int line = 0;                      // map-file line for PortOrigin::MapFile
  bool present = false;              // the path exists now
  std::optional<PortDevice> device;  // the system's report on this device, when it has one
  // The number led to another device when it was last remembered; said once,
  // since the memory follows this listing.
  bool renumbered = false;
};

// What the map needs of the machine; tests pass fakes.
struct PortSystem {
  std::function<std::vector<PortDevice>()> devices;
  // Resolves links (a by-id name gives the ttyUSB path) so one device is
  // not numbered twice; returns the path unchanged when it cannot.
  std::function<std::string(const std::string&)> canonical;
  std::function<bool(const std::string&)> exists;
  // The /dev/serial/by-id name that leads to a device path ("usb-…-if00"),
  // empty when there is none; it tells a USB device without a serial number.
  std::function<std::string(const std::string&)> byIdName;
};

// File-system answers for canonical, exists and byIdName (the links in
// byIdFolder, the system's own unless a test brings one); devices stays empty.
PortSystem FileSystemPortSystem(std::string byIdFolder = "/dev/serial/by-id");

// The map in ascending number order. With a memory, devices found in it get
// their remembered numbers, the numbers of absent ones stay free for them
// while another number up to kHighestOpenablePort is left, and the memory is
// brought up to date with what was given. A device new to the memory never
// takes a number of `held` (the port the settings name).
std::vector<PortEntry> ResolvePorts(const PortMapFile& file, const std::vector<PortDevice>& devices,
                                    const PortSystem& system, PortMemory* memory = nullptr,
                                    const std::set<int>& held = {});

// The order automatic numbering uses.
bool DetectedBefore(const std::string& pathA, const std::string& pathB);

// $QVBOOT_PORTS_FILE when set, else $XDG_CONFIG_HOME (default ~/.config)
// + /Quorvex/QV-Boot/ports.conf. Empty when no folder can be found.
std::string PortMapFilePath(const std::function<std::optional<std::string>(const char*)>& env);
std::string PortMapFilePath();  // from the process environment

// The map file and the system, read afresh on every call so devices plugged
// in meanwhile count. The memory lives in PortMemoryFilePath(mapFile) and is
// rewritten only when a listing changes it.
class PortMap {
 public:
  PortMap(std::string mapFile, PortSystem system);

  // Numbers no device new to the memory may take (the settings' stored port).
  void Hold(std::set<int> numbers) { held_ = std::move(numbers); }

  const std::string& mapFile() const { return mapFile_; }
  std::string memoryFile() const { return PortMemoryFilePath(mapFile_); }
  PortMapFile ReadMapFile() const;
  std::vector<PortEntry> List() const;
  std::optional<PortEntry> Find(int number) const;

 private:
  std::string mapFile_;
  PortSystem system_;
  std::set<int> held_;
};

// One line for the operator: "COM1  /dev/ttyUSB0  (found)" or "(map file line 3)",
// in the words texts gives; without texts, the names of the texts.
std::string DescribePortEntry(const PortEntry& entry, const PortTexts& texts = {});

}  // namespace qv
