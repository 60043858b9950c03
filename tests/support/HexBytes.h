#pragma once
// "FF 02 83" -> bytes, for readable expectations.
#include <cctype>
#include <string_view>

#include "protocol/stdFunc.h"

namespace qv::test {

inline Bytes Hex(std::string_view text) {
  Bytes out;
  unsigned value = 0;
  int digits = 0;
  for (const char c : text) {
    if (!std::isxdigit(static_cast<unsigned char>(c))) continue;
    const unsigned digit = std::isdigit(static_cast<unsigned char>(c)) ? static_cast<unsigned>(c - '0')
                                                                       : static_cast<unsigned>((c | 0x20) - 'a' + 10);
    value = value * 16 + digit;
    if (++digits == 2) {
      out.push_back(static_cast<std::uint8_t>(value));
      value = 0;
      digits = 0;
    }
  }
  return out;
}

}  // namespace qv::test
