#pragma once
// The byte type of the whole program: an ordered run of unsigned 8-bit values,
// indexed from 0, as frames, images and keys are.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qv {

using Bytes = std::vector<std::uint8_t>;

// A text's characters taken as single bytes, and back.
inline Bytes BytesOf(std::string_view text) { return Bytes(text.begin(), text.end()); }
inline std::string TextOf(const Bytes& bytes) { return std::string(bytes.begin(), bytes.end()); }

}  // namespace qv
