#pragma once
// The numbers the port map gave USB devices on its own, kept in a small state
// file beside the operator's port file. A USB-serial station drops off the
// bus when it restarts and often comes back under another ttyUSBn, or finds
// its old name taken by an adapter plugged in meanwhile; the stored port
// number must still mean that station.
//
// A device is known by its USB serial number ("serial 123456"), without one
// by its /dev/serial/by-id name ("by-id usb-…-if00-port0"), and a port
// without a USB identity (a built-in ttyS0) by its device path ("path
// /dev/ttyS0"), so an adapter plugged in later never takes its number. The
// file is the loader's own: lines "COM3 serial 123456", '#' comment lines.
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace qv {

// The numbers at or below this are the ones the serial component opens, so a
// remembered number of an absent device gives way to a new device only when
// none of them is free otherwise.
inline constexpr int kHighestOpenablePort = 16;

struct PortMemory {
  std::map<int, std::string> identities;  // number -> "serial …" or "by-id …"
  bool operator==(const PortMemory&) const = default;
};

// Empty when the text does not hold a usable identity (no control characters).
std::string SerialIdentity(std::string_view serialNumber);
std::string ByIdIdentity(std::string_view byIdName);
std::string PathIdentity(std::string_view devicePath);

// Any line that does not parse, or a number or identity given twice, makes
// the whole text unusable: the loader wrote it, so it is damaged.
std::optional<PortMemory> ParsePortMemory(std::string_view text);
std::string FormatPortMemory(const PortMemory& memory);

// "ports.conf" -> "ports.state" in the same folder; empty for an empty path.
std::string PortMemoryFilePath(const std::string& mapFile);

// Nothing when the file is missing, unreadable or damaged.
std::optional<PortMemory> ReadPortMemory(const std::string& path);
// Writes a temporary file beside it and renames it over, so a reader never
// sees half a file. False when that fails; the map works on without it.
bool WritePortMemory(const std::string& path, const PortMemory& memory);

}  // namespace qv
