#include <gtest/gtest.h>

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

std::string WithLineBreak(const std::string& text, const std::string& eol) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text.compare(i, 2, "\r\n") == 0) {
      out += eol;
      ++i;
    } else {
      out += text[i];
    }
  }
  return out;
}

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
  const std::size_t at = text.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  if (at != std::string::npos) text.replace(at, from.size(), to);
  return text;
}

TEST(ProfileText, ReadsWindowsWrittenFileInBothLineBreakStyles) {
  const struct {
    const char* section;
    const char* key;
    std::optional<std::string> value;
  } cases[] = {
      {"SETTINGS", "MainLeft", "1200"},
      {"settings", "MAINTOP", "800"},
      {"SETTINGS", "InitDir", "C:\\Quorvex\\KVX7_public"},
      {"SETTINGS", "InitLang", "2000"},
      {"COMCTRL", "Port", "COM3"},
      {"COMCTRL", "Baud", "38400"},
      {"COMCTRL", "Stopbit", "1.5"},
      {"COMCTRL", "Parity", std::nullopt},
      {"SETTINGS", "Port", std::nullopt},  // keys belong to their own section
      {"MISSING", "Port", std::nullopt},
      {"SETTINGS", "; the language follows", std::nullopt},
  };
  for (const std::string& eol : {std::string("\r\n"), std::string("\n")}) {
    const ProfileText text(WithLineBreak(kWindowsIni, eol));
    for (const auto& c : cases) {
      EXPECT_EQ(text.Get(c.section, c.key), c.value)
          << c.section << "/" << c.key << " eol " << eol.size();
    }
  }
}

TEST(ProfileText, WriteChangesOnlyItsLineAndKeepsLineBreakStyle) {
  const struct {
    const char* section;
    const char* key;
    const char* value;
    const char* from;  // the text the write changes ...
    const char* to;    // ... and what it becomes
  } cases[] = {
      {"SETTINGS", "MainLeft", "1000", "mainleft = 1200\r\n", "mainleft = 1000\r\n"},
      {"settings", "MAINTOP", "-400", "MainTop=  \"800\"  \r\n", "MainTop=  -400\r\n"},
      {"COMCTRL", "Baud", "4800", "\tBaud\t=\t38400\r\n", "\tBaud\t=\t4800\r\n"},
      {"COMCTRL", "Stopbit", "2", "Stopbit=\"1.5\"\r\n", "Stopbit=2\r\n"},
      {"COMCTRL", "Port", "", "PORT = COM3\r\n", "PORT = \r\n"},
      // New keys go after the section's last entry, before blank lines.
      {"SETTINGS", "ForceLoad", "False", "InitLang =2000\r\n",
       "InitLang =2000\r\nForceLoad=False\r\n"},
      {"COMCTRL", "Parity", "Even", "Stopbit=\"1.5\"\r\n", "Stopbit=\"1.5\"\r\nParity=Even\r\n"},
      {"NEW", "Key", "v", "Stopbit=\"1.5\"\r\n", "Stopbit=\"1.5\"\r\n[NEW]\r\nKey=v\r\n"},
  };
  for (const std::string& eol : {std::string("\r\n"), std::string("\n")}) {
    for (const auto& c : cases) {
      ProfileText text(WithLineBreak(kWindowsIni, eol));
      ASSERT_TRUE(text.Set(c.section, c.key, c.value)) << c.key;
      EXPECT_EQ(text.Text(), WithLineBreak(Replaced(kWindowsIni, c.from, c.to), eol))
          << c.section << "/" << c.key << " eol " << eol.size();
      EXPECT_EQ(text.Get(c.section, c.key), c.value);
    }
  }
}

TEST(ProfileText, WritesIntoFilesOfAnyShape) {
  const struct {
    const char* before;
    const char* after;
  } cases[] = {
      {"", "[S]\nk=v\n"},
      {"[S]", "[S]\nk=v\n"},
      {"[S]\r\nx=1", "[S]\r\nx=1\r\nk=v\r\n"},
      {"[T]\nx=1", "[T]\nx=1\n[S]\nk=v\n"},
      {"\xEF\xBB\xBF[s]\r\nK = old\r\n", "\xEF\xBB\xBF[s]\r\nK = v\r\n"},
      {"[S]\n; k=comment\nk=1\nk=2\n", "[S]\n; k=comment\nk=v\nk=2\n"},  // first one wins
      {"[S]\nk=1\n[S]\nk=2\n", "[S]\nk=v\n[S]\nk=2\n"},
      {"k=top\n[S]\n", "k=top\n[S]\nk=v\n"},  // lines before any section belong to none
      {"[S] ; note [x]\nk=1\n", "[S] ; note [x]\nk=v\n"},
      {"[S]\ngarbage line\n", "[S]\nk=v\ngarbage line\n"},
  };
  for (const auto& c : cases) {
    ProfileText text(c.before);
    ASSERT_TRUE(text.Set("S", "k", "v")) << c.before;
    EXPECT_EQ(text.Text(), c.after) << c.before;
    EXPECT_EQ(ProfileText(text.Text()).Get("S", "k"), "v") << c.before;
  }
}

TEST(ProfileText, ValueForms) {
  const struct {
    const char* line;
    const char* value;
  } cases[] = {
      {"k=  4800  ", "4800"}, {"k=\"a b\"", "a b"}, {"k='a b'", "a b"}, {"k=\"abc'", "\"abc'"},
      {"k=\"\"", ""},         {"k=\"", "\""},       {"k=", ""},         {"k=a=b", "a=b"},
      {"k = \" x \"", " x "}, {"K\t=\tTab", "Tab"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ProfileText(std::string("[S]\n") + c.line + "\n").Get("S", "k"), c.value) << c.line;
  }
}

TEST(ProfileText, ValuesHoldAtMost259BytesAndEndAtNul) {
  ProfileText text;
  ASSERT_TRUE(text.Set("S", "long", std::string(300, 'x')));
  EXPECT_EQ(text.Get("S", "long"), std::string(259, 'x'));

  // A character is never split: 258 ASCII bytes and a two-byte "é".
  ASSERT_TRUE(text.Set("S", "utf8", std::string(258, 'a') + "\xC3\xA9"));
  EXPECT_EQ(text.Get("S", "utf8"), std::string(258, 'a'));

  const ProfileText stored("[S]\nk=" + std::string(400, 'y') + "\n");
  EXPECT_EQ(stored.Get("S", "k"), std::string(259, 'y'));

  ASSERT_TRUE(text.Set("S", "nul", std::string("ab\0cd", 5)));
  EXPECT_EQ(text.Get("S", "nul"), "ab");
  EXPECT_EQ(ProfileText(std::string("[S]\nk=ab\0cd\n", 12)).Get("S", "k"), "ab");
}

TEST(ProfileText, RefusesWhatCannotStandOnOneLine) {
  const struct {
    std::string section, key, value;
  } cases[] = {
      {"S", "k", "a\r\nb"}, {"S", "k", "C:/x\n[COMCTRL]\nPort=COM9"},
      {"S", "a=b", "v"},    {"S", "", "v"},
      {"S", " k", "v"},     {"S", ";k", "v"},
      {"S", "[k", "v"},     {"a]b", "k", "v"},
      {"", "k", "v"},       {"S\n", "k", "v"},
  };
  for (const auto& c : cases) {
    ProfileText text(kWindowsIni);
    EXPECT_FALSE(text.Set(c.section, c.key, c.value)) << c.section << "/" << c.key;
    EXPECT_EQ(text.Text(), kWindowsIni);
  }
}

TEST(ProfileText, ClearSectionRemovesEntriesOnly) {
  ProfileText text(kWindowsIni);
  ASSERT_TRUE(text.ClearSection("settings"));
  EXPECT_EQ(text.Text(),
            "; QV-Boot settings\r\n[Settings]\r\n  ; the language follows\r\n\r\n"
            "[ comctrl ]\r\nPORT = COM3\r\n\tBaud\t=\t38400\r\nStopbit=\"1.5\"\r\n");
  EXPECT_TRUE(text.Keys("SETTINGS").empty());

  ProfileText empty;
  ASSERT_TRUE(empty.ClearSection("S"));
  EXPECT_EQ(empty.Text(), "[S]\n");
}

TEST(ProfileText, SectionAndKeyLists) {
  const ProfileText text(kWindowsIni + "[]\r\n[Extra]\r\n");
  EXPECT_EQ(text.SectionNames(), (std::vector<std::string>{"Settings", "comctrl", "Extra"}));
  EXPECT_EQ(text.Keys("SETTINGS"),
            (std::vector<std::string>{"mainleft", "MainTop", "InitDir", "InitLang"}));
  EXPECT_EQ(text.Keys("Comctrl"), (std::vector<std::string>{"PORT", "Baud", "Stopbit"}));
  EXPECT_TRUE(text.Keys("Extra").empty());
  EXPECT_TRUE(text.Keys("Missing").empty());
}

TEST(ProfileText, TextIsKeptByteForByte) {
  const std::string odd = std::string("\xEF\xBB\xBF[S]\r\nk=1\n\r\nbin\0ary\xFF\r\n  \t\n", 28);
  EXPECT_EQ(ProfileText(odd).Text(), odd);
  EXPECT_EQ(ProfileText(kWindowsIni).Text(), kWindowsIni);
}

}  // namespace
}  // namespace qv
