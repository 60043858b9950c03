#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <map>

#include "config/FakePlatform.h"
#include "config/IniAccess.h"
#include "config/ProfileFile.h"
#include "config/TempFolder.h"

namespace qv {
namespace {

namespace fs = std::filesystem;
using testing::ReadFile;
using testing::RecordingView;
using testing::TempFolder;
using testing::WriteFile;

IniAccess::Environment EnvironmentOf(std::map<std::string, std::string> variables) {
  return [variables](const std::string& name) -> std::optional<std::string> {
    const auto found = variables.find(name);
    if (found == variables.end()) return std::nullopt;
    return found->second;
  };
}

std::vector<std::string> FolderEntries(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

TEST(IniAccess, FormatPath) {
  const struct {
    const char* path;
    const char* file;
    const char* joined;
  } cases[] = {
      {"/data/", "a.ini", "/data/a.ini"},
      {"/data", "a.ini", "/data/a.ini"},
      {"", "a.ini", "/a.ini"},
      {"Quorvex", "QV-Boot", "Quorvex/QV-Boot"},
      {"C:\\Data\\", "a.ini", "C:\\Data\\a.ini"},  // a trailing "\" already separates
      {"C:\\Data", "a.ini", "C:\\Data/a.ini"},
  };
  for (const auto& c : cases) EXPECT_EQ(IniAccess::FormatPath(c.path, c.file), c.joined);
}

TEST(IniAccess, TrimBlanksAndNumbers) {
  EXPECT_EQ(IniAccess::TrimBlanks(" \t\r\n x y \x01\x1f "), "x y");
  EXPECT_EQ(IniAccess::TrimBlanks("\t \n"), "");
  EXPECT_EQ(IniAccess::TrimBlanks("\xC3\xA9 "), "\xC3\xA9");  // bytes above 127 are text

  const struct {
    const char* text;
    std::optional<double> value;
  } cases[] = {
      {"12", 12},  {" -400 ", -400}, {"+3", 3},    {"1000.5", 1000.5}, {"1000,5", 1000.5},
      {".5", 0.5}, {"1E+07", 1e7},   {"", {}},     {"abc", {}},        {"12abc", {}},
      {"inf", {}}, {"nan", {}},      {"0x10", {}}, {"1,000,000", {}},  {"1e999", {}},
      {"-", {}},   {"1 2", {}},
  };
  for (const auto& c : cases) EXPECT_EQ(IniAccess::ParseNumber(c.text), c.value) << c.text;
}

TEST(IniAccess, Array2String) {
  EXPECT_EQ(IniAccess::Array2String({"abc", "12", "x y"}, ",", 34), "\"abc\",12,\"x y\"");
  EXPECT_EQ(IniAccess::Array2String({"-1.5", ""}, "; ", 39), "-1.5; ''");
  EXPECT_EQ(IniAccess::Array2String({"a"}, ",", 0), "a");
  EXPECT_EQ(IniAccess::Array2String({"1,5", "2"}, ",", 34), "\"1,5\",2");
  EXPECT_EQ(IniAccess::Array2String({}, ",", 34), "");
}

TEST(IniAccess, String2Array) {
  const struct {
    const char* sep;
    const char* text;
    std::vector<std::string> elements;
  } cases[] = {
      {",", "a,\"b,c\",d", {"a", "b,c", "d"}},
      {",", "", {""}},
      {",", " a , b ", {"a", "b"}},
      {",", "a,", {"a", ""}},
      {",", ",", {"", ""}},
      {",", "\"x\"", {"x"}},
      {",", "\"", {"\""}},
      {",", "a,\"b", {"a", "\"b"}},  // an unclosed quote protects nothing
      {",", "\"a,b\"c,d", {"\"a,b\"c", "d"}},
      {"::", "a::b::\"c::d\"", {"a", "b", "c::d"}},
      {"", " whole text ", {"whole text"}},
  };
  for (const auto& c : cases) {
    std::vector<std::string> elements{"stale", "stale"};
    IniAccess::String2Array(elements, c.sep, c.text, 34);
    EXPECT_EQ(elements, c.elements) << c.text;
  }
  // Round trip through Array2String.
  std::vector<std::string> back;
  IniAccess::String2Array(back, ",", IniAccess::Array2String({"a,b", "7", "1,5"}, ",", 34), 34);
  EXPECT_EQ(back, (std::vector<std::string>{"a,b", "7", "1,5"}));
}

TEST(IniAccess, LikePattern) {
  const struct {
    const char* text;
    const char* pattern;
    bool match;
  } cases[] = {
      {"SETTINGS", "*", true},    {"SETTINGS", "SET*", true},
      {"SETTINGS", "set*", true}, {"COMCTRL", "SET*", false},
      {"Port1", "Port#", true},   {"PortX", "Port#", false},
      {"abc", "a?c", true},       {"ac", "a?c", false},
      {"abc", "a[a-c]c", true},   {"adc", "a[!a-c]c", true},
      {"abc", "a[!a-c]c", false}, {"a[c", "a[c", true},
      {"abcabd", "*ab?", true},   {"", "*", true},
      {"", "?", false},           {"aXbXc", "a*b*c", true},
      {"aXbXd", "a*b*c", false},  {"x", "", false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(LikePattern(c.text, c.pattern), c.match) << c.text << " " << c.pattern;
}

TEST(IniAccess, ReadAndWriteEntries) {
  TempFolder folder;
  IniAccess ini;
  ini.IniFile(folder / "a.ini");
  EXPECT_EQ(ini.IniFile(), folder / "a.ini");
  EXPECT_EQ(ini.ReadEntry("COMCTRL", "Port", "COM1"), "COM1");  // no file yet
  EXPECT_EQ(ini.ReadEntry("COMCTRL", "Port", "  COM1 "), "COM1");

  WriteFile(ini.IniFile(), "[COMCTRL]\r\nBaud=  4800  \r\n");
  EXPECT_EQ(ini.ReadEntry("COMCTRL", "Baud", "38400"), "4800");
  EXPECT_EQ(ini.ReadEntry("COMCTRL", "Port", "COM1"), "COM1");

  ini.WriteEntry("COMCTRL", "Port", std::string(300, 'p'));
  EXPECT_EQ(ini.ReadEntry("COMCTRL", "Port", ""), std::string(259, 'p'));
  EXPECT_EQ(ReadFile(ini.IniFile()),
            "[COMCTRL]\r\nBaud=  4800  \r\nPort=" + std::string(259, 'p') + "\r\n");
  EXPECT_EQ(FolderEntries(folder.path()), std::vector<std::string>{"a.ini"});  // no temp file left

  ini.ClearSection("COMCTRL");
  EXPECT_EQ(ReadFile(ini.IniFile()), "[COMCTRL]\r\n");
}

TEST(IniAccess, SectionsAndKeysFromFile) {
  TempFolder folder;
  IniAccess ini;
  ini.IniFile(folder / "a.ini");
  std::vector<std::string> names{"stale"};
  EXPECT_EQ(ini.GetSections("*", names), 0);  // no file
  EXPECT_TRUE(names.empty());
  EXPECT_EQ(ini.GetKeys("S", names), 0);

  WriteFile(ini.IniFile(),
            "[Port1]\nBaud=4800\n; Parity=Odd\n\n  Stopbit = 1\n[Port2]\nBaud=38400\n[Other]\n");
  EXPECT_EQ(ini.GetSections("Port#", names), 2);
  EXPECT_EQ(names, (std::vector<std::string>{"Port1", "Port2"}));
  EXPECT_EQ(ini.GetSections("*", names), 3);
  EXPECT_EQ(ini.GetKeys("Port1", names), 2);
  EXPECT_EQ(names, (std::vector<std::string>{"Baud", "Stopbit"}));
  EXPECT_EQ(ini.GetKeys("Missing", names), 0);
}

TEST(IniAccess, FilesAndFolders) {
  TempFolder folder;
  IniAccess ini;
  WriteFile(folder / "file", "x");
  EXPECT_TRUE(ini.FileExists(folder / "file"));
  EXPECT_FALSE(ini.FileExists(folder.path()));
  EXPECT_FALSE(ini.FileExists(folder / "missing"));
  EXPECT_FALSE(ini.FileExists(""));
  EXPECT_TRUE(ini.IsDirectory(folder.path()));
  EXPECT_FALSE(ini.IsDirectory(folder / "file"));
  EXPECT_FALSE(ini.IsDirectory(""));
}

TEST(IniAccess, CreateFolder) {
  TempFolder folder;
  RecordingView view;
  IniAccess ini(&view);

  ASSERT_TRUE(fs::create_directory(folder / "a"));
  EXPECT_TRUE(ini.CreateFolder(folder / "a/b"));  // only the last is missing
  EXPECT_TRUE(ini.IsDirectory(folder / "a/b"));
  EXPECT_TRUE(ini.CreateFolder(folder / "x/y/z/"));
  EXPECT_TRUE(ini.IsDirectory(folder / "x/y/z"));
  EXPECT_TRUE(ini.CreateFolder(folder / "x/y/z"));  // already there
  EXPECT_FALSE(ini.CreateFolder("relative-without-separator"));
  EXPECT_FALSE(fs::exists("relative-without-separator"));
  EXPECT_TRUE(view.boxes.empty());

  // A file in the way: one error-75 box naming the path asked for.
  WriteFile(folder / "file", "x");
  const std::string blocked = folder / "file/sub/deeper";
  EXPECT_FALSE(ini.CreateFolder(blocked));
  ASSERT_EQ(view.boxes.size(), 1u);
  EXPECT_EQ(view.boxes[0].style, vbOKOnly);
  const std::string& prompt = view.boxes[0].prompt;
  EXPECT_EQ(prompt.rfind("#75\r\n", 0), 0u) << prompt;
  EXPECT_EQ(prompt.substr(prompt.size() - blocked.size() - 2), "\r\n" + blocked);
  EXPECT_GT(prompt.size(), 5 + 2 + blocked.size());  // a description in between

  IniAccess silent(nullptr);
  EXPECT_FALSE(silent.CreateFolder(blocked));
}

TEST(IniAccess, GetAppPathPrefersXdgDataHome) {
  TempFolder folder;
  const std::string home = folder / "home";
  fs::create_directory(home);
  fs::create_directory(folder / "data");
  const struct {
    std::map<std::string, std::string> environment;
    std::int32_t csidl;
    std::string path;
  } cases[] = {
      {{{"XDG_DATA_HOME", folder / "data"}, {"HOME", home}}, 28, folder / "data"},
      {{{"XDG_DATA_HOME", folder / "data"}}, 28 | CSIDL_FLAG_CREATE, folder / "data"},
      {{{"HOME", home}}, 28, home + "/.local/share"},  // created when missing
      {{{"XDG_DATA_HOME", "relative"}, {"HOME", home}}, 28, home + "/.local/share"},
      {{{"XDG_DATA_HOME", folder / "file/x"}, {"APPDATA", "/appdata"}, {"HOME", home}},
       28,
       "/appdata"},
      {{{"XDG_DATA_HOME", folder / "file/x"}, {"HOME", home}}, 28, home},
      {{{"APPDATA", "/appdata"}, {"HOME", home}}, 5, "/appdata"},  // unknown identifier
      {{}, 28, ""},
  };
  WriteFile(folder / "file", "x");
  for (const auto& c : cases) {
    const IniAccess ini(nullptr, EnvironmentOf(c.environment));
    EXPECT_EQ(ini.GetAppPath(c.csidl), c.path);
  }
  EXPECT_TRUE(fs::is_directory(home + "/.local/share"));
}

// A settings file that cannot be written whole is left exactly as it is.
TEST(IniAccess, UnwritableFilesStayUntouched) {
  TempFolder folder;
  const std::string big = "[COMCTRL]\nPort=COM2\n" + std::string(kProfileFileMax, ';') + "\n";
  const std::string utf16("\xFF\xFE[\0S\0]\0", 8);
  const struct {
    const char* name;
    std::string content;
    mode_t mode;
  } files[] = {
      {"readonly.ini", "[COMCTRL]\nPort=COM2\n", 0444},
      {"huge.ini", big, 0644},
      {"utf16.ini", utf16, 0644},
  };
  for (const auto& f : files) {
    IniAccess ini;
    ini.IniFile(folder / f.name);
    WriteFile(ini.IniFile(), f.content);
    ASSERT_EQ(::chmod(ini.IniFile().c_str(), f.mode), 0);
    ini.WriteEntry("COMCTRL", "Port", "COM9");
    ini.ClearSection("COMCTRL");
    EXPECT_EQ(ReadFile(ini.IniFile()), f.content) << f.name;
  }
  // The first megabyte of a huge file still reads.
  IniAccess huge;
  huge.IniFile(folder / "huge.ini");
  EXPECT_EQ(huge.ReadEntry("COMCTRL", "Port", "COM1"), "COM2");

  // A folder where the file should be, a missing folder, no path at all.
  for (const std::string& path : {folder / "dir.ini", folder / "missing/a.ini", std::string()}) {
    fs::create_directory(folder / "dir.ini");
    IniAccess ini;
    ini.IniFile(path);
    ini.WriteEntry("COMCTRL", "Port", "COM9");
    EXPECT_EQ(ini.ReadEntry("COMCTRL", "Port", "COM1"), "COM1") << path;
  }
  EXPECT_TRUE(fs::is_directory(folder / "dir.ini"));
  EXPECT_FALSE(fs::exists(folder / "missing"));
}

TEST(IniAccess, WriteKeepsPermissionsAndLinks) {
  TempFolder folder;
  WriteFile(folder / "real.ini", "[S]\nk=1\n");
  ASSERT_EQ(::chmod((folder / "real.ini").c_str(), 0640), 0);
  fs::create_symlink("real.ini", folder / "link.ini");

  IniAccess ini;
  ini.IniFile(folder / "link.ini");
  ini.WriteEntry("S", "k", "2");
  EXPECT_TRUE(fs::is_symlink(folder / "link.ini"));
  EXPECT_EQ(ReadFile(folder / "real.ini"), "[S]\nk=2\n");
  struct stat info {};
  ASSERT_EQ(::stat((folder / "real.ini").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0640u);
  EXPECT_EQ(FolderEntries(folder.path()), (std::vector<std::string>{"link.ini", "real.ini"}));
}

}  // namespace
}  // namespace qv

namespace qv {
namespace {

TEST(ReadProfileFile, CapsWhatItReads) {
  testing::TempFolder folder;
  using Status = ProfileFileRead::Status;
  const struct {
    std::size_t size;
    Status status;
    std::size_t kept;
  } cases[] = {{0, Status::Ok, 0},
               {kProfileFileMax, Status::Ok, kProfileFileMax},
               {kProfileFileMax + 1, Status::TooLarge, kProfileFileMax},
               {3 * kProfileFileMax, Status::TooLarge, kProfileFileMax}};
  for (const auto& c : cases) {
    testing::WriteFile(folder / "a.ini", std::string(c.size, 'x'));
    const ProfileFileRead read = ReadProfileFile(folder / "a.ini");
    EXPECT_EQ(read.status, c.status) << c.size;
    EXPECT_EQ(read.text.size(), c.kept) << c.size;
  }
  EXPECT_EQ(ReadProfileFile(folder / "missing").status, Status::Missing);
  EXPECT_EQ(ReadProfileFile(folder.path()).status, Status::Unreadable);
  EXPECT_EQ(ReadProfileFile("/dev/zero").status, Status::Unreadable);
}

}  // namespace
}  // namespace qv
