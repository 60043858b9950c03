#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "app/MlStringModule.h"

namespace qv {
namespace {

constexpr int kGerman = 0;
constexpr int kEnglish = 1000;
constexpr int kFrench = 2000;

std::set<int> GermanIds() {
  std::set<int> ids;
  const std::pair<int, int> ranges[] = {{1000, 1018}, {1100, 1103}, {1105, 1110}, {1117, 1118},
                                        {1126, 1126}, {1142, 1162}, {1164, 1240}};
  for (const auto& [first, last] : ranges) {
    for (int id = first; id <= last; ++id) ids.insert(id);
  }
  return ids;
}

const std::string* Lookup(int lang, int id) {
  return StringTableLookup(id + lang);
}

TEST(StringTable, HoldsExactlyTheListedIdsInEachLanguage) {
  const std::set<int> german = GermanIds();
  ASSERT_EQ(german.size(), 130u);
  std::set<int> present;
  for (int fullId = -10; fullId <= 6000; ++fullId) {
    if (StringTableLookup(fullId)) present.insert(fullId);
  }
  std::set<int> expected;
  for (int id : german) {
    expected.insert(id);
    expected.insert(id + kEnglish);
    if (id != 1219) expected.insert(id + kFrench);
  }
  EXPECT_EQ(present, expected);
  EXPECT_EQ(expected.size(), 130u + 130u + 129u);
  EXPECT_EQ(StringTableLookup(3219), nullptr);
  EXPECT_EQ(StringTableLookup(INT_MIN), nullptr);
  EXPECT_EQ(StringTableLookup(INT_MAX), nullptr);
}

TEST(StringTable, EnglishBlankAndGermanTextOfTheSameMessage) {
  ASSERT_NE(Lookup(kEnglish, 1219), nullptr);
  EXPECT_EQ(*Lookup(kEnglish, 1219), " ");
  ASSERT_NE(Lookup(kGerman, 1219), nullptr);
  EXPECT_EQ(*Lookup(kGerman, 1219), "die Datei gewechselt werden?");
}

struct Quoted {
  int id;
  const char* english;
};

// English texts exactly as the operator must see them, blanks and access keys included.
TEST(StringTable, EnglishTextsAreTheQuotedOnes) {
  const Quoted cases[] = {
      // menus, buttons, labels of the main window and the port dialog
      {1000, "&File"},
      {1016, "Inf&o "},
      {1101, "Select serial port"},
      {1106, "Baud 4800-->38400"},
      {1107, "Change baudrate: First station, then PC"},
      {1117, "Quorvex firmware loader"},
      {1146, "Port setting"},
      {1149, "N/A"},
      {1161, "Port is already opened. Close port and restart?"},
      {1209, "File:"},
      {1220, "&Commands"},
      {1234, "Attention! Backup memory will be erased during firmware upgrade!"},
      // station and line errors
      {1165, "Missing ETX in buffer on end of transmission"},
      {1168, "Wrong checksum in transmission block"},
      {1172, "Wrong program version"},
      {1175, "Data loss occured"},
      {1179, "Unexpected error occured while reading DCB"},
      {1184, "SThreshold char in output buffer detected"},
      {1185, "EOF char in output buffer detected"},
      // identification and version checks
      {1188, "Station responds with CRC error!"},
      {1193, "The loaded file is for version"},
      {1195, "The station has boot version "},
      {1215, "  the hardware version"},
      {1222, "Voltage too low ="},
      {1236, "the firmware cannot be used for this type of hardware!"},
      // transfer, files and the closing steps
      {1164, "Could not open port"},
      {1187, "Error in data transmission (NAK received)!"},
      {1196, "No valid update key. Must be at least 8 chars long."},
      {1206, " File not found"},
      {1228, "Click OK after station has beeped twice"},
      {1238, "Please select a folder containing the firmware images:"},
      {1240, "The station now has firmware: "},
      // clock, watchdogs, ports and help
      {1198, "PC time "},
      {1205, "Station not ready!"},
      {1207, "Time set: "},
      {1213, "Please retry the operation."},
      {1225,
       "At least one serial port on your computer has a port number that is higher than 16. Due to "
       "backward compatibility of Quorvex Boot, you will not be able to access these ports from "
       "within the program."},
      {1200, "Unable to show help file. File not found!"},
  };
  for (const Quoted& c : cases) {
    const std::string* text = Lookup(kEnglish, c.id);
    ASSERT_NE(text, nullptr) << c.id;
    EXPECT_EQ(*text, c.english) << c.id;
  }
}

bool IsValidUtf8(const std::string& text) {
  for (std::size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    const std::size_t length = lead < 0x80                   ? 1
                               : lead >= 0xC2 && lead < 0xE0 ? 2
                               : lead >= 0xE0 && lead < 0xF0 ? 3
                               : lead >= 0xF0 && lead < 0xF5 ? 4
                                                             : 0;
    if (length == 0 || i + length > text.size()) return false;
    for (std::size_t k = 1; k < length; ++k) {
      if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return false;
    }
    i += length;
  }
  return true;
}

std::size_t Count(const std::string& text, char c) {
  return static_cast<std::size_t>(std::count(text.begin(), text.end(), c));
}

struct Translation {
  const char* name;
  int lang;
  std::set<int> sameAsEnglish;  // words the language shares with English
  std::vector<std::string> ownLetters;
};

TEST(StringTable, TranslationsAreTheirOwnAndKeepBlanksAndAccessKeys) {
  const Translation translations[] = {
      {"German",
       kGerman,
       {1016, 1100, 1106, 1109, 1118, 1126, 1154, 1159, 1199},
       {"ä", "ö", "ü", "ß", "Ä", "Ö", "Ü"}},
      {"French",
       kFrench,
       {1016, 1106, 1108, 1118, 1148, 1152, 1154, 1160, 1199},
       {"é", "è", "ê", "à", "â", "ç", "É", "À"}},
  };
  for (const Translation& t : translations) {
    std::set<int> same;
    int withOwnLetters = 0;
    for (int id : GermanIds()) {
      const std::string* text = Lookup(t.lang, id);
      const std::string& english = *Lookup(kEnglish, id);
      if (!text) continue;
      EXPECT_FALSE(text->empty()) << t.name << ' ' << id;
      EXPECT_TRUE(IsValidUtf8(*text)) << t.name << ' ' << id;
      if (*text == english) same.insert(id);
      EXPECT_EQ(Count(*text, '&'), Count(english, '&')) << t.name << ' ' << id;
      // A blank-only English text is a placeholder, not a margin to keep.
      if (english.find_first_not_of(' ') != std::string::npos) {
        EXPECT_EQ(text->starts_with(' '), english.starts_with(' ')) << t.name << ' ' << id;
        EXPECT_TRUE(!english.ends_with(' ') || text->ends_with(' ')) << t.name << ' ' << id;
      }
      for (const std::string& letter : t.ownLetters) {
        if (text->find(letter) != std::string::npos) {
          ++withOwnLetters;
          break;
        }
      }
    }
    EXPECT_EQ(same, t.sameAsEnglish) << t.name;
    EXPECT_GE(withOwnLetters, 30) << t.name << " texts written without the language's letters";
  }
  for (int id : GermanIds()) EXPECT_TRUE(IsValidUtf8(*Lookup(kEnglish, id))) << id;
}

struct Fallback {
  int lang;
  int id;
  const char* fallback;
  const char* expected;  // nullptr: the German table text
};

TEST(GetMlString, GivesTheStoredTextOrTheFallback) {
  const char* kChange = "die Datei gewechselt werden?";
  const Fallback cases[] = {
      {kGerman, 1219, kChange, nullptr},
      {kEnglish, 1219, kChange, " "},
      {kFrench, 1219, kChange, kChange},
      {kFrench, 1219, "", ""},
      {kEnglish, 1205, "Station nicht bereit!", "Station not ready!"},
      {kGerman, 1300, "", ""},
      {kEnglish, 1300, "", ""},
      {kFrench, 1300, "", ""},
      {kGerman, 1300, "x", "x"},
      {kFrench, 1300, "x", "x"},
      {kEnglish, 1104, "x", "x"},
      {kEnglish, 1020, "", ""},
      {kEnglish, INT_MAX, "x", "x"},
      {kFrench, INT_MAX, "", ""},
      {kEnglish, INT_MIN, "x", "x"},
  };
  for (const Fallback& c : cases) {
    const std::string expected = c.expected ? c.expected : *StringTableLookup(c.id);
    EXPECT_EQ(GetMlString(c.lang, c.id, c.fallback), expected) << c.lang << ' ' << c.id;
  }
}

TEST(TextIdFields, IntegerOfWholeFieldAndNumberOfItsStart) {
  struct Case {
    const char* field;
    std::optional<int> integer;
    int number;
  };
  const Case cases[] = {
      {"1100", 1100, 1100},       {" 1209 ", 1209, 1209},
      {"+1000", 1000, 1000},      {"-5", -5, -5},
      {"", std::nullopt, 0},      {"   ", std::nullopt, 0},
      {"abc", std::nullopt, 0},   {"1100abc", std::nullopt, 1100},
      {"12.5", std::nullopt, 12}, {"x1100", std::nullopt, 0},
      {"+", std::nullopt, 0},     {"+-3", std::nullopt, 0},
      {"32767", 32767, 32767},    {"32768", std::nullopt, 0},
      {"-32768", -32768, -32768}, {"99999999999999", std::nullopt, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(IntegerOfId(c.field), c.integer) << '"' << c.field << '"';
    EXPECT_EQ(NumberOfId(c.field), c.number) << '"' << c.field << '"';
  }
}

}  // namespace
}  // namespace qv
