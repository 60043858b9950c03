#pragma once
// Trimming, number reading and cutting of texts, one function per rule. The
// texts the loader reads come from different places (control fields, settings
// files, the port map, line settings) which were never meant to follow one
// rule; each caller picks the rule its text has always been read by.
#include <cstddef>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>

namespace qv {

// Spaces and tabs at both ends removed.
std::string_view TrimBlanks(std::string_view text);
// Spaces and tabs at the start removed.
std::string_view TrimLeadingBlanks(std::string_view text);
// White space of the C locale (space, \t \n \v \f \r) at both ends removed;
// other control characters stay, so a caller can still see and refuse them.
std::string_view TrimWhiteSpace(std::string_view text);
// Every byte up to 0x20 (blanks, line breaks, other control characters) at
// both ends removed. Bytes above 127 are text.
std::string_view TrimControl(std::string_view text);

// The whole text as a decimal integer with an optional "+" or "-"; nothing
// before or after it (trim first), and nullopt when it does not fit an int.
std::optional<int> WholeInteger(std::string_view text);
// The whole text as decimal digits only, no sign; nullopt beyond an int.
std::optional<int> WholeDigits(std::string_view text);
// The integer (optional "+" or "-", then digits) the text starts with,
// whatever follows it: "1100abc" gives 1100. Nullopt when it does not start
// with one or the number does not fit an int.
std::optional<int> LeadingInteger(std::string_view text);
// Control bytes around it ignored: an optional sign, digits with an optional
// decimal point ("." or a single ",", as a German system writes it) and an
// optional exponent. No "inf", "nan" or hex digits.
std::optional<double> DecimalNumber(std::string_view text);

// The first `limit` characters of UTF-8 text, never ending inside a
// character: a lead byte with up to three continuation bytes is one
// character; any other byte (a stray continuation byte, invalid UTF-8) counts
// as a character of its own.
std::string_view CutCharacters(std::string_view text, std::size_t limit);

// The text with %1 .. %9 replaced by the arguments; a placeholder without an
// argument, and every other "%", stays as it is.
std::string FillPlaceholders(std::string_view text, std::initializer_list<std::string_view> args);

}  // namespace qv
