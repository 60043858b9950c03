#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <map>
#include <tuple>

#include "config/IniAccess.h"
#include "config/ProfileFile.h"
#include "config/ProfileText.h"
#include "config/Settings.h"
#include "config/StationRecord.h"
#include "core/Context.h"
#include "sim/virtual/ScriptedView.h"
#include "support/TempFolder.h"

namespace qv {
namespace {

namespace fs = std::filesystem;
using testing::ReadFile;
using testing::TempFolder;
using testing::WriteFile;
using Names = std::vector<std::string>;

// Elements are split at separators outside quotes; joining quotes all but numbers.
TEST(IniAccess, ListsOfQuotedElements) {
  // clang-format off
  const std::tuple<const char*, const char*, Names, const char*> cases[] = {
      {",", "a,\"\",b", {"a", "", "b"}, "\"a\",\"\",\"b\""},  // an empty quoted element stays
      {",", " a , \"b,c\" ,", {"a", "b,c", ""}, "\"a\",\"b,c\",\"\""}, {",", "-1.5,x y", {"-1.5", "x y"}, "-1.5,\"x y\""},
      {",", "a,\"b", {"a", "\"b"}, nullptr}, {",", "\"a,b\"c,d", {"\"a,b\"c", "d"}, nullptr},  // quotes protect whole
      {"::", "a::\"c::d\"", {"a", "c::d"}, "\"a\"::\"c::d\""}, {"", " whole text ", {"whole text"}, nullptr},
  };
  // clang-format on
  for (const auto& [sep, text, elements, joined] : cases) {
    Names split{"stale", "stale"};
    IniAccess::String2Array(split, sep, text, 34);
    EXPECT_EQ(split, elements) << text;
    if (!joined) continue;
    EXPECT_EQ(IniAccess::Array2String(elements, sep, 34), joined) << text;
  }
  EXPECT_EQ(IniAccess::Array2String({"-1.5", ""}, "; ", 39), "-1.5; ''");
}

TEST(IniAccess, EntriesSectionsAndKeys) {
  TempFolder folder;
  IniAccess ini;
  ini.IniFile(folder / "a.ini");
  Names names{"stale"};
  EXPECT_EQ(ini.GetSections("*", names), 0);  // no file yet
  EXPECT_TRUE(names.empty());
  EXPECT_EQ(ini.ReadEntry("COMCTRL", "Port", "  COM1 "), "COM1");

  WriteFile(ini.IniFile(),
            "[Port1]\r\nBaud=  4800  \r\n; Parity=Odd\r\n\r\n  Stopbit = 1\r\n[ Port2 ]\r\n[]\r\n");
  EXPECT_EQ(ini.ReadEntry("Port1", "Baud", "38400"), "4800");
  EXPECT_EQ(ini.GetSections("*", names), 2);
  EXPECT_EQ(ini.GetSections("Port#", names), 2);
  EXPECT_EQ(names, (Names{"Port1", "Port2"}));
  EXPECT_EQ(ini.GetKeys("Port1", names), 2);
  EXPECT_EQ(names, (Names{"Baud", "Stopbit"}));
  ini.WriteEntry("port2", "Port", "COM2");
  ini.ClearSection("PORT1");
  ini.ClearSection("New");
  EXPECT_EQ(ReadFile(ini.IniFile()),
            "[Port1]\r\n; Parity=Odd\r\n\r\n[ Port2 ]\r\nPort=COM2\r\n[]\r\n[New]\r\n");
  EXPECT_EQ(std::distance(fs::directory_iterator(folder.path), {}), 1);  // no temporary file left
}

TEST(IniAccess, GetAppPathPrefersXdgDataHome) {
  TempFolder folder;
  const std::string home = folder / "home", data = folder / "data";
  fs::create_directory(data);
  WriteFile(data + "/file", "x");
  // clang-format off
  const std::tuple<std::map<std::string, std::string>, std::int32_t, std::string> cases[] = {
      {{{"XDG_DATA_HOME", data}, {"HOME", home}}, 28 | CSIDL_FLAG_CREATE, data},
      {{{"XDG_DATA_HOME", "relative"}, {"HOME", home}}, 28, home + "/.local/share"},  // created when missing
      {{{"XDG_DATA_HOME", data + "/file/x"}, {"APPDATA", "/appdata"}}, 28, "/appdata"},  // a file in the way
      {{{"APPDATA", "/appdata"}, {"HOME", home}}, 5, "/appdata"}, {{}, 28, ""}};  // unknown identifier, nothing set
  // clang-format on
  for (const auto& [variables, csidl, path] : cases) {
    const IniAccess ini(nullptr, [&](const std::string& name) -> std::optional<std::string> {
      return variables.contains(name) ? std::optional(variables.at(name)) : std::nullopt;
    });
    EXPECT_EQ(ini.GetAppPath(csidl), path);
  }
}

// A settings file that cannot be written whole (a huge one is still read in
// part) is left exactly as it is, silently; a link stays a link and the file
// keeps its permissions.
TEST(IniAccess, WritesKeepFilesLinksAndPermissions) {
  TempFolder folder;
  sim::ScriptedView view;
  WriteFile(folder / "huge.ini", "[COMCTRL]\nPort=COM2\n" + std::string(kProfileFileMax, ';'));
  WriteFile(folder / "readonly.ini", "[COMCTRL]\nPort=COM2\n");
  fs::permissions(folder / "readonly.ini", fs::perms::owner_read);
  fs::create_directory(folder / "dir.ini");
  // clang-format off
  const std::pair<std::string, const char*> files[] = {{folder / "huge.ini", "COM2"}, {folder / "readonly.ini", "COM2"},
      {folder / "dir.ini", "COM1"}, {folder / "no/a.ini", "COM1"}, {"", "COM1"}};
  // clang-format on
  for (const auto& [path, port] : files) {
    IniAccess ini(&view);
    ini.IniFile(path);
    ini.WriteEntry("COMCTRL", "Port", "COM9");
    EXPECT_EQ(ini.ReadEntry("COMCTRL", "Port", "COM1"), port) << path;
  }
  EXPECT_EQ(ReadFile(folder / "readonly.ini"), "[COMCTRL]\nPort=COM2\n");
  EXPECT_FALSE(fs::exists(folder / "no"));
  EXPECT_TRUE(view.boxes().empty());

  WriteFile(folder / "real.ini", "[S]\nk=1\n");
  const auto mode = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read;
  fs::permissions(folder / "real.ini", mode);
  fs::create_symlink("real.ini", folder / "link.ini");
  IniAccess ini;
  ini.IniFile(folder / "link.ini");
  ini.WriteEntry("S", "k", "2");
  EXPECT_TRUE(fs::is_symlink(folder / "link.ini"));
  EXPECT_EQ(ReadFile(folder / "real.ini"), "[S]\nk=2\n");
  EXPECT_EQ(fs::status(folder / "real.ini").permissions(), mode);
}

// As a Windows program and a person with Notepad leave it: CRLF, keys in
// other case, quotes, comments, blanks around "=", no blank line at the end.
const std::string kWindowsIni =
    "; QV-Boot settings\r\n[Settings]\r\nmainleft = 1200\r\nMainTop=  \"800\"  \r\n"
    "InitDir='C:\\Quorvex\\KVX7_public'\r\n  ; the language follows\r\nInitLang =2000\r\n\r\n"
    "[ comctrl ]\r\nPORT = COM3\r\n\tBaud\t=\t38400\r\nStopbit=\"1.5\"\r\n";

// Both line break styles: reads, and writes that change only their own line.
TEST(ProfileText, ReadsAndWritesAWindowsWrittenFile) {
  // clang-format off
  const std::tuple<const char*, const char*, std::optional<std::string>> reads[] = {
      {"SETTINGS", "MainLeft", "1200"}, {"settings", "MAINTOP", "800"}, {"COMCTRL", "Baud", "38400"},
      {"SETTINGS", "InitDir", "C:\\Quorvex\\KVX7_public"}, {"COMCTRL", "Stopbit", "1.5"},
      {"COMCTRL", "Parity", std::nullopt}, {"SETTINGS", "Port", std::nullopt},  // keys belong to their section
      {"SETTINGS", "; the language follows", std::nullopt}};
  // Section, key, value; the text the write changes and what it becomes.
  const std::tuple<const char*, const char*, const char*, const char*, const char*> writes[] = {
      {"settings", "MAINTOP", "-400", "MainTop=  \"800\"  \r\n", "MainTop=  -400\r\n"},
      {"COMCTRL", "Baud", "4800", "\tBaud\t=\t38400\r\n", "\tBaud\t=\t4800\r\n"},
      {"COMCTRL", "Port", "", "PORT = COM3\r\n", "PORT = \r\n"},
      // New keys go after the section's last entry, before blank lines.
      {"SETTINGS", "ForceLoad", "False", "InitLang =2000\r\n", "InitLang =2000\r\nForceLoad=False\r\n"},
      {"NEW", "Key", "v", "Stopbit=\"1.5\"\r\n", "Stopbit=\"1.5\"\r\n[NEW]\r\nKey=v\r\n"}};
  // clang-format on
  for (const bool crlf : {true, false}) {
    const auto style = [crlf](std::string t) { return crlf ? t : (std::erase(t, '\r'), t); };
    const ProfileText text(style(kWindowsIni));
    for (const auto& [section, key, value] : reads)
      EXPECT_EQ(text.Get(section, key), value) << key << crlf;
    for (const auto& [section, key, value, from, to] : writes) {
      ProfileText written = text;
      ASSERT_TRUE(written.Set(section, key, value)) << key;
      std::string want = kWindowsIni;
      EXPECT_EQ(written.Text(), style(want.replace(want.find(from), std::strlen(from), to))) << key;
    }
  }
}

// Values are kept whole up to the longest path the system takes, counted in
// characters (not bytes); only what passes that is cut.
TEST(ProfileText, ValuesAreKeptUpToTheLongestPath) {
  std::string accented;
  for (int i = 0; i < 5000; ++i) accented += "\xC3\xA9";
  for (const std::size_t length : {std::size_t{300}, kProfileValueMax, std::size_t{5000}}) {
    const std::string value = accented.substr(0, 2 * length);
    ProfileText written;
    ASSERT_TRUE(written.Set("S", "k", value));
    const std::string kept = accented.substr(0, 2 * std::min(length, std::size_t{4095}));
    EXPECT_EQ(ProfileText(written.Text()).Get("S", "k"), kept) << length;
  }
}

TEST(ProfileText, RefusesWhatCannotStandOnOneLine) {
  // clang-format off
  const std::tuple<const char*, const char*, const char*> cases[] = {
      {"S", "k", "a\rb"}, {"S", "a=b", "v"}, {"S", "", "v"}, {"S", " k", "v"}, {"S", ";k", "v"}, {"S", "[k", "v"},
      {"a]b", "k", "v"}, {"", "k", "v"}, {"S\n", "k", "v"}, {"S", "k", "C:/x\n[COMCTRL]\nPort=COM9"}};
  // clang-format on
  ProfileText text(kWindowsIni);
  for (const auto& [section, key, value] : cases)
    EXPECT_FALSE(text.Set(section, key, value)) << key;
  EXPECT_EQ(text.Text(), kWindowsIni);
}

constexpr ScreenSize kScreen{19200, 14400};  // 1280 x 960 pixels at 15 twips each
constexpr float kWidth = 9000, kHeight = 6000;

// One user's machine: an application-data folder, a program folder and the
// settings file below the former.
class SettingsTest : public ::testing::Test {
 protected:
  TempFolder folder;
  std::string dataHome = folder / "data", programFolder = folder / "program";
  std::string iniPath = dataHome + "/Quorvex/QV-Boot/QV-Boot.ini";
  sim::ScriptedView view;
  IniAccess ini{&view, [this](const std::string& name) -> std::optional<std::string> {
                  return name == "XDG_DATA_HOME" ? std::optional(dataHome) : std::nullopt;
                }};

  void StoreSettings(const std::string& content) {
    fs::create_directories(fs::path(iniPath).parent_path());
    WriteFile(iniPath, content);
  }
  // Start-up as the main window's load does it; returns the restored window.
  WindowRect Start(SettingsTexts& settings) {
    EXPECT_EQ(LocateSettingsFile(ini), iniPath);
    WindowRect window{0, 0, kWidth, kHeight};
    ReadSettings(settings, ini, programFolder, kScreen, window);
    return window;
  }
};

// Every key but InitDir, which holds only a folder the operator chose.
TEST_F(SettingsTest, FirstStartWritesPositionAndCloseWritesTheOtherTenKeys) {
  SettingsTexts settings;
  const WindowRect window = Start(settings);
  EXPECT_EQ(ReadFile(iniPath), "[SETTINGS]\nMainLeft=1000\nMainTop=1000\n");
  EXPECT_EQ(WriteSettings(settings, ini, window, false), "");
  EXPECT_EQ(ReadFile(iniPath), "[SETTINGS]\nMainLeft=1000\nMainTop=1000\n"
                               "InitLang=1000\nForceLoad=False\n"
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
  SettingsTexts settings;
  WindowRect window = Start(settings);
  EXPECT_EQ(settings.ProtocolListIndex, "3");
  WriteSettings(settings, ini, window, false);
  EXPECT_EQ(ReadFile(iniPath), stored);

  settings.PortList = "COM4";
  settings.InitLang = 1000;
  window.Left = -32000;  // where a minimized window sits
  WriteSettings(settings, ini, window, true);
  std::string expected = stored;
  EXPECT_EQ(ReadFile(iniPath), expected.replace(expected.find("COM3"), 4, "COM4"));
}

TEST_F(SettingsTest, WindowPosition) {
  // Stored left and top, the restored window's, what start writes back.
  // clang-format off
  const std::tuple<const char*, const char*, float, float, const char*, const char*> cases[] = {
      {"-400", "-400", 0, 0, "-400", "-400"}, {"-5000", "0", -4600, 400, "-5000", "0"},  // negative stays
      {"", "abc", 1400, 1400, "1000", "1000"}, {"1e39", "1E+03", 1400, 1400, "1000", "1000"},
      {"100,5", "100.25", 500.5f, 500.25f, "100.5", "100.25"},
      {"20000", "9000", 19200 - kWidth, 14400 - kHeight, "9800", "8000"},  // pulled back on screen
  };
  // clang-format on
  for (const auto& [left, top, windowLeft, windowTop, storedLeft, storedTop] : cases) {
    StoreSettings(std::string("[SETTINGS]\nMainLeft=") + left + "\nMainTop=" + top + "\n");
    SettingsTexts settings;
    const WindowRect window = Start(settings);
    EXPECT_EQ(std::pair(window.Left, window.Top), std::pair(windowLeft, windowTop)) << left;
    EXPECT_EQ(ReadFile(iniPath),
              std::string("[SETTINGS]\nMainLeft=") + storedLeft + "\nMainTop=" + storedTop + "\n");
  }
}

// Stored language and the one taken; stored protocol and its list index.
TEST_F(SettingsTest, LanguageAndProtocol) {
  // clang-format off
  const std::tuple<const char*, std::int32_t, const char*, const char*> cases[] = {
      {"0", 0, "None", "0"}, {"2000", 2000, "XonXoff", "1"}, {"5", 1000, "RTS", "2"}, {"", 1000, "RTSXonXoff", "3"},
      {"abc", 1000, "rts", ""}, {" 2000 ", 2000, "", ""}, {"2000.0", 1000, "Hardware", ""}, {"+0", 0, "None", "0"},
  };
  // clang-format on
  for (const auto& [stored, language, protocol, index] : cases) {
    StoreSettings(std::string("[settings]\nInitLang=") + stored +
                  "\n[comctrl]\nProtocol=" + protocol);
    SettingsTexts settings;
    Start(settings);
    EXPECT_EQ(std::pair(settings.InitLang, settings.ProtocolListIndex),
              std::pair(language, std::string(index)))
        << stored << " " << protocol;
  }
}

// The folder beside the program wins over the stored one but never replaces
// it in the file; a chosen folder of 300 accented letters comes back whole.
TEST_F(SettingsTest, UpgradeFolder) {
  StoreSettings("[SETTINGS]\nInitDir=/stored\n");
  SettingsTexts first, next, beside, after;
  const WindowRect window = Start(first);
  EXPECT_EQ(first.UpgradeFolder, "/stored");
  first.InitDir = "/";
  for (int i = 0; i < 300; ++i) first.InitDir += "\xC3\xA9";
  WriteSettings(first, ini, window, false);
  Start(next);
  EXPECT_EQ(next.UpgradeFolder, first.InitDir);
  fs::create_directories(programFolder + "/KVX7_public");
  Start(beside);
  EXPECT_EQ(beside.UpgradeFolder, programFolder + "/KVX7_public");
  WriteSettings(beside, ini, window, false);
  fs::remove(programFolder + "/KVX7_public");
  Start(after);
  EXPECT_EQ(after.UpgradeFolder, first.InitDir);
}

// A file that cannot be written is said, with the reason; the owner's write
// bit is its read-only mark, also for root.
TEST_F(SettingsTest, AFailedSaveSaysWhy) {
  StoreSettings("[COMCTRL]\nPort=COM1\n");
  ASSERT_EQ(LocateSettingsFile(ini), iniPath);
  fs::permissions(iniPath, fs::perms::owner_read);
  SettingsTexts settings;
  settings.PortList = "COM2";
  EXPECT_EQ(WriteSettings(settings, ini, {}, true), std::strerror(EACCES));
  EXPECT_EQ(ReadFile(iniPath), "[COMCTRL]\nPort=COM1\n");
}

TEST_F(SettingsTest, SettingsFileLocation) {
  fs::create_directories(dataHome);
  WriteFile(dataHome + "/Quorvex", "a file in the way");
  EXPECT_EQ(LocateSettingsFile(ini), dataHome + "/QV-Boot.ini");
  EXPECT_EQ(ini.IniFile(), dataHome + "/QV-Boot.ini");
  // The station record goes beside it.
  EXPECT_EQ(StationRecordPath(ini), dataHome + "/QV-Boot-stations.csv");
  ASSERT_EQ(view.boxes().size(), 1u);
  EXPECT_EQ(view.boxes()[0].prompt.rfind("#75\r\n", 0), 0u);
}

// One whole row per run, each outcome with its code; a row torn by a crash
// (no line break, or one inside quotes) is cut back before the next row.
TEST(StationRecord, AppendsWholeRowsAndReadsThemBack) {
  TempFolder folder;
  const std::string path = folder / kStationRecordName;
  // clang-format off
  StationRecordRow row{"T", "COM3", "1001", "8115", "0102", "550", "600", "/up/QV_600.pupd", "6065", 4000, 2.0, RunOutcome::Ok, "", "3.60", 0};
  const std::string fields = "T,COM3,1001,8115,0102,550,600,/up/QV_600.pupd,6065,4000,2.000,";
  const std::tuple<RunOutcome, int, std::string, std::string, std::string> cases[] = {
      {RunOutcome::Ok, 1226, "done", "ok,done,3.60,ok\n", ""},
      {RunOutcome::Failed, 1205, "not ready", "failed,not ready,3.60,failed:1205\n", "2026-12-07T09:31,COM4,\"a\nb"},
      {RunOutcome::Failed, 0, "say \"no\", then\nstop", "failed,\"say \"\"no\"\", then\nstop\",3.60,failed\n", "2026-12-07T09:32,CO"},
      {RunOutcome::Declined, 1231, "kept", "declined,kept,3.60,declined:1231\n", ""},
      {RunOutcome::Unconfirmed, 1226, "key out", "unconfirmed,key out,3.60,unconfirmed\n", ""}};
  // clang-format on
  std::string expected =
      "time,port,serial,hardware,boot,firmware_before,firmware_after,file,file_checksum,bytes,"
      "seconds,result,message,battery,outcome_code\n";
  for (const auto& [outcome, id, message, tail, torn] : cases) {
    std::tie(row.outcome, row.messageId, row.message) = std::tie(outcome, id, message);
    WriteFile(path, (fs::exists(path) ? ReadFile(path) : "") + torn);
    ASSERT_EQ(AppendStationRecord(path, row), "") << message;
    expected += fields + tail;
    EXPECT_EQ(ReadFile(path), expected) << message;
  }
  const auto rows = ReadStationRecord(path);
  ASSERT_EQ(rows.size(), 5u);
  EXPECT_EQ(rows[0].back(), "unconfirmed");  // newest first
  EXPECT_EQ(rows[2].size(), kStationRecordColumns.size());
  EXPECT_EQ(rows[2][12], "say \"no\", then\nstop");
  EXPECT_EQ(AppendStationRecord(folder / "gone/" + kStationRecordName, row), std::strerror(ENOENT));
}

}  // namespace
}  // namespace qv
