#include "update/CommandRun.h"

#include "core/Context.h"
#include "update/ModeSwitching.h"
#include "update/UpdateRun.h"

namespace qv {

namespace {

bool AnyTimerArmed(const Context& ctx) {
  return ctx.Timer1.Enabled() || ctx.Timer2.Enabled() || ctx.Timer3.Enabled() ||
         ctx.TimerEfi.Enabled() || ctx.TimerKeyWait.Enabled();
}

RunOutcome OutcomeOf(const RunReport& report) {
  if (report.ok) return RunOutcome::Ok;
  // The station took the key (or never said it did not): only its firmware
  // after the restart would have told.
  if (report.keySent && !report.keyRefused && !report.firmwareReported)
    return RunOutcome::Unconfirmed;
  if (!report.dataSent && (report.lastBoxRefused || report.stopped)) return RunOutcome::Declined;
  return RunOutcome::Failed;
}

void EndRun(Context& ctx, RunOutcome outcome) {
  ctx.report.active = false;
  ctx.events.RunEnded(outcome, ctx.report.lastMessageId);
}

}  // namespace

void BeginRun(Context& ctx, RunKind kind) {
  const int depth = ctx.report.depth;
  ctx.report = RunReport{};
  ctx.report.depth = depth;
  ctx.report.active = true;
  ctx.report.kind = kind;
  // Only a poll waits less for its reply than a block does.
  ctx.Timer2.setInterval(kind == RunKind::Poll ? kPollReplyMs : kBlockTimeoutMs);
  ctx.events.RunBegun(kind);
  ctx.events.PhaseEntered(RunPhase::Contact);
}

void MarkRunOk(Context& ctx, RunKind kind) {
  if (ctx.report.active && ctx.report.kind == kind) ctx.report.ok = true;
}

void SettleRun(Context& ctx) {
  RunReport& report = ctx.report;
  if (!report.active || report.depth > 0) return;
  if (report.kind == RunKind::RestoreLink && !report.replyAwaited && ctx.link.StartBaud != 0 &&
      PortSpeed(ctx) == ctx.link.StartBaud) {
    // The station is back at its speed: the mode watchdog of the frame that
    // began the restore has nothing left to watch.
    ctx.Timer3.setEnabled(false);
    report.ok = true;
    EndRun(ctx, RunOutcome::Ok);
    return;
  }
  if (AnyTimerArmed(ctx)) return;
  if (report.replyAwaited && ctx.MSComm.PortOpen()) {
    if (!report.stallReported) {
      report.stallReported = true;
      ctx.events.RunStalled();
    }
    return;
  }
  EndRun(ctx, OutcomeOf(report));
}

EngineEvent::EngineEvent(Context& ctx) : ctx_(ctx) {
  ++ctx_.report.depth;
}

EngineEvent::~EngineEvent() {
  if (--ctx_.report.depth == 0) SettleRun(ctx_);
}

}  // namespace qv
