#include "protocol/stdFunc.h"

#include <algorithm>

namespace qv {

bool IsExtendedCommand(std::uint8_t code) {
  return code >= 0x80 && code != 0xC4;
}

Bytes MakeFrame(std::uint8_t command) {
  return MakeFrame(Bytes{command});
}

Bytes MakeFrame(const Bytes& payload) {
  if (payload.empty()) return {};
  const std::uint8_t command = payload.front();
  // The length byte holds at most 255 data bytes; a longer frame would carry
  // a wrapped length the station reads as another frame. Refused here, where
  // every sender passes, and Senden ignores the empty frame.
  if (IsExtendedCommand(command) && payload.size() > kMaxExtendedPayload) return {};
  Bytes frame{kWakeUp, kStx, command};
  frame.reserve(payload.size() * 2 + 6);
  if (IsExtendedCommand(command)) {
    const auto len = static_cast<std::uint8_t>(payload.size() - 1);
    frame.push_back(len);
    frame.insert(frame.end(), payload.begin() + 1, payload.end());
    Bytes covered{command, len};
    covered.insert(covered.end(), payload.begin() + 1, payload.end());
    const std::uint32_t crc = CalcCrc(covered);
    frame.push_back(static_cast<std::uint8_t>(crc >> 8));
    frame.push_back(static_cast<std::uint8_t>(crc & 0xFF));
  } else {
    for (auto it = payload.begin() + 1; it != payload.end(); ++it) {
      if (*it < kStuffBelow) frame.push_back(kDle);
      frame.push_back(*it);
    }
  }
  frame.push_back(kEtx);
  return frame;
}

std::uint32_t CalcCrc(const std::uint8_t* data, std::size_t count) {
  if (count < 2) return 0;
  std::uint32_t crc = (static_cast<std::uint32_t>(data[0]) << 8) | data[1];
  if (count == 2) return crc;
  // Words from the third byte on; an odd tail is padded with a zero low byte,
  // an even length gets one extra zero word.
  for (std::size_t i = 2; i <= count; i += 2) {
    const std::uint32_t high = i < count ? data[i] : 0;
    const std::uint32_t low = i + 1 < count ? data[i + 1] : 0;
    std::uint32_t word = (high << 8) | low;
    for (int bit = 0; bit < 16; ++bit) {
      const bool carry = (crc & 0x8000) != 0;
      crc = (crc << 1) & 0xFFFF;
      if (word & 0x8000) crc += 1;
      if (carry) crc ^= 0x8005;
      word = (word << 1) & 0xFFFF;
    }
  }
  return crc;
}

std::uint32_t CalcCrc(const Bytes& data) {
  return CalcCrc(data.data(), data.size());
}

std::uint32_t CalcCrc(std::string_view text) {
  return CalcCrc(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
}

std::optional<std::uint8_t> ByteAt(const Bytes& data, std::size_t position) {
  if (position < 1 || position > data.size()) return std::nullopt;
  return data[position - 1];
}

std::optional<std::uint8_t> ByteAt(std::string_view text, std::size_t position) {
  if (position < 1 || position > text.size()) return std::nullopt;
  return static_cast<std::uint8_t>(text[position - 1]);
}

Bytes JoinBytes(const Bytes& first, const Bytes& second) {
  Bytes out;
  out.reserve(first.size() + second.size());
  out.insert(out.end(), first.begin(), first.end());
  out.insert(out.end(), second.begin(), second.end());
  return out;
}

Bytes JoinBytes(std::uint8_t first, const Bytes& second) {
  Bytes out;
  out.reserve(second.size() + 1);
  out.push_back(first);
  out.insert(out.end(), second.begin(), second.end());
  return out;
}

Bytes JoinBytes(const Bytes& first, std::uint8_t second) {
  Bytes out(first);
  out.push_back(second);
  return out;
}

Bytes JoinBytes(std::uint8_t first, std::uint8_t second) {
  return Bytes{first, second};
}

Bytes MidBytes(const Bytes& data, std::size_t start, std::optional<std::size_t> count) {
  if (start < 1 || start > data.size()) return {};
  const std::size_t from = start - 1;
  const std::size_t available = data.size() - from;
  const std::size_t take = count ? std::min(*count, available) : available;
  return Bytes(data.begin() + static_cast<std::ptrdiff_t>(from),
               data.begin() + static_cast<std::ptrdiff_t>(from + take));
}

std::string BytesToHex(const Bytes& data, std::string_view separator) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(data.size() * (2 + separator.size()));
  for (std::size_t i = 0; i < data.size(); ++i) {
    if (i > 0) out += separator;
    out += kDigits[data[i] >> 4];
    out += kDigits[data[i] & 0x0F];
  }
  return out;
}

std::string BytesToHex(std::string_view text, std::string_view separator) {
  return BytesToHex(BytesOf(text), separator);
}

std::string LongToHex(std::uint32_t value, int byteCount) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  const int digits = 2 * std::clamp(byteCount, 0, 4);
  std::string out;
  for (int i = digits - 1; i >= 0; --i) out += kDigits[(value >> (4 * i)) & 0x0F];
  return out;
}

std::uint8_t FrameCode(const Bytes& frame) {
  std::size_t at = 0;
  while (at < frame.size() && frame[at] == kWakeUp) ++at;
  if (at + 1 >= frame.size() || frame[at] != kStx) return 0;
  return frame[at + 1];
}

}  // namespace qv
