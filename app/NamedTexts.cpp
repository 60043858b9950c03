#include "app/NamedTexts.h"

#include <algorithm>
#include <iterator>

#include "core/Context.h"

namespace qv {

namespace {

struct NamedRow {
  std::string_view name;
  std::string_view german;
  std::string_view english;
  std::string_view french;
};

// Sorted by name. Keep the three languages side by side.
constexpr NamedRow kRows[] = {
    {"file.sendDespiteChecksum", "Trotzdem an die Station senden?", "Send it to the station anyway?",
     "L'envoyer quand même à la station ?"},
};

static_assert(std::ranges::is_sorted(kRows, {}, &NamedRow::name));

}  // namespace

std::string NamedText(std::int32_t initLang, std::string_view name) {
  const auto* row = std::ranges::lower_bound(kRows, name, {}, &NamedRow::name);
  if (row == std::end(kRows) || row->name != name) return std::string(name);
  if (initLang == 0) return std::string(row->german);
  if (initLang == 2000) return std::string(row->french);
  return std::string(row->english);
}

std::string NamedText(const Context& ctx, std::string_view name) {
  return NamedText(ctx.settings.InitLang, name);
}

}  // namespace qv
