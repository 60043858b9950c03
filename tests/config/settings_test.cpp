#include "config/Settings.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <tuple>

#include "config/IniAccess.h"
#include "config/TempFolder.h"
#include "sim/VirtualPlatform.h"

namespace qv {
namespace {

namespace fs = std::filesystem;
using sim::VirtualPlatform;
using testing::ReadFile;
using testing::WriteFile;

constexpr ScreenSize kScreen{19200, 14400};  // 1280 x 960 pixels at 15 twips each
constexpr float kWidth = 9000;
constexpr float kHeight = 6000;

// One user's machine: an application-data folder, a program folder and the
// settings file below the former.
class SettingsTest : public ::testing::Test {
 protected:
  testing::TempFolder folder;
  std::string dataHome = folder / "data";
  std::string programFolder = folder / "program";
  std::string iniPath = dataHome + "/Quorvex/QV-Boot/QV-Boot.ini";
  sim::ScriptedView view;
  IniAccess ini{&view, [this](const std::string& name) -> std::optional<std::string> {
                  if (name == "XDG_DATA_HOME") return dataHome;
                  return std::nullopt;
                }};

  SettingsTest() {
    fs::create_directories(dataHome);
    fs::create_directories(programFolder);
  }

  void StoreSettings(const std::string& content) {
    fs::create_directories(fs::path(iniPath).parent_path());
    WriteFile(iniPath, content);
  }

  // Start-up as the main window's load does it; returns the restored window.
  WindowRect Start(Context& ctx) {
    EXPECT_EQ(LocateSettingsFile(ini), iniPath);
    WindowRect window{0, 0, kWidth, kHeight};
    ReadSettings(ctx, ini, programFolder, kScreen, window);
    return window;
  }
};

TEST_F(SettingsTest, FirstStartWritesPositionAndCloseWritesAllElevenKeys) {
  VirtualPlatform station;
  const WindowRect window = Start(station.ctx);
  EXPECT_EQ(window.Left, 1400);
  EXPECT_EQ(window.Top, 1400);
  EXPECT_EQ(station.ctx.ProtocolListIndex, "0");
  EXPECT_EQ(station.ctx.HwOverride, "False");
  EXPECT_EQ(ReadFile(iniPath), "[SETTINGS]\nMainLeft=1000\nMainTop=1000\n");

  WriteSettings(station.ctx, ini, window, false);
  EXPECT_EQ(ReadFile(iniPath), "[SETTINGS]\nMainLeft=1000\nMainTop=1000\nInitDir=" + programFolder +
                                   "/KVX7_public\nInitLang=1000\nForceLoad=False\n"
                                   "[COMCTRL]\nPort=COM1\nProtocol=None\nBaud=4800\nParity=None\n"
                                   "Stopbit=1\nDataBit=8\n");
  EXPECT_TRUE(view.boxes().empty());
}

// What one run closes with, the next start reads: writing it back again
// changes nothing, closing minimized changes only the port settings, and
// lines of other programs stay where they are in the file's own line breaks.
TEST_F(SettingsTest, ValuesSurviveCloseAndNextStart) {
  StoreSettings("; mine\r\n[Other]\r\nkey = kept\r\n");
  VirtualPlatform first;
  WindowRect window = Start(first.ctx);
  Context& ctx = first.ctx;
  ctx.PortList = "COM3";
  ctx.BaudList = "38400";
  ctx.ProtocolList = "RTSXonXoff";
  ctx.ParityList = "Even";
  ctx.StopBitList = "1.5";
  ctx.DataBitList = "7";
  ctx.InitLang = 2000;
  ctx.UpgradeFolder = "/srv/firmware images";
  ctx.HwOverride = "X1";
  window.Left = 2000.5f;
  window.Top = 0;
  WriteSettings(ctx, ini, window, false);
  std::string file = ReadFile(iniPath);
  EXPECT_EQ(file.rfind("; mine\r\n[Other]\r\nkey = kept\r\n[SETTINGS]\r\n", 0), 0u) << file;

  VirtualPlatform second;
  WindowRect restored = Start(second.ctx);
  EXPECT_EQ(second.ctx.ProtocolListIndex, "3");
  EXPECT_EQ(second.ctx.HwOverride, "X1");
  WriteSettings(second.ctx, ini, restored, false);
  EXPECT_EQ(ReadFile(iniPath), file);

  second.ctx.PortList = "COM4";
  second.ctx.InitLang = 1000;
  restored.Left = -32000;  // where a minimized window sits
  WriteSettings(second.ctx, ini, restored, true);
  EXPECT_EQ(ReadFile(iniPath), file.replace(file.find("Port=COM3"), 9, "Port=COM4"));
}

TEST_F(SettingsTest, Language) {
  const std::pair<const char*, std::int32_t> cases[] = {
      {"0", 0},         {"2000", 2000},   {"5", 1000}, {"", 1000},           {"abc", 1000},
      {" 2000 ", 2000}, {"2000.0", 1000}, {"+0", 0},   {"99999999999", 1000}};
  for (const auto& [stored, language] : cases) {
    StoreSettings(std::string("[SETTINGS]\nInitLang=") + stored + "\n");
    VirtualPlatform station;
    const WindowRect window = Start(station.ctx);
    EXPECT_EQ(station.ctx.InitLang, language) << stored;
    WriteSettings(station.ctx, ini, window, false);
    EXPECT_EQ(ini.ReadEntry("SETTINGS", "InitLang", ""), std::to_string(language)) << stored;
  }
}

TEST_F(SettingsTest, WindowPosition) {
  // Stored left and top, the restored window's, what start writes back.
  const std::tuple<const char*, const char*, float, float, const char*, const char*> cases[] = {
      {"-400", "-400", 0, 0, "-400", "-400"},
      {"-5000", "0", -4600, 400, "-5000", "0"},  // negative stays
      {"", "abc", 1400, 1400, "1000", "1000"},
      {"1e39", "1E+03", 1400, 1400, "1000", "1000"},
      {"100,5", "100.25", 500.5f, 500.25f, "100.5", "100.25"},
      // Past the right and bottom edges: pulled back to touch them.
      {"20000", "9000", 19200 - kWidth, 14400 - kHeight, "9800", "8000"},
  };
  for (const auto& [left, top, windowLeft, windowTop, storedLeft, storedTop] : cases) {
    StoreSettings(std::string("[SETTINGS]\nMainLeft=") + left + "\nMainTop=" + top + "\n");
    VirtualPlatform station;
    const WindowRect window = Start(station.ctx);
    EXPECT_EQ(window.Left, windowLeft) << left;
    EXPECT_EQ(window.Top, windowTop) << top;
    EXPECT_EQ(ReadFile(iniPath),
              std::string("[SETTINGS]\nMainLeft=") + storedLeft + "\nMainTop=" + storedTop + "\n");
  }
}

TEST_F(SettingsTest, PortSettingsAndProtocolIndex) {
  const std::pair<const char*, const char*> cases[] = {
      {"None", "0"}, {"XonXoff", "1"}, {"RTS", "2"},    {"RTSXonXoff", "3"},
      {"rts", ""},   {"", ""},         {"Hardware", ""}};
  for (const auto& [protocol, index] : cases) {
    StoreSettings(std::string("[comctrl]\nport = COM3\nBAUD=\"38400\"\nProtocol=") + protocol +
                  "\n");
    VirtualPlatform station;
    Start(station.ctx);
    EXPECT_EQ(station.ctx.PortList, "COM3");
    EXPECT_EQ(station.ctx.BaudList, "38400");
    EXPECT_EQ(station.ctx.ProtocolList, protocol);
    EXPECT_EQ(station.ctx.ProtocolListIndex, index) << protocol;
  }
}

TEST_F(SettingsTest, UpgradeFolderBesideProgramWinsOverInitDir) {
  StoreSettings("[SETTINGS]\nInitDir=/stored\n");
  VirtualPlatform before, after;
  Start(before.ctx);
  EXPECT_EQ(before.ctx.UpgradeFolder, "/stored");
  fs::create_directory(programFolder + "/KVX7_public");
  Start(after.ctx);
  EXPECT_EQ(after.ctx.UpgradeFolder, programFolder + "/KVX7_public");
}

TEST_F(SettingsTest, SettingsFileLocation) {
  WriteFile(dataHome + "/Quorvex", "a file in the way");
  EXPECT_EQ(LocateSettingsFile(ini), dataHome + "/QV-Boot.ini");
  EXPECT_EQ(ini.IniFile(), dataHome + "/QV-Boot.ini");
  ASSERT_EQ(view.boxes().size(), 1u);
  EXPECT_EQ(view.boxes()[0].prompt.rfind("#75\r\n", 0), 0u);

  IniAccess nowhere(nullptr, [](const std::string&) { return std::nullopt; });
  nowhere.IniFile("/previous.ini");
  EXPECT_EQ(LocateSettingsFile(nowhere), "");
  EXPECT_EQ(nowhere.IniFile(), "");
}

TEST(FormatSingle, WritesAsTheSystemWritesDecimals) {
  const std::pair<float, const char*> cases[] = {{-400, "-400"},       {1000.5f, "1000.5"},
                                                 {-0.0f, "0"},         {0.1f, "0.1"},
                                                 {1234567, "1234567"}, {12345678, "1.234568E+07"}};
  for (const auto& [value, text] : cases) EXPECT_EQ(FormatSingle(value), text) << value;
}

}  // namespace
}  // namespace qv
