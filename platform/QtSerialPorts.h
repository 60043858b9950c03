#pragma once
// Port discovery on the running system: the devices QSerialPortInfo reports
// and the port map the program opens ports through.
#include <cstdint>
#include <vector>

#include "ports/SerialPorts.h"

namespace qv {

// The count of serial devices the system has, for bNoSerialPort at start-up.
std::int16_t EnumSystemSerialPorts();

// The ports the dialog lists, probed and labelled afresh on every call.
// The map's devices are read once, so probing and labelling agree.
std::vector<PortInfo> FindSerialPorts(Context& ctx, const PortMap& map);

}  // namespace qv
