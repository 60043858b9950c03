#pragma once
// The frames the loader sends, and the one procedure every frame leaves through.
#include <cstdint>
#include <string_view>

#include "protocol/stdFunc.h"

namespace qv {

class Context;

// Frame builders: pure, no state. The senders that decide when to send live
// with the update run, the clock and the mode switching.
Bytes SetModeFrame(bool relayed);            // SET_MODE "M" (direct) or "S" (relayed)
Bytes SetBaudFrame(std::int32_t baud);       // SET_BAUD: 38400 gives 01, any other speed 00 (4800)
// WRITE_BLOCK for the bytes [data, data + count) taken from the image at
// `offset`; the station address is offset + 0x100, three bytes, high first.
// At most kMaxBlockData bytes are framed; any more are left out.
Bytes WriteBlockFrame(std::int32_t offset, const std::uint8_t* data, std::size_t count);
// The block of `count` bytes of `image` from `offset`, cut at the image's end.
Bytes WriteBlockFrame(const Bytes& image, std::int32_t offset, std::int32_t count);
Bytes ReadSysDataFrame(std::uint8_t count);  // READ_SYSDATA from system-data offset 0
// INIT_UPDATE with the key's characters as single bytes. A key longer than a
// length byte can describe cannot be framed: the result is empty.
Bytes InitUpdateFrame(std::string_view key);
Bytes SetTimeFrame(const Bytes& timeRecord);  // SET_TIME with the 7 clock bytes
Bytes GetTimeFrame();                         // GET_TIME

inline constexpr std::size_t kMaxBlockData = 128;
inline constexpr std::uint8_t kFullIdentification = 0x74;
inline constexpr std::uint8_t kShortIdentification = 0x10;

// Sends one frame. The frame is taken by value, so a caller may pass
// ctx.frames.PendingFrame or ctx.frames.LastFrame itself. Clears PendingFrame; opens the
// port on demand; on an open port records the frame in LastFrame and writes
// it; otherwise keeps it in PendingFrame and writes nothing. An empty frame
// (one no builder could make) only clears PendingFrame.
void Senden(Context& ctx, Bytes frame);

// Asks for `count` bytes of system data: records the frame in LastFrame,
// enables the reply watchdog Timer2 and sends it.
void RequestSystemData(Context& ctx, std::int16_t count);

}  // namespace qv
