#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <optional>
#include <set>
#include <string>
#include <tuple>
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

TEST(StringTable, HoldsExactlyTheListedIdsInEachLanguage) {
  std::set<int> present;
  for (int fullId = -10; fullId <= 6000; ++fullId) {
    if (StringTableLookup(fullId)) present.insert(fullId);
  }
  std::set<int> expected;
  for (int id : GermanIds()) {
    expected.insert(id);
    expected.insert(id + kEnglish);
    if (id != 1219) expected.insert(id + kFrench);
  }
  EXPECT_EQ(expected.size(), 130u + 130u + 129u);
  EXPECT_EQ(present, expected);
  EXPECT_EQ(StringTableLookup(INT_MIN), nullptr);
  EXPECT_EQ(StringTableLookup(INT_MAX), nullptr);
}

// English texts exactly as the operator must see them, blanks and access keys included.
TEST(StringTable, EnglishTextsAreTheQuotedOnes) {
  const std::pair<int, const char*> cases[] = {
      {1000, "&File"},
      {1016, "Inf&o "},
      {1106, "Baud 4800-->38400"},
      {1117, "Quorvex firmware loader"},
      {1195, "The station has boot version "},
      {1215, "  the hardware version"},
      {1206, " File not found"},
      {1219, " "},
      {1234, "Attention! Backup memory will be erased during firmware upgrade!"},
  };
  for (const auto& [id, english] : cases) {
    const std::string* text = StringTableLookup(kEnglish + id);
    ASSERT_NE(text, nullptr) << id;
    EXPECT_EQ(*text, english) << id;
  }
}

TEST(StringTable, TranslationsAreTheirOwnAndKeepBlanksAndAccessKeys) {
  const struct {
    const char* name;
    int lang;
    std::set<int> sameAsEnglish;  // words the language shares with English
    std::vector<std::string> ownLetters;
  } translations[] = {
      {"German",
       kGerman,
       {1016, 1100, 1106, 1109, 1118, 1126, 1154, 1159, 1199},
       {"ä", "ö", "ü", "ß", "Ä", "Ö", "Ü"}},
      {"French",
       kFrench,
       {1016, 1106, 1108, 1118, 1148, 1152, 1154, 1160, 1199},
       {"é", "è", "ê", "à", "â", "ç", "É", "À"}},
  };
  for (const auto& t : translations) {
    std::set<int> same;
    int withOwnLetters = 0;
    for (int id : GermanIds()) {
      const std::string* text = StringTableLookup(t.lang + id);
      if (!text) continue;
      const std::string& english = *StringTableLookup(kEnglish + id);
      EXPECT_FALSE(text->empty()) << t.name << ' ' << id;
      if (*text == english) same.insert(id);
      EXPECT_EQ(std::ranges::count(*text, '&'), std::ranges::count(english, '&'))
          << t.name << ' ' << id;
      // A blank-only English text is a placeholder, not a margin to keep.
      if (english.find_first_not_of(' ') != std::string::npos) {
        EXPECT_EQ(text->starts_with(' '), english.starts_with(' ')) << t.name << ' ' << id;
        EXPECT_TRUE(!english.ends_with(' ') || text->ends_with(' ')) << t.name << ' ' << id;
      }
      withOwnLetters += std::ranges::any_of(t.ownLetters, [&](const std::string& letter) {
        return text->find(letter) != std::string::npos;
      });
    }
    EXPECT_EQ(same, t.sameAsEnglish) << t.name;
    EXPECT_GE(withOwnLetters, 30) << t.name << " texts written without the language's letters";
  }
}

TEST(GetMlString, GivesTheStoredTextOrTheFallback) {
  const std::tuple<int, int, const char*, const char*> cases[] = {
      {kGerman, 1219, "x", "die Datei gewechselt werden?"},
      {kEnglish, 1219, "x", " "},
      {kFrench, 1219, "x", "x"},  // the one gap
      {kEnglish, 1205, "Station nicht bereit!", "Station not ready!"},
      {kGerman, 1300, "x", "x"},
      {kEnglish, 1104, "", ""},
      {kFrench, INT_MAX, "x", "x"},
      {kEnglish, INT_MIN, "x", "x"},
  };
  for (const auto& [lang, id, fallback, expected] : cases)
    EXPECT_EQ(GetMlString(lang, id, fallback), expected) << lang << ' ' << id;
}

TEST(TextIdFields, IntegerOfWholeFieldAndNumberOfItsStart) {
  const std::tuple<const char*, std::optional<int>, int> cases[] = {
      {" 1209 ", 1209, 1209},     {"+1000", 1000, 1000},      {"-5", -5, -5},
      {"", std::nullopt, 0},      {"abc", std::nullopt, 0},   {"1100abc", std::nullopt, 1100},
      {"12.5", std::nullopt, 12}, {"+-3", std::nullopt, 0},   {"32767", 32767, 32767},
      {"32768", std::nullopt, 0}, {"-32768", -32768, -32768}, {"99999999999999", std::nullopt, 0},
  };
  for (const auto& [field, integer, number] : cases) {
    EXPECT_EQ(IntegerOfId(field), integer) << '"' << field << '"';
    EXPECT_EQ(NumberOfId(field), number) << '"' << field << '"';
  }
}

}  // namespace
}  // namespace qv
