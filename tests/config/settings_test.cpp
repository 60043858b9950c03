#include "config/Settings.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "config/FakePlatform.h"
#include "config/IniAccess.h"
#include "config/TempFolder.h"

namespace qv {
namespace {

namespace fs = std::filesystem;
using testing::IdleStation;
using testing::ReadFile;
using testing::TempFolder;
using testing::WriteFile;

constexpr ScreenSize kScreen{19200, 14400};  // 1280 x 960 pixels at 15 twips each
constexpr float kWidth = 9000;
constexpr float kHeight = 6000;

// One user's machine: an application-data folder, a program folder and the
// settings file below the former.
class SettingsTest : public ::testing::Test {
 protected:
  TempFolder folder;
  std::string dataHome = folder / "data";
  std::string programFolder = folder / "program";
  std::string iniPath = dataHome + "/Quorvex/QV-Boot/QV-Boot.ini";

  SettingsTest() {
    fs::create_directories(dataHome);
    fs::create_directories(programFolder);
  }

  IniAccess MakeIni(View* view = nullptr) const {
    const std::string data = dataHome;
    return IniAccess(view, [data](const std::string& name) -> std::optional<std::string> {
      if (name == "XDG_DATA_HOME") return data;
      return std::nullopt;
    });
  }

  void StoreSettings(const std::string& content) {
    fs::create_directories(fs::path(iniPath).parent_path());
    WriteFile(iniPath, content);
  }

  // Start-up as the main window's load does it; returns the restored window.
  WindowRect Start(IdleStation& station, IniAccess& ini) {
    EXPECT_EQ(LocateSettingsFile(ini), iniPath);
    WindowRect window{0, 0, kWidth, kHeight};
    ReadSettings(station.ctx, ini, programFolder, kScreen, window);
    return window;
  }
};

TEST_F(SettingsTest, FirstStartAndCloseWriteAllElevenKeys) {
  IdleStation station;
  IniAccess ini = MakeIni(&station.view);
  const WindowRect window = Start(station, ini);

  const Context& ctx = station.ctx;
  EXPECT_EQ(window.Left, 1400);
  EXPECT_EQ(window.Top, 1400);
  EXPECT_EQ(ctx.UpgradeFolder, programFolder + "/KVX7_public");
  EXPECT_EQ(ctx.PortList, "COM1");
  EXPECT_EQ(ctx.ProtocolList, "None");
  EXPECT_EQ(ctx.ProtocolListIndex, "0");
  EXPECT_EQ(ctx.BaudList, "4800");
  EXPECT_EQ(ctx.ParityList, "None");
  EXPECT_EQ(ctx.StopBitList, "1");
  EXPECT_EQ(ctx.DataBitList, "8");
  EXPECT_EQ(ctx.InitLang, 1000);
  EXPECT_EQ(ctx.HwOverride, "False");
  EXPECT_EQ(ReadFile(iniPath), "[SETTINGS]\nMainLeft=1000\nMainTop=1000\n");

  WriteSettings(ctx, ini, window, false);
  EXPECT_EQ(
      ReadFile(iniPath),
      "[SETTINGS]\nMainLeft=1000\nMainTop=1000\nInitDir=" + programFolder +
          "/KVX7_public\nInitLang=1000\nForceLoad=False\n"
          "[COMCTRL]\nPort=COM1\nProtocol=None\nBaud=4800\nParity=None\nStopbit=1\nDataBit=8\n");
  EXPECT_TRUE(station.view.boxes.empty());
}

TEST_F(SettingsTest, ValuesSurviveCloseAndNextStart) {
  std::string firstFile;
  {
    IdleStation station;
    IniAccess ini = MakeIni();
    WindowRect window = Start(station, ini);
    Context& ctx = station.ctx;
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
    firstFile = ReadFile(iniPath);
  }
  IdleStation station;
  IniAccess ini = MakeIni();
  const WindowRect window = Start(station, ini);
  const Context& ctx = station.ctx;
  EXPECT_EQ(window.Left, 2000.5f);
  EXPECT_EQ(window.Top, 0);
  EXPECT_EQ(ctx.PortList, "COM3");
  EXPECT_EQ(ctx.BaudList, "38400");
  EXPECT_EQ(ctx.ProtocolListIndex, "3");
  EXPECT_EQ(ctx.ParityList, "Even");
  EXPECT_EQ(ctx.StopBitList, "1.5");
  EXPECT_EQ(ctx.DataBitList, "7");
  EXPECT_EQ(ctx.InitLang, 2000);
  EXPECT_EQ(ctx.UpgradeFolder, "/srv/firmware images");
  EXPECT_EQ(ctx.HwOverride, "X1");
  EXPECT_EQ(ReadFile(iniPath), firstFile);  // the start's write-back changed nothing
}

TEST_F(SettingsTest, ClosingMinimizedWritesOnlyComCtrl) {
  StoreSettings(
      "[SETTINGS]\r\nMainLeft=1000\r\nMainTop=1000\r\nInitDir=/old\r\nInitLang=0\r\n"
      "ForceLoad=False\r\n[COMCTRL]\r\nPort=COM1\r\n");
  IdleStation station;
  IniAccess ini = MakeIni();
  WindowRect window = Start(station, ini);
  const std::string afterStart = ReadFile(iniPath);
  station.ctx.PortList = "COM4";
  station.ctx.InitLang = 1000;
  station.ctx.UpgradeFolder = "/new";
  window.Left = -32000;  // where a minimized window sits
  WriteSettings(station.ctx, ini, window, true);

  const std::string file = ReadFile(iniPath);
  const std::string settings = afterStart.substr(0, afterStart.find("[COMCTRL]"));
  EXPECT_EQ(file.substr(0, file.find("[COMCTRL]")), settings);
  EXPECT_EQ(file.substr(file.find("[COMCTRL]")),
            "[COMCTRL]\r\nPort=COM4\r\nProtocol=None\r\nBaud=4800\r\nParity=None\r\nStopbit=1\r\n"
            "DataBit=8\r\n");
}

TEST_F(SettingsTest, Language) {
  const struct {
    const char* stored;
    std::int32_t language;
  } cases[] = {
      {"0", 0},         {"2000", 2000}, {"1000", 1000},        {"5", 1000},
      {"7", 1000},      {"", 1000},     {"abc", 1000},         {" 2000 ", 2000},
      {"2000.0", 1000}, {"+0", 0},      {"99999999999", 1000},
  };
  for (const auto& c : cases) {
    StoreSettings(std::string("[SETTINGS]\nInitLang=") + c.stored + "\n");
    IdleStation station;
    IniAccess ini = MakeIni();
    const WindowRect window = Start(station, ini);
    EXPECT_EQ(station.ctx.InitLang, c.language) << c.stored;
    WriteSettings(station.ctx, ini, window, false);
    EXPECT_EQ(ini.ReadEntry("SETTINGS", "InitLang", ""), std::to_string(c.language)) << c.stored;
  }
}

TEST_F(SettingsTest, WindowPosition) {
  const struct {
    const char* left;
    const char* top;
    float windowLeft, windowTop;
    const char* storedLeft;  // written back at start
    const char* storedTop;
  } cases[] = {
      {"-400", "-400", 0, 0, "-400", "-400"},
      {"-5000", "0", -4600, 400, "-5000", "0"},  // negative stays
      {"", "abc", 1400, 1400, "1000", "1000"},
      {"1e39", "1E+03", 1400, 1400, "1000", "1000"},
      {"100,5", "100.25", 500.5f, 500.25f, "100.5", "100.25"},
      // Past the right and bottom edges: pulled back to touch them.
      {"20000", "9000", 19200 - kWidth, 14400 - kHeight, "9800", "8000"},
  };
  for (const auto& c : cases) {
    StoreSettings(std::string("[SETTINGS]\nMainLeft=") + c.left + "\nMainTop=" + c.top + "\n");
    IdleStation station;
    IniAccess ini = MakeIni();
    const WindowRect window = Start(station, ini);
    EXPECT_EQ(window.Left, c.windowLeft) << c.left;
    EXPECT_EQ(window.Top, c.windowTop) << c.top;
    EXPECT_EQ(ReadFile(iniPath), std::string("[SETTINGS]\nMainLeft=") + c.storedLeft +
                                     "\nMainTop=" + c.storedTop + "\n");
  }
}

TEST_F(SettingsTest, PortSettingsAndProtocolIndex) {
  const struct {
    const char* protocol;
    const char* index;
  } cases[] = {{"None", "0"}, {"XonXoff", "1"}, {"RTS", "2"},    {"RTSXonXoff", "3"},
               {"rts", ""},   {"", ""},         {"Hardware", ""}};
  for (const auto& c : cases) {
    StoreSettings(std::string("[comctrl]\nport = COM3\nBAUD=\"38400\"\nProtocol=") + c.protocol +
                  "\n");
    IdleStation station;
    IniAccess ini = MakeIni();
    Start(station, ini);
    EXPECT_EQ(station.ctx.PortList, "COM3");
    EXPECT_EQ(station.ctx.BaudList, "38400");
    EXPECT_EQ(station.ctx.ProtocolList, c.protocol);
    EXPECT_EQ(station.ctx.ProtocolListIndex, c.index) << c.protocol;
  }
}

TEST_F(SettingsTest, UpgradeFolderBesideProgramWinsOverInitDir) {
  StoreSettings("[SETTINGS]\nInitDir=/stored\n");
  {
    IdleStation station;
    IniAccess ini = MakeIni();
    Start(station, ini);
    EXPECT_EQ(station.ctx.UpgradeFolder, "/stored");
  }
  fs::create_directory(programFolder + "/KVX7_public");
  IdleStation station;
  IniAccess ini = MakeIni();
  Start(station, ini);
  EXPECT_EQ(station.ctx.UpgradeFolder, programFolder + "/KVX7_public");
}

TEST_F(SettingsTest, ReadOnlySettingsFileIsReadButNeverWritten) {
  const std::string stored = "; mine\r\n[COMCTRL]\r\nPort=COM2\r\n[SETTINGS]\r\nInitLang=5\r\n";
  StoreSettings(stored);
  ASSERT_EQ(::chmod(iniPath.c_str(), 0444), 0);
  IdleStation station;
  IniAccess ini = MakeIni(&station.view);
  const WindowRect window = Start(station, ini);
  EXPECT_EQ(station.ctx.PortList, "COM2");
  WriteSettings(station.ctx, ini, window, false);
  EXPECT_EQ(ReadFile(iniPath), stored);
  EXPECT_TRUE(station.view.boxes.empty());  // silently
}

TEST_F(SettingsTest, UnreadableSettingsPathMeansDefaults) {
  fs::create_directories(iniPath);  // a folder where the file should be
  IdleStation station;
  IniAccess ini = MakeIni();
  const WindowRect window = Start(station, ini);
  EXPECT_EQ(station.ctx.PortList, "COM1");
  EXPECT_EQ(window.Left, 1400);
  WriteSettings(station.ctx, ini, window, false);
  EXPECT_TRUE(fs::is_directory(iniPath));
  EXPECT_TRUE(fs::is_empty(iniPath));
}

TEST_F(SettingsTest, SettingsFolderThatCannotBeMadeFallsBackToDataFolder) {
  WriteFile(dataHome + "/Quorvex", "a file in the way");
  IdleStation station;
  IniAccess ini = MakeIni(&station.view);
  EXPECT_EQ(LocateSettingsFile(ini), dataHome + "/QV-Boot.ini");
  EXPECT_EQ(ini.IniFile(), dataHome + "/QV-Boot.ini");
  ASSERT_EQ(station.view.boxes.size(), 1u);
  EXPECT_EQ(station.view.boxes[0].prompt.rfind("#75\r\n", 0), 0u);
}

TEST(LocateSettingsFile, NoDataFolderMeansNoSettingsFile) {
  IniAccess ini(nullptr, [](const std::string&) { return std::nullopt; });
  ini.IniFile("/previous.ini");
  EXPECT_EQ(LocateSettingsFile(ini), "");
  EXPECT_EQ(ini.IniFile(), "");
}

TEST(FormatSingle, WritesAsTheSystemWritesDecimals) {
  const struct {
    float value;
    const char* text;
  } cases[] = {{1000, "1000"},    {-400, "-400"}, {1000.5f, "1000.5"},  {0, "0"},
               {-0.0f, "0"},      {0.1f, "0.1"},  {1234567, "1234567"}, {12345678, "1.234568E+07"},
               {-32000, "-32000"}};
  for (const auto& c : cases) EXPECT_EQ(FormatSingle(c.value), c.text) << c.value;
}

}  // namespace
}  // namespace qv
