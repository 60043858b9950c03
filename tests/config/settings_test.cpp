#include "config/Settings.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <tuple>

#include "config/IniAccess.h"
#include "config/TempFolder.h"
#include "sim/virtual/VirtualPlatform.h"

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
    ReadSettings(ctx.settings, ini, programFolder, kScreen, window);
    return window;
  }
};

TEST_F(SettingsTest, FirstStartWritesPositionAndCloseWritesAllElevenKeys) {
  VirtualPlatform station;
  const WindowRect window = Start(station.ctx);
  EXPECT_EQ(ReadFile(iniPath), "[SETTINGS]\nMainLeft=1000\nMainTop=1000\n");

  WriteSettings(station.ctx.settings, ini, window, false);
  EXPECT_EQ(ReadFile(iniPath), "[SETTINGS]\nMainLeft=1000\nMainTop=1000\nInitDir=" + programFolder +
                                   "/KVX7_public\nInitLang=1000\nForceLoad=False\n"
                                   "[COMCTRL]\nPort=COM1\nProtocol=None\nBaud=4800\nParity=None\n"
                                   "Stopbit=1\nDataBit=8\n");
  EXPECT_TRUE(view.boxes().empty());
}

// A file a Windows program wrote: start reads every value, closing writes the
// same file back, closing minimized changes only the port settings, and the
// lines of other programs stay.
TEST_F(SettingsTest, ValuesSurviveStartAndClose) {
  const std::string stored =
      "; mine\r\n[Other]\r\nkey = kept\r\n[SETTINGS]\r\nMainLeft=2000.5\r\nMainTop=0\r\n"
      "InitDir=/srv/firmware images\r\nInitLang=2000\r\nForceLoad=X1\r\n[COMCTRL]\r\nPort=COM3\r\n"
      "Protocol=RTSXonXoff\r\nBaud=38400\r\nParity=Even\r\nStopbit=1.5\r\nDataBit=7\r\n";
  StoreSettings(stored);
  VirtualPlatform station;
  WindowRect window = Start(station.ctx);
  EXPECT_EQ(station.ctx.settings.ProtocolListIndex, "3");
  WriteSettings(station.ctx.settings, ini, window, false);
  EXPECT_EQ(ReadFile(iniPath), stored);

  station.ctx.settings.PortList = "COM4";
  station.ctx.settings.InitLang = 1000;
  window.Left = -32000;  // where a minimized window sits
  WriteSettings(station.ctx.settings, ini, window, true);
  std::string expected = stored;
  EXPECT_EQ(ReadFile(iniPath), expected.replace(expected.find("COM3"), 4, "COM4"));
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

// Stored language and protocol; the language taken (and written back) and the protocol's index.
TEST_F(SettingsTest, LanguageAndPortSettings) {
  const std::tuple<const char*, std::int32_t, const char*, const char*> cases[] = {
      {"0", 0, "None", "0"},
      {"2000", 2000, "XonXoff", "1"},
      {"5", 1000, "RTS", "2"},
      {"", 1000, "RTSXonXoff", "3"},
      {"abc", 1000, "rts", ""},
      {" 2000 ", 2000, "", ""},
      {"2000.0", 1000, "Hardware", ""},
      {"+0", 0, "None", "0"},
      {"+-0", 1000, "None", "0"},
      {"99999999999", 1000, "RTS", "2"}};
  for (const auto& [stored, language, protocol, index] : cases) {
    StoreSettings(std::string("[settings]\nInitLang=") + stored +
                  "\n[comctrl]\nport = COM3\nBAUD=\"38400\"\nProtocol=" + protocol + "\n");
    VirtualPlatform station;
    const WindowRect window = Start(station.ctx);
    EXPECT_EQ(station.ctx.settings.InitLang, language) << stored;
    EXPECT_EQ(station.ctx.settings.PortList, "COM3");
    EXPECT_EQ(station.ctx.settings.BaudList, "38400");
    EXPECT_EQ(station.ctx.settings.ProtocolList, protocol);
    EXPECT_EQ(station.ctx.settings.ProtocolListIndex, index) << protocol;
    WriteSettings(station.ctx.settings, ini, window, false);
    EXPECT_EQ(ini.ReadEntry("SETTINGS", "InitLang", ""), std::to_string(language)) << stored;
  }
}

TEST_F(SettingsTest, UpgradeFolderBesideProgramWinsOverInitDir) {
  StoreSettings("[SETTINGS]\nInitDir=/stored\n");
  VirtualPlatform before, after;
  Start(before.ctx);
  EXPECT_EQ(before.ctx.settings.UpgradeFolder, "/stored");
  fs::create_directory(programFolder + "/KVX7_public");
  Start(after.ctx);
  EXPECT_EQ(after.ctx.settings.UpgradeFolder, programFolder + "/KVX7_public");
}

// The length limit of a value counts characters: a folder of 200 accented
// letters (400 bytes) is read back whole on the next start.
TEST_F(SettingsTest, AccentedUpgradeFolderSurvivesWhole) {
  std::string accented = "/";
  for (int i = 0; i < 200; ++i) accented += "\xC3\xA9";
  StoreSettings("[SETTINGS]\n");
  VirtualPlatform first, next;
  const WindowRect window = Start(first.ctx);
  first.ctx.settings.UpgradeFolder = accented;
  WriteSettings(first.ctx.settings, ini, window, false);
  Start(next.ctx);
  EXPECT_EQ(next.ctx.settings.UpgradeFolder, accented);
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
