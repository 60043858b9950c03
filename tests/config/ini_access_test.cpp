#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <tuple>

#include "config/IniAccess.h"
#include "config/ProfileFile.h"
#include "config/TempFolder.h"
#include "sim/virtual/ScriptedView.h"

namespace qv {
namespace {

namespace fs = std::filesystem;
using testing::ReadFile;
using testing::TempFolder;
using testing::WriteFile;
using Names = std::vector<std::string>;

TEST(IniAccess, PathsBlanksAndNumbers) {
  EXPECT_EQ(IniAccess::FormatPath("/data/", "a.ini"), "/data/a.ini");
  EXPECT_EQ(IniAccess::FormatPath("", "a.ini"), "/a.ini");
  EXPECT_EQ(IniAccess::FormatPath("C:\\Data\\", "a.ini"), "C:\\Data\\a.ini");
  EXPECT_EQ(IniAccess::TrimBlanks(" \t\r\n x y \x01\x1f "), "x y");
  EXPECT_EQ(IniAccess::TrimBlanks("\xC3\xA9 "), "\xC3\xA9");  // bytes above 127 are text

  const std::pair<const char*, std::optional<double>> cases[] = {
      {" -400 ", -400}, {"+3", 3},     {"1000,5", 1000.5}, {".5", 0.5},       {"1E+07", 1e7},
      {"", {}},         {"12abc", {}}, {"inf", {}},        {"nan", {}},       {"0x10", {}},
      {"1e999", {}},    {"-", {}},     {"1 2", {}},        {"1,000,000", {}},
  };
  for (const auto& [text, value] : cases) EXPECT_EQ(IniAccess::ParseNumber(text), value) << text;
}

TEST(IniAccess, ListsOfQuotedElements) {
  EXPECT_EQ(IniAccess::Array2String({"abc", "1,5", "x y"}, ",", 34), "\"abc\",\"1,5\",\"x y\"");
  EXPECT_EQ(IniAccess::Array2String({"-1.5", ""}, "; ", 39), "-1.5; ''");

  const std::tuple<const char*, const char*, Names> cases[] = {
      {",", "a,\"b,c\",d", {"a", "b,c", "d"}},
      {",", " a , b ,", {"a", "b", ""}},
      {",", "a,\"b", {"a", "\"b"}},  // an unclosed quote protects nothing
      {",", "\"a,b\"c,d", {"\"a,b\"c", "d"}},
      {"::", "a::b::\"c::d\"", {"a", "b", "c::d"}},
      {"", " whole text ", {"whole text"}}};
  for (const auto& [sep, text, expected] : cases) {
    Names elements{"stale", "stale"};
    IniAccess::String2Array(elements, sep, text, 34);
    EXPECT_EQ(elements, expected) << text;
  }
}

TEST(IniAccess, EmptyQuotedElementSurvivesBothWays) {
  Names elements;
  IniAccess::String2Array(elements, ",", "a,\"\",b", 34);
  EXPECT_EQ(elements, (Names{"a", "", "b"}));
  const std::string joined = IniAccess::Array2String(elements, ",", 34);
  EXPECT_EQ(joined, "\"a\",\"\",\"b\"");
  IniAccess::String2Array(elements, ",", joined, 34);
  EXPECT_EQ(elements, (Names{"a", "", "b"}));
}

TEST(IniAccess, LikePattern) {
  const std::tuple<const char*, const char*, bool> cases[] = {
      {"SETTINGS", "set*", true}, {"COMCTRL", "SET*", false}, {"Port1", "Port#", true},
      {"PortX", "Port#", false},  {"abc", "a?c", true},       {"ac", "a?c", false},
      {"abc", "a[a-c]c", true},   {"adc", "a[!a-c]c", true},  {"abc", "a[!a-c]c", false},
      {"a[c", "a[c", true},       {"abcabd", "*ab?", true},   {"", "*", true},
      {"aXbXd", "a*b*c", false},  {"x", "", false},
  };
  for (const auto& [text, pattern, match] : cases)
    EXPECT_EQ(LikePattern(text, pattern), match) << text << " " << pattern;
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
            "[Port1]\r\nBaud=  4800  \r\n; Parity=Odd\r\n\r\n  Stopbit = 1\r\n[ Port2 "
            "]\r\n[]\r\n[X]\r\n");
  EXPECT_EQ(ini.ReadEntry("Port1", "Baud", "38400"), "4800");
  EXPECT_EQ(ini.GetSections("*", names), 3);
  EXPECT_EQ(ini.GetSections("Port#", names), 2);
  EXPECT_EQ(names, (Names{"Port1", "Port2"}));
  EXPECT_EQ(ini.GetKeys("Port1", names), 2);
  EXPECT_EQ(names, (Names{"Baud", "Stopbit"}));

  ini.WriteEntry("port2", "Port", "COM2");
  ini.ClearSection("PORT1");
  ini.ClearSection("New");
  EXPECT_EQ(ReadFile(ini.IniFile()),
            "[Port1]\r\n; Parity=Odd\r\n\r\n[ Port2 ]\r\nPort=COM2\r\n[]\r\n[X]\r\n[New]\r\n");
  EXPECT_EQ(std::distance(fs::directory_iterator(folder.path), {}), 1);  // no temporary file left
}

TEST(IniAccess, CreateFolder) {
  TempFolder folder;
  sim::ScriptedView view;
  IniAccess ini(&view);
  EXPECT_TRUE(ini.CreateFolder(folder / "x/y/z/"));
  EXPECT_TRUE(ini.IsDirectory(folder / "x/y/z"));
  EXPECT_FALSE(ini.FileExists(folder / "x/y/z"));
  EXPECT_TRUE(ini.CreateFolder(folder / "x/y/z"));  // already there
  EXPECT_FALSE(ini.CreateFolder("relative-without-separator"));
  EXPECT_FALSE(fs::exists("relative-without-separator"));
  EXPECT_TRUE(view.boxes().empty());

  // A file in the way: one error-75 box naming the path asked for.
  WriteFile(folder / "file", "x");
  EXPECT_TRUE(ini.FileExists(folder / "file"));
  EXPECT_FALSE(ini.IsDirectory(folder / "file"));
  const std::string blocked = folder / "file/sub/deeper";
  EXPECT_FALSE(ini.CreateFolder(blocked));
  ASSERT_EQ(view.boxes().size(), 1u);
  EXPECT_EQ(view.boxes()[0].style, vbOKOnly);
  const std::string& prompt = view.boxes()[0].prompt;
  EXPECT_EQ(prompt.rfind("#75\r\n", 0), 0u) << prompt;
  EXPECT_EQ(prompt.substr(prompt.size() - blocked.size() - 2), "\r\n" + blocked);
  EXPECT_GT(prompt.size(), 5 + 2 + blocked.size());  // a description in between
  EXPECT_FALSE(IniAccess(nullptr).CreateFolder(blocked));
}

TEST(IniAccess, GetAppPathPrefersXdgDataHome) {
  TempFolder folder;
  const std::string home = folder / "home";
  const std::string data = folder / "data";
  fs::create_directory(home);
  fs::create_directory(data);
  WriteFile(folder / "file", "x");
  const std::tuple<std::map<std::string, std::string>, std::int32_t, std::string> cases[] = {
      {{{"XDG_DATA_HOME", data}, {"HOME", home}}, 28, data},
      {{{"XDG_DATA_HOME", data}}, 28 | CSIDL_FLAG_CREATE, data},
      {{{"HOME", home}}, 28, home + "/.local/share"},  // created when missing
      {{{"XDG_DATA_HOME", "relative"}, {"HOME", home}}, 28, home + "/.local/share"},
      {{{"XDG_DATA_HOME", folder / "file/x"}, {"APPDATA", "/appdata"}}, 28, "/appdata"},
      {{{"XDG_DATA_HOME", folder / "file/x"}, {"HOME", home}}, 28, home},
      {{{"APPDATA", "/appdata"}, {"HOME", home}}, 5, "/appdata"},  // unknown identifier
      {{}, 28, ""},
  };
  for (const auto& [variables, csidl, path] : cases) {
    const IniAccess ini(nullptr, [&](const std::string& name) -> std::optional<std::string> {
      const auto found = variables.find(name);
      if (found == variables.end()) return std::nullopt;
      return found->second;
    });
    EXPECT_EQ(ini.GetAppPath(csidl), path);
  }
  EXPECT_TRUE(fs::is_directory(home + "/.local/share"));
}

// A settings file that cannot be written whole is left exactly as it is, silently.
TEST(IniAccess, UnwritableFilesStayUntouched) {
  TempFolder folder;
  sim::ScriptedView view;
  const std::string big = "[COMCTRL]\nPort=COM2\n" + std::string(kProfileFileMax, ';') + "\n";
  const std::tuple<const char*, std::string, fs::perms> files[] = {
      {"readonly.ini", "[COMCTRL]\nPort=COM2\n", fs::perms::owner_read},
      {"huge.ini", big, fs::perms::owner_all},
      {"utf16.ini", std::string("\xFF\xFE[\0S\0]\0", 8), fs::perms::owner_all},
  };
  for (const auto& [name, content, mode] : files) {
    IniAccess ini(&view);
    ini.IniFile(folder / name);
    WriteFile(ini.IniFile(), content);
    fs::permissions(ini.IniFile(), mode);
    ini.WriteEntry("COMCTRL", "Port", "COM9");
    ini.ClearSection("COMCTRL");
    EXPECT_EQ(ReadFile(ini.IniFile()), content) << name;
  }
  IniAccess huge;  // its first megabyte still reads
  huge.IniFile(folder / "huge.ini");
  EXPECT_EQ(huge.ReadEntry("COMCTRL", "Port", "COM1"), "COM2");

  // A folder where the file should be, a missing folder, no path at all.
  fs::create_directory(folder / "dir.ini");
  for (const std::string& path : {folder / "dir.ini", folder / "missing/a.ini", std::string()}) {
    IniAccess ini(&view);
    ini.IniFile(path);
    ini.WriteEntry("COMCTRL", "Port", "COM9");
    EXPECT_EQ(ini.ReadEntry("COMCTRL", "Port", "COM1"), "COM1") << path;
  }
  EXPECT_TRUE(fs::is_empty(folder / "dir.ini"));
  EXPECT_FALSE(fs::exists(folder / "missing"));
  EXPECT_TRUE(view.boxes().empty());
}

TEST(IniAccess, WriteKeepsPermissionsAndLinks) {
  TempFolder folder;
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
  EXPECT_EQ(std::distance(fs::directory_iterator(folder.path), {}), 2);
}

TEST(ReadProfileFile, CapsWhatItReads) {
  TempFolder folder;
  using Status = ProfileFileRead::Status;
  for (const std::size_t size : {kProfileFileMax, kProfileFileMax + 1}) {
    WriteFile(folder / "a.ini", std::string(size, 'x'));
    const ProfileFileRead read = ReadProfileFile(folder / "a.ini");
    EXPECT_EQ(read.status, size > kProfileFileMax ? Status::TooLarge : Status::Ok) << size;
    EXPECT_EQ(read.text.size(), kProfileFileMax) << size;
  }
  EXPECT_EQ(ReadProfileFile("/dev/zero").status, Status::Unreadable);
}

}  // namespace
}  // namespace qv
