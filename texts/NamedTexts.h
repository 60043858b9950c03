#pragma once
// Operator texts that have no id of their own (the id table keeps exactly the
// program's fixed ids): found by name, in the same three languages and with
// the same language choice as the id table.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace qv {

class Context;

// One text by name in the three languages. A table of them is sorted by name;
// a front end with words of its own keeps them in a table of its own.
struct NamedRow {
  std::string_view name;
  std::string_view german;
  std::string_view english;
  std::string_view french;
};

// The text named `name` in `rows` (sorted by name), in the language chosen as
// NamedText chooses it; nothing when the table has no such row.
std::optional<std::string> FindNamedText(std::span<const NamedRow> rows, std::int32_t initLang,
                                         std::string_view name);

// The text named `name` in the language `initLang` (0 German, 1000 English,
// 2000 French; any other value English). An unknown name gives the name
// itself, so a missing row shows up instead of an empty box.
std::string NamedText(std::int32_t initLang, std::string_view name);
std::string NamedText(const Context& ctx, std::string_view name);

// Every name of the table, in order.
std::vector<std::string_view> NamedTextNames();

}  // namespace qv
