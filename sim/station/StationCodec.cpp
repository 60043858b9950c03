#include "sim/station/StationCodec.h"

#include <cassert>
#include <cstdio>

namespace qv::sim {

namespace {

constexpr std::uint16_t kGenerator = 0x8005;
constexpr std::uint8_t kExceptionCode = 0xC4;

// Feeds one 16-bit word into the register, most significant bit first.
std::uint16_t ShiftInWord(std::uint16_t crc, std::uint16_t word) {
  for (int bit = 0; bit < 16; ++bit) {
    const bool carry = (crc & 0x8000) != 0;
    crc = static_cast<std::uint16_t>((crc << 1) | (word >> 15));
    if (carry) crc ^= kGenerator;
    word = static_cast<std::uint16_t>(word << 1);
  }
  return crc;
}

}  // namespace

bool IsExtendedCode(std::uint8_t code) {
  return code >= 0x80 && code != kExceptionCode;
}

std::uint16_t StationChecksum(const std::uint8_t* data, std::size_t count) {
  if (count < 2) return 0;
  std::uint16_t crc = static_cast<std::uint16_t>((data[0] << 8) | data[1]);
  if (count == 2) return crc;
  // The rest as words from the third byte on, a missing low byte counting as
  // zero; an even count ends with one whole zero word. Either way there are
  // count / 2 further words.
  const auto byteOrZero = [&](std::size_t i) -> std::uint16_t { return i < count ? data[i] : 0; };
  const std::size_t end = 2 + 2 * (count / 2);
  for (std::size_t at = 2; at < end; at += 2) {
    crc = ShiftInWord(crc, static_cast<std::uint16_t>((byteOrZero(at) << 8) | byteOrZero(at + 1)));
  }
  return crc;
}

std::uint16_t StationChecksum(const Bytes& data) {
  return StationChecksum(data.data(), data.size());
}

Bytes BuildReply(const Bytes& payload) {
  assert(!payload.empty());
  const std::uint8_t code = payload.front();
  Bytes frame{wire::kStx, code};
  if (IsExtendedCode(code)) {
    assert(payload.size() - 1 <= wire::kMaxExtendedData);
    frame.push_back(static_cast<std::uint8_t>(payload.size() - 1));
    frame.insert(frame.end(), payload.begin() + 1, payload.end());
    // Covered: code, length and data, which are the frame's bytes after STX.
    const std::uint16_t crc = StationChecksum(frame.data() + 1, frame.size() - 1);
    frame.push_back(static_cast<std::uint8_t>(crc >> 8));
    frame.push_back(static_cast<std::uint8_t>(crc & 0xFF));
  } else {
    for (std::size_t i = 1; i < payload.size(); ++i) {
      if (payload[i] < wire::kFirstPlainByte) frame.push_back(wire::kDle);
      frame.push_back(payload[i]);
    }
  }
  frame.push_back(wire::kEtx);
  return frame;
}

std::string HexBytes(const Bytes& bytes) {
  std::string text;
  char digits[4];
  for (std::uint8_t b : bytes) {
    std::snprintf(digits, sizeof digits, "%02X", b);
    if (!text.empty()) text += ' ';
    text += digits;
  }
  return text;
}

std::string HexWord(std::uint16_t word) {
  char digits[8];
  std::snprintf(digits, sizeof digits, "%04X", word);
  return digits;
}

}  // namespace qv::sim
