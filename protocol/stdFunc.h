#pragma once
// Byte-sequence helpers of the station link: frames, checksum and hex text.
// Pure functions without state. Typed overloads stand in for the "byte,
// sequence or text" operands: a text's characters are taken as single bytes.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/Bytes.h"

namespace qv {

// Control bytes on the line.
inline constexpr std::uint8_t kWakeUp = 0xFF;
inline constexpr std::uint8_t kStx = 0x02;
inline constexpr std::uint8_t kEtx = 0x03;
inline constexpr std::uint8_t kDle = 0x10;
inline constexpr std::uint8_t kNak = 0x15;
// Data bytes below this value travel behind a DLE in short frames.
inline constexpr std::uint8_t kStuffBelow = 0x20;

// Command codes of the station's boot loader.
inline constexpr std::uint8_t SET_MODE = 0x70;
inline constexpr std::uint8_t BAUD_SWITCHED = 0x71;
inline constexpr std::uint8_t SET_BAUD = 0x7E;
inline constexpr std::uint8_t WRITE_BLOCK = 0x80;
inline constexpr std::uint8_t READ_SYSDATA = 0x83;
inline constexpr std::uint8_t INIT_UPDATE = 0x8F;
inline constexpr std::uint8_t SET_TIME = 0xF6;
inline constexpr std::uint8_t GET_TIME = 0xF7;

bool IsExtendedCommand(std::uint8_t code);

// Command plus at most 255 data bytes: the most one extended frame carries.
inline constexpr std::size_t kMaxExtendedPayload = 256;

// The frame for the command (payload[0]) and its data; empty for an empty
// payload or an extended one longer than kMaxExtendedPayload.
Bytes MakeFrame(std::uint8_t command);
Bytes MakeFrame(const Bytes& payload);

// The command code of a frame as MakeFrame builds it; 0 when it has none.
std::uint8_t FrameCode(const Bytes& frame);

std::uint32_t CalcCrc(const Bytes& data);
std::uint32_t CalcCrc(std::string_view text);
// Same algorithm over a raw range, so large files need no copy.
std::uint32_t CalcCrc(const std::uint8_t* data, std::size_t count);

// 1-based position; a position outside the operand gives nullopt.
std::optional<std::uint8_t> ByteAt(const Bytes& data, std::size_t position);
std::optional<std::uint8_t> ByteAt(std::string_view text, std::size_t position);

Bytes JoinBytes(const Bytes& first, const Bytes& second);
Bytes JoinBytes(std::uint8_t first, const Bytes& second);
Bytes JoinBytes(const Bytes& first, std::uint8_t second);
Bytes JoinBytes(std::uint8_t first, std::uint8_t second);

// 1-based start; without a count, through the last element.
Bytes MidBytes(const Bytes& data, std::size_t start, std::optional<std::size_t> count = std::nullopt);

std::string BytesToHex(const Bytes& data, std::string_view separator = "-");
std::string BytesToHex(std::string_view text, std::string_view separator = "-");

std::string LongToHex(std::uint32_t value, int byteCount);

}  // namespace qv
