#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>

#include "serial/PortMap.h"

namespace qv {

// For the assertions; the program itself never compares assignments.
bool operator==(const PortAssignment& a, const PortAssignment& b) {
  return a.number == b.number && a.path == b.path && a.line == b.line;
}

void PrintTo(const PortAssignment& a, std::ostream* os) {
  *os << "COM" << a.number << "=" << a.path << "@" << a.line;
}

namespace {

struct ParseCase {
  const char* name;
  std::string text;
  std::vector<PortAssignment> assignments;
  std::vector<int> problemLines;
};

TEST(ParsePortMap, Lines) {
  const std::vector<ParseCase> cases = {
      {"plain", "COM3 = /dev/ttyUSB1\n", {{3, "/dev/ttyUSB1", 1}}, {}},
      {"no blanks, lower case, no final newline", "com12=/tmp/qvstation-pty",
       {{12, "/tmp/qvstation-pty", 1}}, {}},
      {"comments and blank lines",
       "# ports of the bench\n\n  \t\nCOM1 = /dev/ttyS0  # the old PC port\n#COM2 = /dev/x\n",
       {{1, "/dev/ttyS0", 4}}, {}},
      {"hash inside a path stays", "COM2 = /tmp/a#b\n", {{2, "/tmp/a#b", 1}}, {}},
      {"CRLF and byte-order mark", "\xEF\xBB\xBF" "COM1 = /dev/ttyUSB0\r\nCOM2 = /dev/ttyUSB1\r\n",
       {{1, "/dev/ttyUSB0", 1}, {2, "/dev/ttyUSB1", 2}}, {}},
      {"quoted path with a blank", "COM4 = \"/dev/serial/by-id/usb-My Adapter-if00\"",
       {{4, "/dev/serial/by-id/usb-My Adapter-if00", 1}}, {}},
      {"leading zeros and the highest number", "COM03 = /a\nCOM255 = /b\n",
       {{3, "/a", 1}, {255, "/b", 2}}, {}},
      {"sorted by number", "COM9 = /z\nCOM2 = /y\n", {{2, "/y", 2}, {9, "/z", 1}}, {}},
      {"later line wins", "COM1 = /dev/ttyUSB0\nCOM1 = /dev/ttyUSB1\n", {{1, "/dev/ttyUSB1", 2}},
       {1}},
      {"bad lines are skipped, good ones kept",
       "COM0 = /dev/a\nCOM256 = /dev/b\nCOM = /dev/c\nCOMx = /dev/d\nPORT1 = /dev/e\n"
       "COM1 /dev/f\nCOM2 = dev/ttyUSB0\nCOM3 =\nCOM4 = \"\"\nCOM5 = /ok\n= /dev/g\n"
       "COM-1 = /dev/h\nCOM1234 = /dev/i\n",
       {{5, "/ok", 10}}, {1, 2, 3, 4, 5, 6, 7, 8, 9, 11, 12, 13}},
      {"control character in the path", std::string("COM1 = /dev/tty\0USB0\nCOM2 = /b\x01\n", 32),
       {}, {1, 2}},
      {"empty text", "", {}, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const PortMapFile file = ParsePortMap(c.text);
    EXPECT_EQ(file.assignments, c.assignments);
    std::vector<int> lines;
    for (const auto& problem : file.problems) {
      lines.push_back(problem.line);
      EXPECT_FALSE(problem.reason.empty());
    }
    EXPECT_EQ(lines, c.problemLines);
  }
}

PortDevice Device(std::string path) {
  PortDevice device;
  device.path = std::move(path);
  return device;
}

// Links as a fake file system resolves them; every other path stands for itself.
PortSystem FakeSystem(std::map<std::string, std::string> links = {},
                      std::vector<std::string> existing = {}) {
  PortSystem system;
  system.canonical = [links](const std::string& path) {
    auto it = links.find(path);
    return it == links.end() ? path : it->second;
  };
  system.exists = [existing](const std::string& path) {
    return std::find(existing.begin(), existing.end(), path) != existing.end();
  };
  return system;
}

struct Expected {
  int number;
  std::string path;
  PortOrigin origin;
  bool present;
};

struct ResolveCase {
  const char* name;
  std::string mapText;
  std::vector<std::string> devices;
  PortSystem system;
  std::vector<Expected> expected;
};

TEST(ResolvePorts, NumbersAndSources) {
  using O = PortOrigin;
  const std::vector<ResolveCase> cases = {
      {"nothing at all", "", {}, FakeSystem(), {}},
      {"one USB adapter is COM1", "", {"/dev/ttyUSB0"}, FakeSystem(),
       {{1, "/dev/ttyUSB0", O::Detected, true}}},
      {"USB first by number, then ACM, then the rest", "",
       {"/dev/ttyS1", "/dev/ttyUSB10", "/dev/ttyACM0", "/dev/ttyUSB2", "/dev/ttyS0",
        "/dev/ttyUSB0", "/dev/ttyAMA0"},
       FakeSystem(),
       {{1, "/dev/ttyUSB0", O::Detected, true},
        {2, "/dev/ttyUSB2", O::Detected, true},
        {3, "/dev/ttyUSB10", O::Detected, true},
        {4, "/dev/ttyACM0", O::Detected, true},
        {5, "/dev/ttyAMA0", O::Detected, true},
        {6, "/dev/ttyS0", O::Detected, true},
        {7, "/dev/ttyS1", O::Detected, true}}},
      {"a mapped pty takes COM1, the adapter moves on", "COM1 = /tmp/qvstation-pty\n",
       {"/dev/ttyUSB0"}, FakeSystem({}, {"/tmp/qvstation-pty"}),
       {{1, "/tmp/qvstation-pty", O::MapFile, true}, {2, "/dev/ttyUSB0", O::Detected, true}}},
      {"a device named by a link is not numbered twice",
       "COM3 = /dev/serial/by-id/usb-adapter-b\n", {"/dev/ttyUSB1", "/dev/ttyUSB0"},
       FakeSystem({{"/dev/serial/by-id/usb-adapter-b", "/dev/ttyUSB1"}},
                  {"/dev/serial/by-id/usb-adapter-b"}),
       {{1, "/dev/ttyUSB0", O::Detected, true},
        {3, "/dev/serial/by-id/usb-adapter-b", O::MapFile, true}}},
      {"automatic numbers fill the gaps the file leaves", "COM1 = /a\nCOM3 = /b\n",
       {"/dev/ttyUSB0", "/dev/ttyUSB1", "/dev/ttyUSB2"}, FakeSystem({}, {"/a", "/b"}),
       {{1, "/a", O::MapFile, true},
        {2, "/dev/ttyUSB0", O::Detected, true},
        {3, "/b", O::MapFile, true},
        {4, "/dev/ttyUSB1", O::Detected, true},
        {5, "/dev/ttyUSB2", O::Detected, true}}},
      {"a mapped device that is absent stays listed", "COM2 = /dev/ttyUSB9\n", {"/dev/ttyUSB0"},
       FakeSystem(),
       {{1, "/dev/ttyUSB0", O::Detected, true}, {2, "/dev/ttyUSB9", O::MapFile, false}}},
      {"the same device reported twice is numbered once", "",
       {"/dev/ttyUSB0", "/dev/ttyUSB0"}, FakeSystem(), {{1, "/dev/ttyUSB0", O::Detected, true}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<PortDevice> devices;
    for (const auto& path : c.devices) devices.push_back(Device(path));
    const auto entries = ResolvePorts(ParsePortMap(c.mapText), devices, c.system);
    ASSERT_EQ(entries.size(), c.expected.size());
    for (std::size_t i = 0; i < entries.size(); ++i) {
      SCOPED_TRACE(i);
      EXPECT_EQ(entries[i].number, c.expected[i].number);
      EXPECT_EQ(entries[i].path, c.expected[i].path);
      EXPECT_EQ(entries[i].origin, c.expected[i].origin);
      EXPECT_EQ(entries[i].present, c.expected[i].present);
    }
  }
}

TEST(ResolvePorts, MappedEntryCarriesTheUsbIdentityOfItsDevice) {
  PortDevice adapter = Device("/dev/ttyUSB1");
  adapter.vendorId = 0x10C4;
  adapter.productId = 0x8B7E;
  adapter.serialNumber = "123456";
  const auto entries =
      ResolvePorts(ParsePortMap("COM4 = /dev/serial/by-id/x\n"), {adapter},
                   FakeSystem({{"/dev/serial/by-id/x", "/dev/ttyUSB1"}}, {"/dev/serial/by-id/x"}));
  ASSERT_EQ(entries.size(), 1u);
  ASSERT_TRUE(entries[0].device.has_value());
  EXPECT_EQ(entries[0].device->vendorId, 0x10C4);
  EXPECT_EQ(entries[0].device->productId, 0x8B7E);
  EXPECT_EQ(entries[0].device->serialNumber, "123456");
  EXPECT_EQ(DescribePortEntry(entries[0]),
            "COM4  /dev/serial/by-id/x  (map file line 1, USB 10c4:8b7e serial 123456)");
}

TEST(ResolvePorts, PortsBeyondTheHighestNumberAreLeftOut) {
  std::vector<PortDevice> devices;
  for (int i = 0; i < kHighestMappedPort + 5; ++i) devices.push_back(Device("/dev/ttyS" + std::to_string(i)));
  const auto entries = ResolvePorts({}, devices, FakeSystem());
  ASSERT_EQ(entries.size(), static_cast<std::size_t>(kHighestMappedPort));
  EXPECT_EQ(entries.back().number, kHighestMappedPort);
}

TEST(PortMapFilePath, FromTheEnvironment) {
  struct Case {
    std::map<std::string, std::string> env;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {{{"QVBOOT_PORTS_FILE", "/t/p.conf"}, {"XDG_CONFIG_HOME", "/x"}}, "/t/p.conf"},
      {{{"QVBOOT_PORTS_FILE", ""}, {"XDG_CONFIG_HOME", "/x"}, {"HOME", "/h"}},
       "/x/Quorvex/QV-Boot/ports.conf"},
      {{{"HOME", "/home/op"}}, "/home/op/.config/Quorvex/QV-Boot/ports.conf"},
      {{{"XDG_CONFIG_HOME", "relative"}, {"HOME", "/h"}}, "/h/.config/Quorvex/QV-Boot/ports.conf"},
      {{}, ""},
  };
  for (const auto& c : cases) {
    const auto env = [&c](const char* name) -> std::optional<std::string> {
      auto it = c.env.find(name);
      if (it == c.env.end()) return std::nullopt;
      return it->second;
    };
    EXPECT_EQ(PortMapFilePath(env), c.expected);
  }
}

class PortMapFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("qv-portmap-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
            "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir_);
    file_ = (dir_ / "ports.conf").string();
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  void Write(const std::string& text) { std::ofstream(file_, std::ios::binary) << text; }

  std::filesystem::path dir_;
  std::string file_;
};

TEST_F(PortMapFileTest, ReadsTheFileAfreshOnEveryLookup) {
  PortSystem system = FakeSystem();
  system.devices = [] { return std::vector<PortDevice>{Device("/dev/ttyUSB0")}; };
  const PortMap map(file_, system);
  EXPECT_EQ(map.Find(1)->path, "/dev/ttyUSB0");  // no file yet
  EXPECT_FALSE(map.Find(2).has_value());

  Write("COM1 = /tmp/qvstation-pty\n");
  EXPECT_EQ(map.Find(1)->path, "/tmp/qvstation-pty");
  EXPECT_EQ(map.Find(2)->path, "/dev/ttyUSB0");
}

}  // namespace
}  // namespace qv
