#include "update/ClockCommand.h"

#include "core/Context.h"
#include "protocol/Commands.h"
#include "protocol/QvBoot.h"
#include "texts/MessageIds.h"
#include "texts/MlStringModule.h"
#include "update/CommandRun.h"
#include "update/ModeSwitching.h"
#include "update/StationClock.h"
#include "update/UpdateRun.h"

namespace qv {

void mnuCommandSetTime_Click(Context& ctx) {
  EngineEvent event(ctx);
  ctx.timeSet.TimeSetCount = 0;
  if (ctx.link.bNoPort) {
    mnuCommandInitComm_Click(ctx);
    return;
  }
  if (ctx.view.text(Control::Master).empty()) return;
  BeginRun(ctx, RunKind::Clock);
  ResetClockState(ctx);
  ctx.run.OperationMode = kModeClockAwaitsMode;
  Master_Click(ctx);
}

Bytes CurrentSetTimeFrame(Context& ctx) {
  const bool relayed = ctx.link.MasterListIndex != 0;
  return SetTimeFrame(MakeTimeData(ctx.clock, PortSpeed(ctx), relayed));
}

void SendClockCommand(Context& ctx, std::int16_t mode) {
  ctx.run.bLinkIdle = true;
  ctx.run.bUpdateRun = false;
  EnsurePortOpen(ctx);
  if (!ctx.MSComm.PortOpen()) {
    AppBox(ctx, kMsgPortNotOpened, vbCritical, GetMlString(ctx, kMsgPortNotOpened, "Could not open port"));
    return;
  }
  Bytes frame = mode != 0 ? GetTimeFrame() : CurrentSetTimeFrame(ctx);
  DiscardInput(ctx);
  if (mode == 2) ctx.run.OperationMode = kModeClockRead;
  ctx.TimerEfi.setInterval(kClockTimeoutMs);
  ctx.TimerEfi.setEnabled(true);
  ctx.timeSet.bClockFrameOut = true;
  Senden(ctx, std::move(frame));
}

}  // namespace qv
