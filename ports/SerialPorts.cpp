#include "ports/SerialPorts.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <limits>

#include "core/Context.h"
#include "texts/MlStringModule.h"

namespace qv {

namespace {

constexpr std::string_view kPortsAboveSixteenFallback =
    "Mindestens eine serielle Schnittstelle Ihres Computers hat eine Anschlussnummer größer als "
    "16.";

// The decimal digits the text starts with; 0 without any, or when they
// do not fit 32 bits.
std::int32_t LeadingDigits(std::string_view text) {
  const auto end =
      std::find_if(text.begin(), text.end(), [](char c) { return c < '0' || c > '9'; });
  std::int32_t value = 0;
  const auto result = std::from_chars(text.data(), text.data() + (end - text.begin()), value);
  return result.ec == std::errc() ? value : 0;
}

}  // namespace

std::int16_t EnumRegistrySerialPorts(const std::vector<PortDevice>& devices) {
  return static_cast<std::int16_t>(
      std::min<std::size_t>(devices.size(), std::numeric_limits<std::int16_t>::max()));
}

std::vector<PortInfo> ProbeSerialPorts(Context& ctx, const std::vector<PortEntry>& entries,
                                       const PortOpenTest& opens) {
  std::vector<PortInfo> ports;
  bool aboveSixteen = false;
  for (const PortEntry& entry : entries) {
    if (entry.number < 1 || entry.number > kHighestMappedPort) continue;
    if (!entry.present || !opens(entry)) continue;
    aboveSixteen = aboveSixteen || entry.number > kHighestUsablePort;
    ports.push_back({static_cast<std::uint8_t>(entry.number), {}});
  }
  if (aboveSixteen) {
    std::string title;
    ctx.view.HookedMsgBox(kPortsAboveSixteenMessage, GetMlString(ctx, kPortsAboveSixteenMessage, kPortsAboveSixteenFallback),
                          48, title);
  }
  return ports;
}

void LabelSerialPorts(std::vector<PortInfo>& ports, const std::vector<PortEntry>& entries) {
  for (PortInfo& port : ports) {
    for (const PortEntry& entry : entries) {
      if (entry.number == port.PortNumber) port.Description = PortLabel(entry);
    }
  }
}

std::string UsbIdentifier(const PortDevice& device) {
  if (!device.vendorId || !device.productId) return {};
  char ids[32];
  std::snprintf(ids, sizeof ids, "USB\\VID_%04X&PID_%04X\\",
                static_cast<unsigned>(*device.vendorId), static_cast<unsigned>(*device.productId));
  return ids + device.serialNumber;
}

std::string_view DeviceTypeText(std::int32_t serialNumber) {
  if (serialNumber >= 100 && serialNumber <= 9999) return "Adapter: ";
  if (serialNumber >= 30001 && serialNumber <= 199999) return "KVX: ";
  if (serialNumber >= 200001 && serialNumber <= 300000) return "TARN: ";
  if (serialNumber >= 300001 && serialNumber <= 999999) return "RDL: ";
  return "???: ";
}

std::string LabelForIdentifier(std::string_view identifier, std::string_view description) {
  if (identifier.substr(0, kMakerUsbPrefix.size()) != kMakerUsbPrefix)
    return std::string(description);
  const auto slash = identifier.rfind('\\');
  const std::int32_t serial =
      slash == std::string_view::npos ? 0 : LeadingDigits(identifier.substr(slash + 1));
  return "Quorvex - " + std::string(DeviceTypeText(serial)) + std::to_string(serial) + " - USB";
}

std::string PortLabel(const PortEntry& entry) {
  if (!entry.device) return entry.path;
  const std::string& description = entry.device->description;
  return LabelForIdentifier(UsbIdentifier(*entry.device),
                            description.empty() ? entry.path : description);
}

std::string PortEntryText(const PortInfo& port) {
  return "COM" + std::to_string(port.PortNumber) + " (" + port.Description + ")";
}

}  // namespace qv
