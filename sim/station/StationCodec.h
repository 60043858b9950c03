#pragma once
// The station's side of the line: its checksum, which codes carry a length
// and a checksum, and how it frames a reply. Written apart from the loader's
// frame code on purpose, so a mistake made on one side shows up as a
// disagreement instead of passing on both.
//
// Extended reply: STX, code, LEN, LEN data bytes, checksum high, low, ETX.
// Short reply:    STX, code, data with every byte below 0x20 behind a DLE, ETX.
// The station never sends the wake-up byte the loader puts in front.
#include <cstddef>
#include <cstdint>
#include <string>

#include "core/Bytes.h"

namespace qv::sim {

namespace wire {

// Control bytes.
inline constexpr std::uint8_t kWakeUp = 0xFF;
inline constexpr std::uint8_t kStx = 0x02;
inline constexpr std::uint8_t kEtx = 0x03;
inline constexpr std::uint8_t kDle = 0x10;
inline constexpr std::uint8_t kNak = 0x15;
// The lowest data byte a short frame carries without a DLE in front.
inline constexpr std::uint8_t kFirstPlainByte = 0x20;

// Command codes the boot loader answers.
inline constexpr std::uint8_t SET_MODE = 0x70;
inline constexpr std::uint8_t SET_BAUD = 0x7E;
inline constexpr std::uint8_t WRITE_BLOCK = 0x80;
inline constexpr std::uint8_t READ_SYSDATA = 0x83;
inline constexpr std::uint8_t INIT_UPDATE = 0x8F;
inline constexpr std::uint8_t SET_TIME = 0xF6;
inline constexpr std::uint8_t GET_TIME = 0xF7;

// The most data bytes an extended frame's length byte can count.
inline constexpr std::size_t kMaxExtendedData = 255;

}  // namespace wire

// Codes from 0x80 up carry a length byte and a checksum; 0xC4 is the one
// high code framed like the low ones.
bool IsExtendedCode(std::uint8_t code);

// 16-bit checksum, generator 0x8005, over big-endian words; the first word is
// the start value. Fewer than two bytes give 0.
std::uint16_t StationChecksum(const std::uint8_t* data, std::size_t count);
std::uint16_t StationChecksum(const Bytes& data);

// The reply frame for `payload` (the code, then its data). An extended
// payload holds at most kMaxExtendedData data bytes.
Bytes BuildReply(const Bytes& payload);

// Text forms for logs and reports: "02 70 03" and "8115".
std::string HexBytes(const Bytes& bytes);
std::string HexWord(std::uint16_t word);

}  // namespace qv::sim
