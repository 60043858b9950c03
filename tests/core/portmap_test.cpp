#include "serial/PortMap.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>

namespace qv {
namespace {

TEST(ParsePortMap, Lines) {
  // text; the assignments as "number path @line; ...", then " !line" for each problem
  // clang-format off
  const std::pair<std::string, std::string> cases[] = {
      {"# bench\n\n \t\nCOM1 = /dev/ttyS0  # old\n#COM2 = /x\nCOM2 = /a#b\n", "1 /dev/ttyS0 @4; 2 /a#b @6"},
      {"\xEF\xBB\xBF" "COM1 = /dev/ttyUSB0\r\nCOM2 = /dev/ttyUSB1\r\n", "1 /dev/ttyUSB0 @1; 2 /dev/ttyUSB1 @2"},
      {"COM4 = \"/dev/serial/by-id/usb-My Adapter-if00\"", "4 /dev/serial/by-id/usb-My Adapter-if00 @1"},
      {"COM255 = /b\nCOM03 = /a\ncom12=/c", "3 /a @2; 12 /c @3; 255 /b @1"},  // sorted by number
      {"COM1 = /dev/ttyUSB0\nCOM1 = /dev/ttyUSB1\n", "1 /dev/ttyUSB1 @2 !1"},  // the later line wins
      {"COM0 = /dev/a\nCOM256 = /dev/b\nCOM = /dev/c\nCOMx = /dev/d\nPORT1 = /dev/e\nCOM1 /dev/f\nCOM2 = dev/ttyUSB0\n"
       "COM3 =\nCOM4 = \"\"\nCOM5 = /ok\n= /dev/g\nCOM-1 = /dev/h\nCOM1234 = /dev/i\n",
       "5 /ok @10 !1 !2 !3 !4 !5 !6 !7 !8 !9 !11 !12 !13"},
      {std::string("COM1 = /dev/tty\0USB0\nCOM2 = /b\x01\n", 32), " !1 !2"}};  // control characters
  // clang-format on
  for (const auto& [text, expected] : cases) {
    const PortMapFile file = ParsePortMap(text);
    std::string got;
    for (const auto& a : file.assignments)
      got += (got.empty() ? "" : "; ") + std::to_string(a.number) + " " + a.path + " @" +
             std::to_string(a.line);
    for (const auto& p : file.problems)
      got += " !" + std::to_string(p.line) + (p.reason.empty() ? "?" : "");
    EXPECT_EQ(got, expected) << text;
  }
}

std::vector<PortDevice> Devices(const std::vector<std::string>& paths) {
  std::vector<PortDevice> devices;
  for (const auto& path : paths) devices.push_back(PortDevice{path, {}, {}, {}, {}, {}});
  return devices;
}

// Links as a fake file system resolves them; every other path stands for
// itself, and no path under /dev/tty exists.
PortSystem FakeSystem(std::map<std::string, std::string> links = {}) {
  PortSystem system;
  system.canonical = [links](const std::string& p) { return links.contains(p) ? links.at(p) : p; };
  system.exists = [](const std::string& path) { return !path.starts_with("/dev/tty"); };
  return system;
}

TEST(ResolvePorts, NumbersAndSources) {
  // map file, devices, links, "number path [map] [absent]; ..."
  // clang-format off
  const std::tuple<std::string, std::vector<std::string>, std::map<std::string, std::string>, std::string> cases[] = {
      {"", {"/dev/ttyUSB0", "/dev/ttyUSB0"}, {}, "1 /dev/ttyUSB0"},  // reported twice
      // USB first by number, then ACM, then the rest
      {"", {"/dev/ttyS1", "/dev/ttyUSB10", "/dev/ttyACM0", "/dev/ttyUSB2", "/dev/ttyAMA0"}, {},
       "1 /dev/ttyUSB2; 2 /dev/ttyUSB10; 3 /dev/ttyACM0; 4 /dev/ttyAMA0; 5 /dev/ttyS1"},
      // a device the file names through a link is not numbered twice
      {"COM3 = /by-id/b\n", {"/dev/ttyUSB1", "/dev/ttyUSB0"}, {{"/by-id/b", "/dev/ttyUSB1"}},
       "1 /dev/ttyUSB0; 3 /by-id/b map"},
      // automatic numbers fill the gaps the file leaves
      {"COM1 = /a\nCOM3 = /b\n", {"/dev/ttyUSB0", "/dev/ttyUSB1", "/dev/ttyUSB2"}, {},
       "1 /a map; 2 /dev/ttyUSB0; 3 /b map; 4 /dev/ttyUSB1; 5 /dev/ttyUSB2"},
      {"COM2 = /dev/ttyUSB9\n", {"/dev/ttyUSB0"}, {}, "1 /dev/ttyUSB0; 2 /dev/ttyUSB9 map absent"}};
  // clang-format on
  for (const auto& [mapText, devices, links, expected] : cases) {
    std::string got;
    for (const auto& e : ResolvePorts(ParsePortMap(mapText), Devices(devices), FakeSystem(links)))
      got += (got.empty() ? "" : "; ") + std::to_string(e.number) + " " + e.path +
             (e.origin == PortOrigin::MapFile ? " map" : "") + (e.present ? "" : " absent");
    EXPECT_EQ(got, expected) << mapText;
  }
}

TEST(ResolvePorts, PortsBeyondTheHighestNumberAreLeftOut) {
  std::vector<std::string> paths;
  for (int i = 0; i < kHighestMappedPort + 5; ++i) paths.push_back("/dev/ttyS" + std::to_string(i));
  const auto entries = ResolvePorts({}, Devices(paths), FakeSystem());
  EXPECT_EQ(entries.size(), static_cast<std::size_t>(kHighestMappedPort));
}

TEST(PortMapFilePath, FromTheEnvironment) {
  // clang-format off
  const std::pair<std::map<std::string, std::string>, std::string> cases[] = {
      {{{"QVBOOT_PORTS_FILE", "/t/p.conf"}, {"XDG_CONFIG_HOME", "/x"}}, "/t/p.conf"},
      {{{"QVBOOT_PORTS_FILE", ""}, {"XDG_CONFIG_HOME", "/x"}, {"HOME", "/h"}}, "/x/Quorvex/QV-Boot/ports.conf"},
      {{{"HOME", "/home/op"}}, "/home/op/.config/Quorvex/QV-Boot/ports.conf"},
      {{{"XDG_CONFIG_HOME", "relative"}, {"HOME", "/h"}}, "/h/.config/Quorvex/QV-Boot/ports.conf"},
      {{}, ""}};
  // clang-format on
  for (const auto& [vars, expected] : cases) {
    const auto get = [&vars](const char* name) -> std::optional<std::string> {
      return vars.contains(name) ? std::optional(vars.at(name)) : std::nullopt;
    };
    EXPECT_EQ(PortMapFilePath(get), expected);
  }
}

// A device the file names through a link moves to the file's number and
// keeps its USB identity.
TEST(PortMap, ReadsTheFileAfreshOnEveryLookup) {
  const auto file =
      std::filesystem::temp_directory_path() / ("qv-ports-" + std::to_string(::getpid()) + ".conf");
  PortSystem system = FakeSystem({{"/dev/serial/by-id/x", "/dev/ttyUSB1"}});
  const PortDevice adapter{"/dev/ttyUSB1", 0x10C4, 0x8B7E, "123456", {}, {}};
  system.devices = [adapter] { return std::vector{adapter}; };
  const PortMap map(file.string(), system);
  EXPECT_TRUE(map.Find(1) && !map.Find(4)) << "no file yet";
  std::ofstream(file) << "COM4 = /dev/serial/by-id/x\n";
  EXPECT_FALSE(map.Find(1));
  ASSERT_TRUE(map.Find(4));
  EXPECT_EQ(DescribePortEntry(*map.Find(4)),
            "COM4  /dev/serial/by-id/x  (map file line 1, USB 10c4:8b7e serial 123456)");
  std::filesystem::remove(file);
}

}  // namespace
}  // namespace qv
