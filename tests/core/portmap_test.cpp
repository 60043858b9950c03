#include "serial/PortMap.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>

namespace qv {
namespace {

std::string Join(const std::vector<std::string>& parts) {
  std::string out;
  for (const auto& part : parts) out += (out.empty() ? "" : "; ") + part;
  return out;
}

TEST(ParsePortMap, Lines) {
  struct Case {
    std::string text;
    std::string assignments;  // "number path @line; ..."
    std::vector<int> problemLines;
  };
  const Case cases[] = {
      {"COM3 = /dev/ttyUSB1\n", "3 /dev/ttyUSB1 @1", {}},
      {"com12=/tmp/qvstation-pty", "12 /tmp/qvstation-pty @1", {}},  // no blanks, no final newline
      {"# ports of the bench\n\n  \t\nCOM1 = /dev/ttyS0  # the old PC port\n#COM2 = /dev/x\n",
       "1 /dev/ttyS0 @4",
       {}},
      {"COM2 = /tmp/a#b\n", "2 /tmp/a#b @1", {}},  // a hash inside a path stays
      {"\xEF\xBB\xBF"
       "COM1 = /dev/ttyUSB0\r\nCOM2 = /dev/ttyUSB1\r\n",
       "1 /dev/ttyUSB0 @1; 2 /dev/ttyUSB1 @2",
       {}},
      {"COM4 = \"/dev/serial/by-id/usb-My Adapter-if00\"",
       "4 /dev/serial/by-id/usb-My Adapter-if00 @1",
       {}},
      {"COM03 = /a\nCOM255 = /b\n", "3 /a @1; 255 /b @2", {}},
      {"COM9 = /z\nCOM2 = /y\n", "2 /y @2; 9 /z @1", {}},  // sorted by number
      {"COM1 = /dev/ttyUSB0\nCOM1 = /dev/ttyUSB1\n",
       "1 /dev/ttyUSB1 @2",
       {1}},  // the later line wins
      {"COM0 = /dev/a\nCOM256 = /dev/b\nCOM = /dev/c\nCOMx = /dev/d\nPORT1 = /dev/e\n"
       "COM1 /dev/f\nCOM2 = dev/ttyUSB0\nCOM3 =\nCOM4 = \"\"\nCOM5 = /ok\n= /dev/g\n"
       "COM-1 = /dev/h\nCOM1234 = /dev/i\n",
       "5 /ok @10",
       {1, 2, 3, 4, 5, 6, 7, 8, 9, 11, 12, 13}},
      {std::string("COM1 = /dev/tty\0USB0\nCOM2 = /b\x01\n", 32),
       "",
       {1, 2}},  // control characters
      {"", "", {}},
  };
  for (const auto& c : cases) {
    const PortMapFile file = ParsePortMap(c.text);
    std::vector<std::string> assignments;
    for (const auto& a : file.assignments)
      assignments.push_back(std::to_string(a.number) + " " + a.path + " @" +
                            std::to_string(a.line));
    EXPECT_EQ(Join(assignments), c.assignments) << c.text;
    std::vector<int> lines;
    for (const auto& problem : file.problems) {
      lines.push_back(problem.line);
      EXPECT_FALSE(problem.reason.empty());
    }
    EXPECT_EQ(lines, c.problemLines) << c.text;
  }
}

std::vector<PortDevice> Devices(const std::vector<std::string>& paths) {
  std::vector<PortDevice> devices;
  for (const auto& path : paths) devices.push_back(PortDevice{path, {}, {}, {}, {}, {}});
  return devices;
}

// Links as a fake file system resolves them; every other path stands for itself.
PortSystem FakeSystem(std::map<std::string, std::string> links = {},
                      std::vector<std::string> existing = {}) {
  PortSystem system;
  system.canonical = [links](const std::string& path) {
    return links.contains(path) ? links.at(path) : path;
  };
  system.exists = [existing](const std::string& path) {
    return std::find(existing.begin(), existing.end(), path) != existing.end();
  };
  return system;
}

TEST(ResolvePorts, NumbersAndSources) {
  struct Case {
    std::string mapText;
    std::vector<std::string> devices;
    PortSystem system;
    std::string expected;  // "number path [map] [absent]; ..."
  };
  // clang-format off
  const Case cases[] = {
      {"", {}, FakeSystem(), ""},
      {"", {"/dev/ttyUSB0", "/dev/ttyUSB0"}, FakeSystem(), "1 /dev/ttyUSB0"},  // reported twice
      // USB first by number, then ACM, then the rest
      {"", {"/dev/ttyS1", "/dev/ttyUSB10", "/dev/ttyACM0", "/dev/ttyUSB2", "/dev/ttyS0",
            "/dev/ttyUSB0", "/dev/ttyAMA0"}, FakeSystem(),
       "1 /dev/ttyUSB0; 2 /dev/ttyUSB2; 3 /dev/ttyUSB10; 4 /dev/ttyACM0; 5 /dev/ttyAMA0; "
       "6 /dev/ttyS0; 7 /dev/ttyS1"},
      {"COM1 = /pty\n", {"/dev/ttyUSB0"}, FakeSystem({}, {"/pty"}), "1 /pty map; 2 /dev/ttyUSB0"},
      // a device the file names through a link is not numbered twice
      {"COM3 = /by-id/b\n", {"/dev/ttyUSB1", "/dev/ttyUSB0"},
       FakeSystem({{"/by-id/b", "/dev/ttyUSB1"}}, {"/by-id/b"}), "1 /dev/ttyUSB0; 3 /by-id/b map"},
      // automatic numbers fill the gaps the file leaves
      {"COM1 = /a\nCOM3 = /b\n", {"/dev/ttyUSB0", "/dev/ttyUSB1", "/dev/ttyUSB2"},
       FakeSystem({}, {"/a", "/b"}),
       "1 /a map; 2 /dev/ttyUSB0; 3 /b map; 4 /dev/ttyUSB1; 5 /dev/ttyUSB2"},
      {"COM2 = /dev/ttyUSB9\n", {"/dev/ttyUSB0"}, FakeSystem(),
       "1 /dev/ttyUSB0; 2 /dev/ttyUSB9 map absent"},
  };
  // clang-format on
  for (const auto& c : cases) {
    std::vector<std::string> entries;
    for (const auto& e : ResolvePorts(ParsePortMap(c.mapText), Devices(c.devices), c.system)) {
      entries.push_back(std::to_string(e.number) + " " + e.path +
                        (e.origin == PortOrigin::MapFile ? " map" : "") +
                        (e.present ? "" : " absent"));
    }
    EXPECT_EQ(Join(entries), c.expected) << c.mapText;
  }
}

TEST(ResolvePorts, MappedEntryCarriesTheUsbIdentityOfItsDevice) {
  const PortDevice adapter{"/dev/ttyUSB1", 0x10C4, 0x8B7E, "123456", {}, {}};
  const auto entries =
      ResolvePorts(ParsePortMap("COM4 = /dev/serial/by-id/x\n"), {adapter},
                   FakeSystem({{"/dev/serial/by-id/x", "/dev/ttyUSB1"}}, {"/dev/serial/by-id/x"}));
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(DescribePortEntry(entries[0]),
            "COM4  /dev/serial/by-id/x  (map file line 1, USB 10c4:8b7e serial 123456)");
}

TEST(ResolvePorts, PortsBeyondTheHighestNumberAreLeftOut) {
  std::vector<std::string> paths;
  for (int i = 0; i < kHighestMappedPort + 5; ++i) paths.push_back("/dev/ttyS" + std::to_string(i));
  const auto entries = ResolvePorts({}, Devices(paths), FakeSystem());
  ASSERT_EQ(entries.size(), static_cast<std::size_t>(kHighestMappedPort));
  EXPECT_EQ(entries.back().number, kHighestMappedPort);
}

TEST(PortMapFilePath, FromTheEnvironment) {
  const std::pair<std::map<std::string, std::string>, std::string> cases[] = {
      {{{"QVBOOT_PORTS_FILE", "/t/p.conf"}, {"XDG_CONFIG_HOME", "/x"}}, "/t/p.conf"},
      {{{"QVBOOT_PORTS_FILE", ""}, {"XDG_CONFIG_HOME", "/x"}, {"HOME", "/h"}},
       "/x/Quorvex/QV-Boot/ports.conf"},
      {{{"HOME", "/home/op"}}, "/home/op/.config/Quorvex/QV-Boot/ports.conf"},
      {{{"XDG_CONFIG_HOME", "relative"}, {"HOME", "/h"}}, "/h/.config/Quorvex/QV-Boot/ports.conf"},
      {{}, ""},
  };
  for (const auto& [vars, expected] : cases) {
    EXPECT_EQ(PortMapFilePath([&vars](const char* name) -> std::optional<std::string> {
                if (!vars.contains(name)) return std::nullopt;
                return vars.at(name);
              }),
              expected);
  }
}

TEST(PortMap, ReadsTheFileAfreshOnEveryLookup) {
  const auto file =
      std::filesystem::temp_directory_path() / ("qv-ports-" + std::to_string(::getpid()) + ".conf");
  PortSystem system = FakeSystem();
  system.devices = [] { return Devices({"/dev/ttyUSB0"}); };
  const PortMap map(file.string(), system);
  const auto path = [&map](int number) {
    const auto entry = map.Find(number);
    return entry ? entry->path : std::string("(none)");
  };
  EXPECT_EQ(path(1), "/dev/ttyUSB0");  // no file yet
  EXPECT_EQ(path(2), "(none)");
  std::ofstream(file) << "COM1 = /tmp/qvstation-pty\n";
  EXPECT_EQ(path(1), "/tmp/qvstation-pty");
  EXPECT_EQ(path(2), "/dev/ttyUSB0");
  std::filesystem::remove(file);
}

}  // namespace
}  // namespace qv
