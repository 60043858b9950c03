#pragma once
// "FF 02 83" -> bytes, for readable expectations.
#include <cctype>
#include <string>
#include <string_view>

#include "protocol/stdFunc.h"

namespace qv::test {

inline Bytes Hex(std::string_view text) {
  Bytes out;
  std::string digits;
  for (const char c : text) {
    if (std::isxdigit(static_cast<unsigned char>(c))) digits += c;
    if (digits.size() < 2) continue;
    out.push_back(static_cast<std::uint8_t>(std::stoul(digits, nullptr, 16)));
    digits.clear();
  }
  return out;
}

}  // namespace qv::test
