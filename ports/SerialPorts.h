#pragma once
// Which serial ports the PC has, and what to call them in the port dialog.
// The system's answers come in as data (the device list, the port map's
// entries, an open test), so the rules run without a machine behind them.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "serial/PortMap.h"

namespace qv {

class Context;

struct PortInfo {
  std::uint8_t PortNumber = 0;  // the n of COMn, 1 to 255
  std::string Description;      // empty until LabelSerialPorts fills it
};

inline constexpr std::string_view kMakerUsbPrefix = "USB\\VID_10C4&PID_8B7E";
inline constexpr int kHighestUsablePort = 16;
inline constexpr int kPortsAboveSixteenMessage = 1225;

// How many serial devices the system reports; 0 makes the main window warn
// that the PC has no serial port.
std::int16_t EnumRegistrySerialPorts(const std::vector<PortDevice>& devices);

// Every present port of the map (ascending numbers) that `opens` can open,
// with an empty description. When one of them is numbered above 16 the
// operator hears, once, that the loader cannot reach it; it stays listed.
using PortOpenTest = std::function<bool(const PortEntry&)>;
std::vector<PortInfo> ProbeSerialPorts(Context& ctx, const std::vector<PortEntry>& entries,
                                       const PortOpenTest& opens);

// Gives each port the label of the map entry with its number.
void LabelSerialPorts(std::vector<PortInfo>& ports, const std::vector<PortEntry>& entries);

// "USB\VID_10C4&PID_8B7E\123456" for a USB device: ids in upper-case hex,
// then its USB serial number. Empty for a device without USB ids.
std::string UsbIdentifier(const PortDevice& device);

// The type text a maker's device gets for its serial number ("KVX: ").
std::string_view DeviceTypeText(std::int32_t serialNumber);

// The label for an identifier: the maker's devices "Quorvex - KVX: 123456 -
// USB", every other device the description given.
std::string LabelForIdentifier(std::string_view identifier, std::string_view description);

// The label of one map entry: the maker's USB devices by their serial
// number, others by the system's description, or the path when it has none.
std::string PortLabel(const PortEntry& entry);

// "COM4 (Quorvex - KVX: 123456 - USB)"; "COM7 ()" without a description.
std::string PortEntryText(const PortInfo& port);

}  // namespace qv
