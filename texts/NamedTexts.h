#pragma once
// Operator texts that have no id of their own (the id table keeps exactly the
// program's fixed ids): found by name, in the same three languages and with
// the same language choice as the id table.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qv {

class Context;

// The text named `name` in the language `initLang` (0 German, 1000 English,
// 2000 French; any other value English). An unknown name gives the name
// itself, so a missing row shows up instead of an empty box.
std::string NamedText(std::int32_t initLang, std::string_view name);
std::string NamedText(const Context& ctx, std::string_view name);

// Every name of the table, in order.
std::vector<std::string_view> NamedTextNames();

}  // namespace qv
