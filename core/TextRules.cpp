#include "core/TextRules.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace qv {

namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}
bool IsWhiteSpace(char c) {
  return IsBlank(c) || (c >= '\n' && c <= '\r');
}
bool IsControl(char c) {
  return static_cast<unsigned char>(c) <= 0x20;
}
bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}
bool IsContinuation(char c) {
  return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

template <typename Drop>
std::string_view TrimLeading(std::string_view text, Drop drop) {
  while (!text.empty() && drop(text.front())) text.remove_prefix(1);
  return text;
}

template <typename Drop>
std::string_view Trim(std::string_view text, Drop drop) {
  text = TrimLeading(text, drop);
  while (!text.empty() && drop(text.back())) text.remove_suffix(1);
  return text;
}

// The integer at the start of `text`; `end` is set past its last digit.
// from_chars takes "-" but not "+", and "+-5" is no number.
std::optional<int> ReadInteger(std::string_view text, const char*& end) {
  if (!text.empty() && text.front() == '+') {
    text.remove_prefix(1);
    if (!text.empty() && text.front() == '-') return std::nullopt;
  }
  int value = 0;
  const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
  if (result.ec != std::errc{}) return std::nullopt;
  end = result.ptr;
  return value;
}

// Bytes of the character starting at text[at].
std::size_t CharacterLength(std::string_view text, std::size_t at) {
  if (IsContinuation(text[at])) return 1;
  std::size_t end = at + 1;
  while (end < text.size() && end - at < 4 && IsContinuation(text[end])) ++end;
  return end - at;
}

}  // namespace

std::string_view TrimBlanks(std::string_view text) {
  return Trim(text, IsBlank);
}

std::string_view TrimLeadingBlanks(std::string_view text) {
  return TrimLeading(text, IsBlank);
}

std::string_view TrimWhiteSpace(std::string_view text) {
  return Trim(text, IsWhiteSpace);
}

std::string_view TrimControl(std::string_view text) {
  return Trim(text, IsControl);
}

std::optional<int> WholeInteger(std::string_view text) {
  const char* end = nullptr;
  const auto value = ReadInteger(text, end);
  if (!value || end != text.data() + text.size()) return std::nullopt;
  return value;
}

std::optional<int> WholeDigits(std::string_view text) {
  if (text.empty() || !std::all_of(text.begin(), text.end(), IsDigit)) return std::nullopt;
  return WholeInteger(text);
}

std::optional<int> LeadingInteger(std::string_view text) {
  const char* end = nullptr;
  return ReadInteger(text, end);
}

std::optional<double> DecimalNumber(std::string_view text) {
  std::string number(TrimControl(text));
  bool negative = false;
  if (!number.empty() && (number.front() == '+' || number.front() == '-')) {
    negative = number.front() == '-';
    number.erase(0, 1);
  }
  const std::size_t comma = number.find(',');
  if (comma != std::string::npos && number.find('.') == std::string::npos &&
      number.find(',', comma + 1) == std::string::npos) {
    number[comma] = '.';
  }
  // from_chars also reads "inf", "nan" and hex digits; a number starts with a digit or point.
  if (number.empty() || !(IsDigit(number.front()) || number.front() == '.')) return std::nullopt;
  double value = 0;
  const char* end = number.data() + number.size();
  const auto [ptr, ec] = std::from_chars(number.data(), end, value);
  if (ec != std::errc() || ptr != end || !std::isfinite(value)) return std::nullopt;
  return negative ? -value : value;
}

std::string_view CutCharacters(std::string_view text, std::size_t limit) {
  std::size_t at = 0;
  for (std::size_t count = 0; at < text.size() && count < limit; ++count) {
    at += CharacterLength(text, at);
  }
  return text.substr(0, at);
}

std::string FillPlaceholders(std::string_view text, std::initializer_list<std::string_view> args) {
  std::string filled;
  filled.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const bool placeholder = text[i] == '%' && i + 1 < text.size() && text[i + 1] >= '1' &&
                             text[i + 1] <= '9' &&
                             static_cast<std::size_t>(text[i + 1] - '1') < args.size();
    if (!placeholder) {
      filled += text[i];
      continue;
    }
    filled += *(args.begin() + (text[i + 1] - '1'));
    ++i;
  }
  return filled;
}

}  // namespace qv
