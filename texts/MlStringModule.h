#pragma once
// Texts by German id in the current language (0 German, 1000 English, 2000 French).
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qv {

class Context;

// The stored text of a full id (German id + language offset), or nullptr when
// the table has no such id. An empty or blank text is a stored text.
const std::string* StringTableLookup(int fullId);

// The text of `id` in the language `initLang`; when the table has none, the
// fallback (which may itself be empty). Never fails.
std::string GetMlString(std::int32_t initLang, int id, std::string_view fallback);
std::string GetMlString(const Context& ctx, int id, std::string_view fallback = "");

// Reading the text id a control keeps in a field:
// the whole field as an integer (blanks around it allowed), nothing when it is
// empty, not a number or beyond the 16 bits of an id ...
std::optional<int> IntegerOfId(std::string_view field);
// ... or its leading number, 0 when it does not start with one (or the number
// is beyond 16 bits), so that "1100abc" gives 1100.
int NumberOfId(std::string_view field);

}  // namespace qv
