#include "texts/MlStringModule.h"

#include <limits>

#include "core/Context.h"
#include "core/TextRules.h"

namespace qv {

namespace {

// Text ids are 16-bit numbers; anything wider cannot name a text.
bool FitsId(int value) {
  return value >= std::numeric_limits<std::int16_t>::min() &&
         value <= std::numeric_limits<std::int16_t>::max();
}

}  // namespace

std::string GetMlString(std::int32_t initLang, int id, std::string_view fallback) {
  // Ids come from control fields and may be anything; an id that cannot be in
  // the table must not overflow on the way there.
  const std::int64_t fullId = std::int64_t{id} + initLang;
  if (fullId < std::numeric_limits<int>::min() || fullId > std::numeric_limits<int>::max()) {
    return std::string(fallback);
  }
  if (const std::string* text = StringTableLookup(static_cast<int>(fullId))) return *text;
  return std::string(fallback);
}

std::string GetMlString(const Context& ctx, int id, std::string_view fallback) {
  return GetMlString(ctx.settings.InitLang, id, fallback);
}

std::optional<int> IntegerOfId(std::string_view field) {
  const auto value = WholeInteger(TrimBlanks(field));
  if (!value || !FitsId(*value)) return std::nullopt;
  return value;
}

int NumberOfId(std::string_view field) {
  const auto value = LeadingInteger(TrimLeadingBlanks(field));
  return value && FitsId(*value) ? *value : 0;
}

}  // namespace qv
