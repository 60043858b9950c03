#include "protocol/RunNotes.h"

#include <algorithm>

#include "core/Context.h"
#include "protocol/stdFunc.h"

namespace qv {

void EnterPhase(Context& ctx, RunPhase phase) {
  RunReport& report = ctx.report;
  if (!report.active || report.phase == phase) return;
  report.phase = phase;
  ctx.events.PhaseEntered(phase);
}

void NoteFrameSent(Context& ctx, const Bytes& frame) {
  ctx.report.replyAwaited = true;
  ctx.report.stallReported = false;
  ctx.events.FrameSent(frame);
  switch (FrameCode(frame)) {
    case WRITE_BLOCK:
      ctx.report.dataSent = true;
      EnterPhase(ctx, RunPhase::Transfer);
      break;
    case READ_SYSDATA:
      // After the update the clock is set, then the firmware read back.
      EnterPhase(ctx, ctx.timeSet.TimeReplyState > 0 || ctx.timeSet.bVerifyAfterUpgrade
                          ? RunPhase::Confirm
                          : RunPhase::Identify);
      break;
    case INIT_UPDATE:
      ctx.report.keySent = true;
      EnterPhase(ctx, RunPhase::Key);
      break;
    case SET_TIME:
    case GET_TIME:
      EnterPhase(ctx, RunPhase::Clock);
      break;
    default:
      break;
  }
}

void NoteReply(Context& ctx, std::uint8_t code) {
  ctx.report.replyAwaited = false;
  Bytes data;
  if (code != kNak) {
    const auto count = std::clamp<int>(ctx.rx.RxCount, 0, static_cast<int>(ctx.rx.RxBuffer.size()));
    data.assign(ctx.rx.RxBuffer.begin(), ctx.rx.RxBuffer.begin() + count);
  }
  ctx.events.ReplyReceived(code, data);
}

void NoteDamagedReply(Context& ctx) {
  ctx.report.replyAwaited = false;
}

void NoteReplyGivenUp(Context& ctx) {
  ctx.report.replyAwaited = false;
}

}  // namespace qv
