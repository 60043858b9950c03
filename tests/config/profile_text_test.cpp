#include <gtest/gtest.h>

#include <cstring>
#include <tuple>

#include "config/ProfileText.h"

namespace qv {
namespace {

// As a Windows program and a person with Notepad leave it: CRLF, keys in
// other case, quotes, comments, blanks around "=", no blank line at the end.
const std::string kWindowsIni =
    "; QV-Boot settings\r\n"
    "[Settings]\r\n"
    "mainleft = 1200\r\n"
    "MainTop=  \"800\"  \r\n"
    "InitDir='C:\\Quorvex\\KVX7_public'\r\n"
    "  ; the language follows\r\n"
    "InitLang =2000\r\n"
    "\r\n"
    "[ comctrl ]\r\n"
    "PORT = COM3\r\n"
    "\tBaud\t=\t38400\r\n"
    "Stopbit=\"1.5\"\r\n";

std::string InStyle(std::string text, bool crlf) {
  if (!crlf) std::erase(text, '\r');
  return text;
}

TEST(ProfileText, ReadsWindowsWrittenFileInBothLineBreakStyles) {
  const std::tuple<const char*, const char*, std::optional<std::string>> cases[] = {
      {"SETTINGS", "MainLeft", "1200"},
      {"settings", "MAINTOP", "800"},
      {"SETTINGS", "InitDir", "C:\\Quorvex\\KVX7_public"},
      {"SETTINGS", "InitLang", "2000"},
      {"COMCTRL", "Baud", "38400"},
      {"COMCTRL", "Stopbit", "1.5"},
      {"COMCTRL", "Parity", std::nullopt},
      {"SETTINGS", "Port", std::nullopt},  // keys belong to their own section
      {"SETTINGS", "; the language follows", std::nullopt},
  };
  for (const bool crlf : {true, false}) {
    const ProfileText text(InStyle(kWindowsIni, crlf));
    EXPECT_EQ(text.Text(), InStyle(kWindowsIni, crlf));
    for (const auto& [section, key, value] : cases)
      EXPECT_EQ(text.Get(section, key), value) << section << "/" << key << " " << crlf;
  }
  const std::string odd = std::string("\xEF\xBB\xBF[S]\r\nk=1\n\r\nbin\0ary\xFF\r\n  \t\n", 28);
  EXPECT_EQ(ProfileText(odd).Text(), odd);
}

TEST(ProfileText, WriteChangesOnlyItsLineAndKeepsLineBreakStyle) {
  // Section, key, value; the text the write changes and what it becomes.
  const std::tuple<const char*, const char*, const char*, const char*, const char*> cases[] = {
      {"settings", "MAINTOP", "-400", "MainTop=  \"800\"  \r\n", "MainTop=  -400\r\n"},
      {"COMCTRL", "Baud", "4800", "\tBaud\t=\t38400\r\n", "\tBaud\t=\t4800\r\n"},
      {"COMCTRL", "Port", "", "PORT = COM3\r\n", "PORT = \r\n"},
      // New keys go after the section's last entry, before blank lines.
      {"SETTINGS", "ForceLoad", "False", "InitLang =2000\r\n",
       "InitLang =2000\r\nForceLoad=False\r\n"},
      {"NEW", "Key", "v", "Stopbit=\"1.5\"\r\n", "Stopbit=\"1.5\"\r\n[NEW]\r\nKey=v\r\n"},
  };
  for (const bool crlf : {true, false}) {
    for (const auto& [section, key, value, from, to] : cases) {
      ProfileText text(InStyle(kWindowsIni, crlf));
      ASSERT_TRUE(text.Set(section, key, value)) << key;
      std::string expected = kWindowsIni;
      expected.replace(expected.find(from), std::strlen(from), to);
      EXPECT_EQ(text.Text(), InStyle(expected, crlf)) << section << "/" << key << " " << crlf;
    }
  }
}

TEST(ProfileText, WritesIntoFilesOfAnyShape) {
  const std::pair<const char*, const char*> cases[] = {
      {"", "[S]\nk=v\n"},
      {"[S]\r\nx=1", "[S]\r\nx=1\r\nk=v\r\n"},
      {"[T]\nx=1", "[T]\nx=1\n[S]\nk=v\n"},
      {"\xEF\xBB\xBF[s]\r\nK = old\r\n", "\xEF\xBB\xBF[s]\r\nK = v\r\n"},
      {"[S]\n; k=comment\nk=1\nk=2\n", "[S]\n; k=comment\nk=v\nk=2\n"},  // first one wins
      {"[S]\nk=1\n[S]\nk=2\n", "[S]\nk=v\n[S]\nk=2\n"},
      {"k=top\n[S]\n", "k=top\n[S]\nk=v\n"},  // lines before any section belong to none
      {"[S] ; note [x]\nk=1\n", "[S] ; note [x]\nk=v\n"},
      {"[S]\ngarbage line\n", "[S]\nk=v\ngarbage line\n"},
  };
  for (const auto& [before, after] : cases) {
    ProfileText text(before);
    ASSERT_TRUE(text.Set("S", "k", "v")) << before;
    EXPECT_EQ(text.Text(), after) << before;
    EXPECT_EQ(ProfileText(text.Text()).Get("S", "k"), "v") << before;
  }
}

TEST(ProfileText, ValueForms) {
  const std::pair<const char*, const char*> cases[] = {
      {"k=\"a b\"", "a b"}, {"k='a b'", "a b"}, {"k=\"abc'", "\"abc'"},
      {"k=\"", "\""},       {"k=a=b", "a=b"},   {"k = \" x \"", " x "}};
  for (const auto& [line, value] : cases)
    EXPECT_EQ(ProfileText(std::string("[S]\n") + line + "\n").Get("S", "k"), value);
  EXPECT_EQ(ProfileText("[S]\nk=" + std::string(400, 'y')).Get("S", "k"), std::string(259, 'y'));
  EXPECT_EQ(ProfileText(std::string("[S]\nk=ab\0cd", 10)).Get("S", "k"), "ab");

  // What is written holds at most 259 characters (not bytes), never splits
  // one and ends at NUL.
  std::string accented;
  for (int i = 0; i < 300; ++i) accented += "\xC3\xA9";
  EXPECT_EQ(ProfileText("[S]\nk=" + accented).Get("S", "k"), accented.substr(0, 2 * 259));
  ProfileText text;
  ASSERT_TRUE(text.Set("S", "long", std::string(300, 'x')));
  ASSERT_TRUE(text.Set("S", "utf8", std::string(257, 'a') + "\xC3\xA9\xF0\x9F\x99\x82!"));
  ASSERT_TRUE(text.Set("S", "accented", accented));
  ASSERT_TRUE(text.Set("S", "nul", std::string("ab\0cd", 5)));
  EXPECT_EQ(text.Text(), "[S]\nlong=" + std::string(259, 'x') + "\nutf8=" + std::string(257, 'a') +
                             "\xC3\xA9\xF0\x9F\x99\x82\naccented=" + accented.substr(0, 2 * 259) +
                             "\nnul=ab\n");
}

TEST(ProfileText, RefusesWhatCannotStandOnOneLine) {
  const std::tuple<const char*, const char*, const char*> cases[] = {
      {"S", "k", "a\rb"}, {"S", "a=b", "v"},
      {"S", "", "v"},     {"S", " k", "v"},
      {"S", ";k", "v"},   {"S", "[k", "v"},
      {"a]b", "k", "v"},  {"", "k", "v"},
      {"S\n", "k", "v"},  {"S", "k", "C:/x\n[COMCTRL]\nPort=COM9"}};
  for (const auto& [section, key, value] : cases) {
    ProfileText text(kWindowsIni);
    EXPECT_FALSE(text.Set(section, key, value)) << section << "/" << key;
    EXPECT_EQ(text.Text(), kWindowsIni);
  }
}

}  // namespace
}  // namespace qv
