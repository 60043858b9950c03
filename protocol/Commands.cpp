#include "protocol/Commands.h"

#include <algorithm>

#include "core/Context.h"
#include "core/Errors.h"
#include "protocol/QvBoot.h"
#include "protocol/RunNotes.h"

namespace qv {

Bytes SetModeFrame(bool relayed) {
  return MakeFrame(Bytes{SET_MODE, static_cast<std::uint8_t>(relayed ? 'S' : 'M')});
}

Bytes SetBaudFrame(std::int32_t baud) {
  return MakeFrame(Bytes{SET_BAUD, static_cast<std::uint8_t>(baud == 38400 ? 0x01 : 0x00)});
}

Bytes WriteBlockFrame(std::int32_t offset, const std::uint8_t* data, std::size_t count) {
  const auto address = static_cast<std::uint32_t>(offset) + 0x100u;
  const std::size_t framed = data ? std::min(count, kMaxBlockData) : 0;
  Bytes payload;
  payload.reserve(4 + framed);
  payload.push_back(WRITE_BLOCK);
  payload.push_back(static_cast<std::uint8_t>(address >> 16));
  payload.push_back(static_cast<std::uint8_t>(address >> 8));
  payload.push_back(static_cast<std::uint8_t>(address));
  payload.insert(payload.end(), data, data + framed);
  return MakeFrame(payload);
}

Bytes WriteBlockFrame(const Bytes& image, std::int32_t offset, std::int32_t count) {
  const auto start = static_cast<std::size_t>(std::max(offset, 0));
  if (start >= image.size() || count <= 0) return WriteBlockFrame(offset, nullptr, 0);
  const std::size_t available = image.size() - start;
  return WriteBlockFrame(offset, image.data() + start,
                         std::min(available, static_cast<std::size_t>(count)));
}

Bytes ReadSysDataFrame(std::uint8_t count) {
  return MakeFrame(Bytes{READ_SYSDATA, 0x00, count});
}

Bytes InitUpdateFrame(std::string_view key) {
  // The length byte counts at most 255 data bytes; a longer key would go out
  // with a wrapped length the station cannot make sense of.
  if (key.size() > 255) return {};
  Bytes payload;
  payload.reserve(1 + key.size());
  payload.push_back(INIT_UPDATE);
  payload.insert(payload.end(), key.begin(), key.end());
  return MakeFrame(payload);
}

Bytes SetTimeFrame(const Bytes& timeRecord) {
  return MakeFrame(JoinBytes(SET_TIME, timeRecord));
}

Bytes GetTimeFrame() {
  return MakeFrame(GET_TIME);
}

void Senden(Context& ctx, Bytes frame) {
  ctx.frames.PendingFrame.clear();
  if (frame.empty()) return;
  if (!EnsurePortOpen(ctx)) {
    ctx.frames.PendingFrame = std::move(frame);
    return;
  }
  ctx.frames.LastFrame = frame;
  try {
    ctx.MSComm.Output(frame);
  } catch (const PlatformError&) {
    // A write the port refuses is like a frame lost on the line: the
    // watchdogs notice the missing reply and resend LastFrame.
  }
  NoteFrameSent(ctx, frame);
}

void RequestSystemData(Context& ctx, std::int16_t count) {
  Bytes frame = ReadSysDataFrame(static_cast<std::uint8_t>(count));
  ctx.frames.LastFrame = frame;
  ctx.Timer2.setEnabled(true);
  Senden(ctx, std::move(frame));
}

}  // namespace qv
