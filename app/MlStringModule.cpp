#include "app/MlStringModule.h"

#include "app/Context.h"

namespace qv {

std::string GetMlString(std::int32_t initLang, int id, std::string_view fallback) {
  if (const std::string* text = StringTableLookup(id + initLang)) return *text;
  return std::string(fallback);
}

std::string GetMlString(const Context& ctx, int id, std::string_view fallback) {
  return GetMlString(ctx.InitLang, id, fallback);
}

}  // namespace qv
