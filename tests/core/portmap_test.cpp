#include "serial/PortMap.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>

#include "texts/NamedTexts.h"

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

// Problems carry the name of their text and its values; the language comes
// with the texts the caller gives, and without texts the name shows.
TEST(ParsePortMap, ProblemsInTheLanguageGiven) {
  const PortMapFile file = ParsePortMap("COM2 = /a\nCOM2 = /b\nCOM3 = b\n");
  ASSERT_EQ(file.problems.size(), 2u);
  // language, the two problems as the operator reads them
  const std::tuple<std::int32_t, std::string, std::string> cases[] = {
      {0, "COM2 wird in Zeile 2 erneut angegeben; diese Zeile gilt",
       "Der Gerätepfad muss mit '/' beginnen"},
      {1000, "COM2 is given again on line 2, which wins", "the device path must start with '/'"},
      {2000, "COM2 est de nouveau indiqué ligne 2, qui l'emporte",
       "le chemin de l'appareil doit commencer par '/'"},
  };
  for (const auto& [lang, again, relative] : cases) {
    const auto texts = [lang](std::string_view name) { return NamedText(lang, name); };
    EXPECT_EQ(DescribePortMapProblem(file.problems[0], texts), again);
    EXPECT_EQ(DescribePortMapProblem(file.problems[1], texts), relative);
  }
  EXPECT_EQ(DescribePortMapProblem(file.problems[0]), "portmap.givenAgain COM2 2");
}

// "path" or "path=serial number"
std::vector<PortDevice> Devices(const std::vector<std::string>& deviceLines) {
  std::vector<PortDevice> devices;
  for (const auto& entry : deviceLines) {
    const auto cut = std::min(entry.find('='), entry.size());
    devices.push_back(
        PortDevice{entry.substr(0, cut), {}, {}, entry.substr(cut + (cut < entry.size())), {}, {}});
  }
  return devices;
}

// Links as a fake file system resolves them; every other path stands for
// itself, no path under /dev/tty exists, and ttyACM0 has a by-id name.
PortSystem FakeSystem(std::map<std::string, std::string> links = {}) {
  PortSystem system;
  system.canonical = [links](const std::string& p) { return links.contains(p) ? links.at(p) : p; };
  system.exists = [](const std::string& path) { return !path.starts_with("/dev/tty"); };
  system.byIdName = [](const std::string& p) { return p.ends_with("ACM0") ? "usb-X-if00" : ""; };
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

// clang-format off
std::string Remembered(int from, int to) {  // "COMn serial Sn" lines
  return from > to ? "" : "COM" + std::to_string(from) + " serial S" + std::to_string(from) + "\n" + Remembered(from + 1, to);
}

TEST(ResolvePorts, RemembersDevices) {
  // map file, memory before, devices, "number path; ..." and the memory after
  const std::tuple<std::string, std::string, std::vector<std::string>, std::string, std::string> cases[] = {
      {"", "COM1 serial A\nCOM2 serial B\n", {"ttyUSB0=B", "ttyUSB1=A"}, "1 ttyUSB1; 2 ttyUSB0", "COM1 serial A\nCOM2 serial B\n"},
      {"", "COM1 serial A\n", {"ttyUSB0=C", "ttyUSB1=A"}, "1 ttyUSB1; 2 ttyUSB0", "COM1 serial A\nCOM2 serial C\n"},  // name taken
      {"", "COM1 serial A\n", {"ttyUSB0=C", "ttyS0"}, "2 ttyUSB0; 3 ttyS0", "COM1 serial A\nCOM2 serial C\nCOM3 path ttyS0\n"},  // A away
      // a built-in port keeps its number when an adapter comes that sorts before it
      {"", "COM1 path ttyS0\n", {"ttyUSB0=A", "ttyS0"}, "1 ttyS0; 2 ttyUSB0", "COM1 path ttyS0\nCOM2 serial A\n"},
      {"COM1 = /dev/ttyS9\n", "COM1 serial A\n", {"ttyUSB0=A"}, "1 /dev/ttyS9; 2 ttyUSB0", "COM2 serial A\n"},  // the file wins
      {"", "COM3 by-id usb-X-if00\n", {"ttyACM0", "ttyUSB0=C", "ttyS1"}, "1 ttyUSB0; 2 ttyS1; 3 ttyACM0",
       "COM1 serial C\nCOM2 path ttyS1\nCOM3 by-id usb-X-if00\n"},  // no serial number: the by-id name
      {"", "", {"ttyUSB0=A", "ttyUSB1=A"}, "1 ttyUSB0; 2 ttyUSB1", "COM1 serial A\n"},  // twins: the first is remembered
      // absent devices hold their numbers until only theirs are left up to 16
      {"", Remembered(1, 15), {"ttyUSB0=N"}, "16 ttyUSB0", Remembered(1, 15) + "COM16 serial N\n"},  // 16 is still free
      {"", Remembered(2, 17), {"ttyUSB0=N", "ttyUSB1=M"}, "1 ttyUSB0; 2 ttyUSB1", "COM1 serial N\nCOM2 serial M\n" + Remembered(3, 17)},
      {"COM1 = /a\n", Remembered(2, 16) + "COM20 serial T\n", {"ttyUSB0=N", "ttyUSB1=T"}, "1 /a; 2 ttyUSB0; 20 ttyUSB1",
       "COM2 serial N\n" + Remembered(3, 16) + "COM20 serial T\n"}};
  // clang-format on
  for (const auto& [mapText, before, deviceLines, expected, after] : cases) {
    auto memory = ParsePortMemory(before);
    ASSERT_TRUE(memory) << before;
    std::string got;
    for (const auto& e :
         ResolvePorts(ParsePortMap(mapText), Devices(deviceLines), FakeSystem(), &*memory))
      got += (got.empty() ? "" : "; ") + std::to_string(e.number) + " " + e.path;
    EXPECT_EQ(got, expected) << before;
    EXPECT_EQ(FormatPortMemory(*memory).substr(FormatPortMemory({}).size()), after) << before;
  }
}

// The settings' port is never handed to a device new to the memory, not even
// when only remembered numbers are left; a number that now leads to another
// device than the remembered one is marked.
TEST(ResolvePorts, TheStoredPortIsNeverHandedOn) {
  // clang-format off
  const std::tuple<std::string, std::vector<std::string>, std::string> cases[] = {
      {"", {"ttyUSB0=A", "ttyS0"}, "2 ttyUSB0; 3 ttyS0"},
      {Remembered(2, 16), {"ttyUSB0=N"}, "2 ttyUSB0 renumbered"},
      {"COM1 path ttyS0\n", {"ttyUSB0=A", "ttyS0"}, "1 ttyS0; 2 ttyUSB0"}};
  // clang-format on
  for (const auto& [before, deviceLines, expected] : cases) {
    auto memory = ParsePortMemory(before);
    ASSERT_TRUE(memory) << before;
    std::string got;
    for (const auto& e : ResolvePorts({}, Devices(deviceLines), FakeSystem(), &*memory, {1}))
      got += (got.empty() ? "" : "; ") + std::to_string(e.number) + " " + e.path +
             (e.renumbered ? " renumbered" : "");
    EXPECT_EQ(got, expected) << before;
  }
}

TEST(ParsePortMemory, DamagedTextIsRefused) {
  for (const std::string text :
       {"COM1 serial A\nCOM1 serial B", "COM1 serial A\nCOM2 serial A", "COM0 serial A",
        "COM1 serial ", "COM1 usb A", "COM1 serial A\r", "COM256 by-id x"})
    EXPECT_FALSE(ParsePortMemory(text)) << text;
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
  const auto english = [](std::string_view name) { return NamedText(1000, name); };
  EXPECT_EQ(DescribePortEntry(*map.Find(4), english),
            "COM4  /dev/serial/by-id/x  (map file line 1, USB 10c4:8b7e serial 123456)");
  std::filesystem::remove(file);
}

// The state file: written when the numbers change, left alone otherwise,
// ignored when damaged. Each step writes the file (unless empty), then lists.
TEST(PortMap, KeepsItsMemoryBesideTheMapFile) {
  const auto dir = std::filesystem::temp_directory_path() / ("qv-st-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  std::vector<std::string> deviceLines;
  PortSystem system = FakeSystem();
  system.devices = [&deviceLines] { return Devices(deviceLines); };
  const PortMap map((dir / "ports.conf").string(), system);
  const std::string state = (dir / "ports.state").string();
  const std::string head = FormatPortMemory({});
  // clang-format off
  const std::vector<std::string> back = {"/dev/ttyUSB0=C", "/dev/ttyUSB1=A"};  // A under another name
  const std::tuple<std::string, std::vector<std::string>, std::string, std::string> steps[] = {
      {"", {"/dev/ttyUSB0=A"}, "/dev/ttyUSB0", head + "COM1 serial A\n"},
      {"# kept\nCOM1 serial A\n", back, "/dev/ttyUSB1", head + "COM1 serial A\nCOM2 serial C\n"},
      {"# kept\nCOM2 serial A\nCOM1 serial C\n", back, "/dev/ttyUSB0", "# kept\nCOM2 serial A\nCOM1 serial C\n"},
      {"COM1 serial A\nCOM2 damaged\n", back, "/dev/ttyUSB0", head + "COM1 serial C\nCOM2 serial A\n"}};
  // clang-format on
  for (const auto& [written, devices, com1, stored] : steps) {
    if (!written.empty()) std::ofstream(state) << written;
    deviceLines = devices;
    EXPECT_EQ(map.Find(1).value_or(PortEntry{}).path, com1) << written;
    std::ifstream in(state);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), stored) << written;
  }
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace qv
