#include <gtest/gtest.h>

#include <string>

#include "core/TextRules.h"

namespace qv {
namespace {

// One text through every trim: each rule keeps what the others drop.
TEST(TextRules, TrimsDifferOnlyInWhatTheyDrop) {
  const struct {
    std::string text;
    const char* blanks;
    const char* leading;
    const char* white;
    const char* control;
  } cases[] = {
      {" \tx y\t ", "x y", "x y\t ", "x y", "x y"},
      {"\r\nx\v\f", "\r\nx\v\f", "\r\nx\v\f", "x", "x"},
      {"\x01 x \x1f", "\x01 x \x1f", "\x01 x \x1f", "\x01 x \x1f", "x"},
      {" \xC3\xA9 ", "\xC3\xA9", "\xC3\xA9 ", "\xC3\xA9", "\xC3\xA9"},  // bytes above 127 are text
      {" \t ", "", "", "", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(TrimBlanks(c.text), std::string_view(c.blanks)) << c.text;
    EXPECT_EQ(TrimLeadingBlanks(c.text), std::string_view(c.leading)) << c.text;
    EXPECT_EQ(TrimWhiteSpace(c.text), std::string_view(c.white)) << c.text;
    EXPECT_EQ(TrimControl(c.text), std::string_view(c.control)) << c.text;
  }
}

TEST(TextRules, IntegerRules) {
  const std::optional<int> none;
  const struct {
    const char* text;
    std::optional<int> whole;
    std::optional<int> digits;
    std::optional<int> leading;
  } cases[] = {
      {"1209", 1209, 1209, 1209},
      {"+1000", 1000, none, 1000},
      {"-5", -5, none, -5},
      {"+-3", none, none, none},
      {"+", none, none, none},
      {"-", none, none, none},
      {"", none, none, none},
      {" 7", none, none, none},  // trimming is the caller's rule
      {"7 ", none, none, 7},
      {"1100abc", none, none, 1100},
      {"12.5", none, none, 12},
      {"0x10", none, none, 0},
      {"2147483647", 2147483647, 2147483647, 2147483647},
      {"-2147483648", -2147483647 - 1, none, -2147483647 - 1},
      {"2147483648", none, none, none},
      {"99999999999x", none, none, none},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(WholeInteger(c.text), c.whole) << '"' << c.text << '"';
    EXPECT_EQ(WholeDigits(c.text), c.digits) << '"' << c.text << '"';
    EXPECT_EQ(LeadingInteger(c.text), c.leading) << '"' << c.text << '"';
  }
}

TEST(TextRules, CharactersAreCountedAndCutWhole) {
  const std::string e = "\xC3\xA9";              // 2 bytes
  const std::string euro = "\xE2\x82\xAC";       // 3 bytes
  const std::string smile = "\xF0\x9F\x99\x82";  // 4 bytes
  const struct {
    std::string text;
    std::size_t count;
    std::size_t limit;
    std::string cut;
  } cases[] = {
      {"abc", 3, 2, "ab"},
      {e + euro + smile + "x", 4, 3, e + euro + smile},
      {e + euro + smile, 3, 2, e + euro},
      {e + e, 2, 0, ""},
      {"a\x80\x80", 1, 1, "a\x80\x80"},  // continuation bytes belong to the byte before
      {"\x80\x80", 2, 1, "\x80"},        // stray continuation bytes count one by one
      {"\xC3\x80\x80\x80\x80\x80", 3, 1,
       "\xC3\x80\x80\x80"},  // never more than four bytes a character
      {"", 0, 5, ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CountCharacters(c.text), c.count) << c.text;
    EXPECT_EQ(CutCharacters(c.text, c.limit), c.cut) << c.text;
    EXPECT_EQ(CutCharacters(c.text, c.count), c.text) << c.text;
  }
}

TEST(TextRules, PlaceholdersAreFilledOnce) {
  EXPECT_EQ(FillPlaceholders("%2 before %1", {"a", "b"}), "b before a");
  EXPECT_EQ(FillPlaceholders("%1%1", {"x"}), "xx");
  EXPECT_EQ(FillPlaceholders("%1 %2", {"%2", "b"}), "%2 b");  // values are not read again
  EXPECT_EQ(FillPlaceholders("100% %3 %0 %", {"a"}), "100% %3 %0 %");
}

}  // namespace
}  // namespace qv
