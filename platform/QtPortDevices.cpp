#include "platform/QtPortDevices.h"

#include <QSerialPortInfo>

namespace qv {

std::vector<PortDevice> ListSystemSerialDevices() {
  std::vector<PortDevice> devices;
  for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
    PortDevice device;
    device.path = info.systemLocation().toStdString();
    if (info.hasVendorIdentifier()) device.vendorId = info.vendorIdentifier();
    if (info.hasProductIdentifier()) device.productId = info.productIdentifier();
    device.serialNumber = info.serialNumber().toStdString();
    device.description = info.description().toStdString();
    device.manufacturer = info.manufacturer().toStdString();
    devices.push_back(std::move(device));
  }
  return devices;
}

PortSystem SystemPortSystem() {
  PortSystem system = FileSystemPortSystem();
  system.devices = ListSystemSerialDevices;
  return system;
}

PortMap SystemPortMap() { return PortMap(PortMapFilePath(), SystemPortSystem()); }

}  // namespace qv
