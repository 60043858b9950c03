#include <gtest/gtest.h>

#include <array>
#include <string>
#include <tuple>

#include "core/TextRules.h"

namespace qv {
namespace {

// One text through every trim: each rule keeps what the others drop.
TEST(TextRules, TrimsDifferOnlyInWhatTheyDrop) {
  // text, TrimBlanks, TrimLeadingBlanks, TrimWhiteSpace, TrimControl
  // clang-format off
  const std::array<std::string, 5> cases[] = {
      {" \tx y\t ", "x y", "x y\t ", "x y", "x y"},
      {"\r\nx\v\f", "\r\nx\v\f", "\r\nx\v\f", "x", "x"},
      {"\x01 x \x1f", "\x01 x \x1f", "\x01 x \x1f", "\x01 x \x1f", "x"},
      {" \xC3\xA9 ", "\xC3\xA9", "\xC3\xA9 ", "\xC3\xA9", "\xC3\xA9"},  // bytes above 127 are text
      {" \t ", "", "", "", ""}};
  // clang-format on
  for (const auto& [text, blanks, leading, white, control] : cases) {
    EXPECT_EQ(std::tuple(TrimBlanks(text), TrimLeadingBlanks(text), TrimWhiteSpace(text),
                         TrimControl(text)),
              std::tuple(blanks, leading, white, control))
        << text;
  }
}

TEST(TextRules, IntegerRules) {
  const std::optional<int> no;
  // text, WholeInteger, WholeDigits, LeadingInteger; trimming is the caller's rule
  // clang-format off
  const std::tuple<const char*, std::optional<int>, std::optional<int>, std::optional<int>> cases[] = {
      {"1209", 1209, 1209, 1209}, {"+1000", 1000, no, 1000}, {"-5", -5, no, -5}, {"+-3", no, no, no}, {"", no, no, no},
      {" 7", no, no, no}, {"7 ", no, no, 7}, {"1100abc", no, no, 1100}, {"12.5", no, no, 12}, {"0x10", no, no, 0},
      {"2147483647", 2147483647, 2147483647, 2147483647}, {"-2147483648", -2147483647 - 1, no, -2147483647 - 1},
      {"2147483648", no, no, no}, {"99999999999x", no, no, no}, {"+", no, no, no}};
  // clang-format on
  for (const auto& [text, whole, digits, leading] : cases) {
    EXPECT_EQ(std::tuple(WholeInteger(text), WholeDigits(text), LeadingInteger(text)),
              std::tuple(whole, digits, leading))
        << '"' << text << '"';
  }
}

TEST(TextRules, CharactersAreCutWhole) {
  const std::string e = "\xC3\xA9", euro = "\xE2\x82\xAC",
                    smile = "\xF0\x9F\x99\x82";  // 2, 3, 4 bytes
  // text, characters, a limit, the text cut to it
  // clang-format off
  const std::tuple<std::string, std::size_t, std::size_t, std::string> cases[] = {
      {"abc", 3, 2, "ab"},        {e + euro + smile + "x", 4, 3, e + euro + smile}, {e + e, 2, 0, ""}, {"", 0, 5, ""},
      {"a\x80\x80", 1, 1, "a\x80\x80"},  // continuation bytes belong to the byte before
      {"\x80\x80", 2, 1, "\x80"},        // stray continuation bytes count one by one
      {"\xC3\x80\x80\x80\x80\x80", 3, 1, "\xC3\x80\x80\x80"}};  // never more than four bytes a character
  // clang-format on
  for (const auto& [text, count, limit, cut] : cases) {
    EXPECT_EQ(CutCharacters(text, limit), cut) << text;
    EXPECT_EQ(CutCharacters(text, count), text) << text;
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
