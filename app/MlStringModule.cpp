#include "app/MlStringModule.h"

#include <charconv>
#include <limits>

#include "core/Context.h"

namespace qv {

namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

std::string_view TrimLeft(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  return text;
}

std::string_view Trim(std::string_view text) {
  text = TrimLeft(text);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

// Text ids are 16-bit numbers; anything wider cannot name a text.
bool FitsId(int value) {
  return value >= std::numeric_limits<std::int16_t>::min() &&
         value <= std::numeric_limits<std::int16_t>::max();
}

// from_chars takes "-" but not "+".
std::string_view DropPlus(std::string_view text) {
  if (text.size() > 1 && text.front() == '+' && text[1] != '-') text.remove_prefix(1);
  return text;
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
  const std::string_view digits = DropPlus(Trim(field));
  int value = 0;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
  if (digits.empty() || error != std::errc{} || end != digits.data() + digits.size() ||
      !FitsId(value)) {
    return std::nullopt;
  }
  return value;
}

int NumberOfId(std::string_view field) {
  const std::string_view digits = DropPlus(TrimLeft(field));
  int value = 0;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
  return error == std::errc{} && FitsId(value) ? value : 0;
}

}  // namespace qv
