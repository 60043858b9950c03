#pragma once
// The system's serial devices as QSerialPortInfo reports them (udev where
// present), with the USB identity the port dialog labels devices by.
#include <vector>

#include "serial/PortMap.h"

namespace qv {

std::vector<PortDevice> ListSystemSerialDevices();

// File-system answers plus the devices above.
PortSystem SystemPortSystem();

// The map the program uses: the operator's map file and the present devices.
PortMap SystemPortMap();

}  // namespace qv
