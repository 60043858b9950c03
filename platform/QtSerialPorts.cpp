#include "platform/QtSerialPorts.h"

#include "platform/QtPortDevices.h"
#include "serial/PortHolders.h"

namespace qv {

std::int16_t EnumSystemSerialPorts() {
  return EnumRegistrySerialPorts(ListSystemSerialDevices());
}

std::vector<PortInfo> FindSerialPorts(Context& ctx, const PortMap& map) {
  const std::vector<PortEntry> entries = map.List();
  std::vector<PortInfo> ports = ProbeSerialPorts(
      ctx, entries, [](const PortEntry& entry) { return PortOpenable(entry.path); });
  LabelSerialPorts(ports, entries);
  return ports;
}

}  // namespace qv
