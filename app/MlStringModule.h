#pragma once
// Texts by German id in the current language (0 German, 1000 English, 2000 French).
#include <cstdint>
#include <string>
#include <string_view>

namespace qv {

class Context;

// The stored text of a full id (German id + language offset), or nullptr when
// the table has no such id. An empty or blank text is a stored text.
const std::string* StringTableLookup(int fullId);

std::string GetMlString(std::int32_t initLang, int id, std::string_view fallback);
std::string GetMlString(const Context& ctx, int id, std::string_view fallback = "");

}  // namespace qv
