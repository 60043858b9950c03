// Port labels and probing as tables; /proc holders on ptys this process holds.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>

#include "platform/QtSerialComm.h"
#include "ports/SerialPorts.h"
#include "serial/PortHolders.h"
#include "sim/virtual/VirtualPlatform.h"
#include "support/PlatformFailure.h"
#include "support/PtyLine.h"
#include "support/QtApp.h"
#include "texts/NamedTexts.h"

namespace qv::test {
namespace {

using ::testing::HasSubstr;

PortDevice Usb(std::uint16_t vendor, std::uint16_t product, std::string serial,
               std::string description = "CP2102N USB to UART") {
  return PortDevice{"/dev/ttyUSB0", vendor, product, std::move(serial), std::move(description), ""};
}

TEST(PortLabels, IdentifierAndLabelOfEachDevice) {
  const struct {
    PortDevice device;
    std::string identifier, label;
  } rows[] = {
      {Usb(0x10C4, 0x8B7E, "123456"), "USB\\VID_10C4&PID_8B7E\\123456",
       "Quorvex - KVX: 123456 - USB"},
      {Usb(0x10c4, 0x8b7e, "0042"), "USB\\VID_10C4&PID_8B7E\\0042", "Quorvex - ???: 42 - USB"},
      {Usb(0x10C4, 0x8B7E, "ABC123"), "USB\\VID_10C4&PID_8B7E\\ABC123", "Quorvex - ???: 0 - USB"},
      {Usb(0x10C4, 0x8B7E, ""), "USB\\VID_10C4&PID_8B7E\\", "Quorvex - ???: 0 - USB"},
      {Usb(0x10C4, 0x8B7E, "4711x"), "USB\\VID_10C4&PID_8B7E\\4711x",
       "Quorvex - Adapter: 4711 - USB"},
      {Usb(0x10C4, 0x8B7E, "99999999999"), "USB\\VID_10C4&PID_8B7E\\99999999999",
       "Quorvex - ???: 0 - USB"},
      {Usb(0x10C4, 0xEA60, "0001"), "USB\\VID_10C4&PID_EA60\\0001", "CP2102N USB to UART"},
      {Usb(0x0403, 0x0001, "A1", ""), "USB\\VID_0403&PID_0001\\A1", "/dev/ttyUSB0"},
      {PortDevice{"/dev/ttyS0", {}, {}, "", "16550A", ""}, "", "16550A"},
      {PortDevice{"/dev/ttyS1", {}, {}, "", "", ""}, "", "/dev/ttyS1"},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(UsbIdentifier(row.device), row.identifier);
    const PortEntry entry{1, row.device.path, PortOrigin::Detected, 0, true, row.device};
    EXPECT_EQ(PortLabel(entry), row.label) << row.identifier;
  }
  EXPECT_EQ(PortLabel(PortEntry{5, "/dev/pts/3", PortOrigin::MapFile, 2, true, {}}), "/dev/pts/3");
}

TEST(PortLabels, TypeRangesAtTheirEdges) {
  const std::pair<std::int32_t, std::string_view> rows[] = {
      {0, "???: "},      {99, "???: "},      {100, "Adapter: "}, {9999, "Adapter: "},
      {10000, "???: "},  {30000, "???: "},   {30001, "KVX: "},   {199999, "KVX: "},
      {200000, "???: "}, {200001, "TARN: "}, {300000, "TARN: "}, {300001, "RDL: "},
      {999999, "RDL: "}, {1000000, "???: "}, {-5, "???: "}};
  for (const auto& [serial, type] : rows) EXPECT_EQ(DeviceTypeText(serial), type) << serial;
  EXPECT_EQ(LabelForIdentifier("USB\\VID_10C4&PID_8B7E\\250000", "x"),
            "Quorvex - TARN: 250000 - USB");
  EXPECT_EQ(LabelForIdentifier("usb\\vid_10c4&pid_8b7e\\250000", "Other"), "Other");
}

TEST(PortProbe, KeepsOpenablePresentPortsAndWarnsOnceAboveSixteen) {
  sim::VirtualPlatform platform;
  platform.ctx.settings.InitLang = 1000;
  const auto entry = [](int number, bool present, std::optional<PortDevice> device = {}) {
    const std::string path = "/dev/x" + std::to_string(number);
    return PortEntry{number, path, PortOrigin::Detected, 0, present, std::move(device)};
  };
  const std::vector<PortEntry> entries = {entry(1, true, Usb(0x10C4, 0x8B7E, "123456")),
                                          entry(2, true), entry(3, false), entry(17, true),
                                          entry(20, true)};
  auto ports = ProbeSerialPorts(platform.ctx, entries,
                                [](const PortEntry& e) { return e.number != 2 && e.number != 17; });
  LabelSerialPorts(ports, entries);
  ASSERT_EQ(ports.size(), 2u);
  EXPECT_EQ(PortEntryText(ports[0]), "COM1 (Quorvex - KVX: 123456 - USB)");
  EXPECT_EQ(PortEntryText(ports[1]), "COM20 (/dev/x20)");
  EXPECT_EQ(PortEntryText(PortInfo{7, ""}), "COM7 ()");
  ASSERT_EQ(platform.view.boxes().size(), 1u);
  EXPECT_THAT(platform.view.boxes()[0].prompt, HasSubstr("higher than 16"));
  EXPECT_EQ(platform.view.boxes()[0].style, 48);
  EXPECT_EQ(platform.view.boxes()[0].title, "");

  platform.view.clearBoxes();
  ports = ProbeSerialPorts(platform.ctx, entries, [](const PortEntry& e) { return e.number < 17; });
  EXPECT_EQ(ports.size(), 2u);
  EXPECT_TRUE(platform.view.boxes().empty());
}

std::string OwnName() {
  std::string name;
  std::getline(std::ifstream("/proc/self/comm"), name);
  return name;
}

TEST(PortHolders, FindsThisProcessOnlyWhileItHoldsThePty) {
  PtyLine line;
  const int slave = ::open(line.slave.c_str(), O_RDWR | O_NOCTTY);
  ASSERT_GE(slave, 0);
  const auto holders = FindPortHolders(line.slave);
  ASSERT_EQ(holders.size(), 1u);
  EXPECT_EQ(holders[0].pid, ::getpid());
  EXPECT_EQ(holders[0].name, OwnName());
  EXPECT_FALSE(PortOpenable(line.slave));
  EXPECT_FALSE(RequestLowLatency(slave)) << "a pty has no latency setting";
  ::close(slave);
  EXPECT_TRUE(FindPortHolders(line.slave).empty());
  EXPECT_TRUE(PortOpenable(line.slave));
  EXPECT_TRUE(ProcessRunning(OwnName()));
  EXPECT_FALSE(ProcessRunning("no-such-program"));
}

TEST(PortHolders, BusyPortNamesItsHolder) {
  EnsureQtApp();
  PtyLine line;
  const auto english = [](std::string_view name) { return NamedText(1000, name); };
  QtSerialComm first(line.Map(), english), second(line.Map(), english);
  for (QtSerialComm* comm : {&first, &second}) comm->setCommPort(5);
  first.setPortOpen(true);
  const PlatformError e = Failure([&] { second.setPortOpen(true); });
  EXPECT_EQ(e.number(), kErrPortOpen);
  EXPECT_THAT(e.description(), HasSubstr("in use by " + OwnName() + " (process " +
                                         std::to_string(::getpid()) + ")"));
}

}  // namespace
}  // namespace qv::test
