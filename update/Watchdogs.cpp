#include "update/Watchdogs.h"

#include <algorithm>

#include "core/Context.h"
#include "protocol/Commands.h"
#include "protocol/QvBoot.h"
#include "protocol/ReceiveReply.h"
#include "texts/MessageIds.h"
#include "texts/MlStringModule.h"
#include "update/TransferReplies.h"
#include "update/UpdateRun.h"

namespace qv {

namespace {

constexpr std::int32_t kSilentBlockRetries = 3;

std::string NotReady(const Context& ctx) {
  return GetMlString(ctx, kMsgStationNotReady, "Station not ready!");
}

}  // namespace

void Timer2_Timer(Context& ctx) {
  ctx.Timer2.setEnabled(false);
  auto& replyState = ctx.timeSet.TimeReplyState;
  if (replyState == 1 || replyState == 2) {
    ++replyState;
    ctx.Timer2.setEnabled(true);
    RequestSystemData(ctx, kShortIdentification);
    return;
  }
  if (replyState >= 3) {
    // Given up: no reply is awaited any more.
    ClosePort(ctx);
    AppBox(ctx, kMsgStationNotReady, vbCritical, NotReady(ctx));
    return;
  }
  EnsurePortOpen(ctx);
  DiscardInput(ctx);
  ResetReceiveState(ctx);
  if (ctx.run.bUpdateRun) {
    if (ctx.run.RetryCount > kSilentBlockRetries) {
      AskAfterTooManyErrors(ctx);
      return;
    }
    ++ctx.run.RetryCount;
    ctx.run.BlockSize = std::max(ctx.run.BlockSize / 2, kSmallestBlock);
    SendDataBlock(ctx);
    return;
  }
  if (ctx.timeSet.bVerifyAfterUpgrade) {
    if (ctx.run.RetryCount > kSilentBlockRetries) {
      ClosePort(ctx);
      AppBox(ctx, kMsgStationNotReady, vbCritical, NotReady(ctx));
    } else {
      ++ctx.run.RetryCount;
    }
    return;
  }
  ClosePort(ctx);
  // A station that never answered the identification must not be left
  // without a word.
  if (ctx.frames.LastFrame != ReadSysDataFrame(kFullIdentification)) return;
  AppBox(ctx, kMsgStationNotReady, vbCritical, NotReady(ctx));
  // A resume that got no identification is over: the controls come back and
  // the next Start sends the image again.
  ctx.run.bResumePending = false;
  StopUpdateRun(ctx);
}

void TimerEfi_Timer(Context& ctx) {
  ClosePort(ctx);
  ctx.TimerEfi.setEnabled(false);
  ctx.timeSet.bClockFrameOut = false;
  // The run that waited is over: a later mode reply (the operator choosing
  // the mode again) must not start an identification of its own.
  ctx.run.bIdentifyAfterMode = false;
  // The port is closed: nothing of the run can go on, and the controls must
  // not wait for it.
  ctx.run.bUpdateRun = false;
  ctx.view.setEnabled(Control::Master, true);
  const std::string timeError = GetMlString(ctx, kMsgTimeError, "Error setting time!");
  if ((ctx.timeSet.bSettingTime || ctx.run.OperationMode == kModeClockRead) && !ctx.run.bLinkIdle) {
    AppBox(ctx, kMsgTimeError, vbInformation,
           timeError + "\r\n" + GetMlString(ctx, kMsgRetry, "Please retry the operation."));
    return;
  }
  AppBox(ctx, ctx.run.bLinkIdle ? kMsgTimeError : kMsgStationNotReady, vbCritical,
         (ctx.run.bLinkIdle ? timeError + "\r\n" : std::string()) + NotReady(ctx));
}

}  // namespace qv
