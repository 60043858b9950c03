// Arbitrary station bytes through the receive procedure. The input is split
// into receive events at each 0xA5 0x5A marker; a marker followed by 'T' lets
// the receive timeout expire and one followed by 'E' raises a line error
// instead. Handlers read the reply buffer at the places the reply handlers do,
// and sometimes end the event or send, so every path is walked.
#include <cstddef>
#include <cstdint>

#include "protocol/Commands.h"
#include "protocol/ReceiveReply.h"
#include "sim/virtual/VirtualPlatform.h"

namespace {

using qv::Context;
using qv::ReplyOutcome;

// Reads the whole reply buffer, where the handlers read it at fixed places.
ReplyOutcome ReadLikeAHandler(Context& ctx, volatile std::uint32_t& sink) {
  std::uint32_t sum = 0;
  for (const std::uint8_t b : ctx.rx.RxBuffer) sum += b;
  sink = sink + sum;  // keeps the reads from being optimised away
  if (sum % 7 == 0) return ReplyOutcome::EndEvent;
  if (sum % 5 == 0) qv::Senden(ctx, ctx.frames.LastFrame);
  return ReplyOutcome::Continue;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  qv::ReplyTable replies;
  qv::sim::VirtualPlatform link{replies};
  Context& ctx = link.ctx;
  qv::WireStationLink(ctx);
  volatile std::uint32_t sink = 0;
  for (auto& handler : replies.byCode)
    handler = [&sink](Context& c) { return ReadLikeAHandler(c, sink); };
  link.port.setPortOpen(true);
  ctx.frames.LastFrame = qv::GetTimeFrame();

  qv::Bytes chunk;
  auto flush = [&] {
    if (!chunk.empty()) link.port.sendToLoader(chunk, 1);
    chunk.clear();
    link.scheduler.advanceBy(1);
  };
  for (std::size_t i = 0; i < size; ++i) {
    if (i + 2 < size && data[i] == 0xA5 && data[i + 1] == 0x5A) {
      flush();
      const std::uint8_t what = data[i + 2];
      if (what == 'T') link.scheduler.advanceBy(qv::kReplyTimeoutMs);
      if (what == 'E') link.port.injectEvent(qv::comEventFrame);
      i += 2;
      continue;
    }
    chunk.push_back(data[i]);
  }
  flush();
  link.scheduler.advanceBy(5000);
  if (ctx.rx.RxCount < 0 || ctx.rx.RxCount > qv::kRxCapacity) __builtin_trap();
  return 0;
}
