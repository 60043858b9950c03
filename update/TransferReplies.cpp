#include "update/TransferReplies.h"

#include <algorithm>

#include "core/TextRules.h"
#include "protocol/Commands.h"
#include "protocol/QvBoot.h"
#include "protocol/ReceiveReply.h"
#include "protocol/stdFunc.h"
#include "texts/MessageIds.h"
#include "texts/MlStringModule.h"
#include "texts/NamedTexts.h"
#include "update/ClockCommand.h"
#include "update/CommandRun.h"
#include "update/Engine.h"
#include "update/UpdateRun.h"

namespace qv {

namespace {

// Data bytes of an extended reply (its length byte), so that a short reply is
// never read past its end.
int ReplyLength(const Context& ctx) {
  return ctx.rx.RxBuffer[0];
}

void RearmBlockWatchdog(Context& ctx) {
  if (!ctx.run.bBlockAwaitingAck) return;
  ctx.Timer2.setInterval(kBlockTimeoutMs);
  ctx.Timer2.setEnabled(true);
}

// The station confirmed another block than the one sent: back to the start of
// the page. A station that never confirms the page would make this go on for
// ever, so rewinds of one page count like NAKs of one block.
void RewindToPage(Context& ctx) {
  const std::int32_t page = ctx.run.TransferOffset & ~0xFF;
  if (page == ctx.run.RewindPage) {
    ++ctx.run.RewindCount;
  } else {
    ctx.run.RewindPage = page;
    ctx.run.RewindCount = 1;
  }
  ctx.run.bUpdateRun = true;
  if (ctx.run.RewindCount > kRetryLimit) {
    AskAfterTooManyErrors(ctx);
    return;
  }
  ctx.run.TransferOffset = page;
  ctx.run.BlockSize = kFullBlock;
  ctx.run.RetryCount = 0;
  SendDataBlock(ctx);
  RearmBlockWatchdog(ctx);
}

// The station took the key frame for damaged and installed nothing: the
// pause starts again with the key sent anew, and a key it never takes ends in
// the question a block it never takes gets, never in the "loaded" prompt.
void ResendKey(Context& ctx) {
  DiscardInput(ctx);
  ResetReceiveState(ctx);
  if (ctx.run.RetryCount > kRetryLimit) {
    ctx.run.bKeyWait = false;
    ctx.TimerKeyWait.setEnabled(false);
    AskAfterTooManyErrors(ctx);
    return;
  }
  ++ctx.run.RetryCount;
  ctx.TimerKeyWait.setEnabled(false);
  ctx.TimerKeyWait.setInterval(kKeyWaitMs);
  ctx.TimerKeyWait.setEnabled(true);
  Senden(ctx, ctx.frames.LastFrame);
}

void Advance(Context& ctx) {
  const auto size = static_cast<std::int64_t>(ctx.image.UpgradeData.size());
  ctx.events.BlockAcknowledged(
      std::min<std::int64_t>(ctx.run.TransferOffset + ctx.run.BlockSize, size), size);
  ctx.run.RetryCount = 0;
  ctx.run.bBlockAwaitingAck = false;
  ctx.view.ShowProgress(ctx.run.TransferOffset);
  ShowTransferProgress(ctx);
  if (ctx.run.bStopRequested) {
    ctx.run.bUpdateRun = false;
    ctx.view.setEnabled(Control::Master, true);
    return;
  }
  ctx.run.TransferOffset += ctx.run.BlockSize;
  ctx.run.BlockSize = kFullBlock - (ctx.run.TransferOffset % kFullBlock);
  SendDataBlock(ctx);
  RearmBlockWatchdog(ctx);
}

std::string ResultText(const Context& ctx, std::uint8_t code) {
  const std::string fallback = "Error INIT_UPDATE";
  const int index = code - 0x30;
  if (index < 0 || index >= static_cast<int>(ctx.texts.ErrorTexts.size())) return fallback;
  const std::string& text = ctx.texts.ErrorTexts[static_cast<std::size_t>(index)];
  // An empty entry would show an empty box: say at least which code came.
  if (text.empty()) return fallback + " " + static_cast<char>(code);
  return text;
}

}  // namespace

void ResendAfterLineError(Context& ctx) {
  // Ending the run here would leave it stalled with only Stop.
  if (ctx.run.RetryCount > kRetryLimit) {
    AskAfterTooManyErrors(ctx);
    return;
  }
  ctx.Timer2.setEnabled(false);
  SendDataBlock(ctx);
  ctx.Timer2.setEnabled(true);
}

ReplyOutcome BlockAcknowledged(Context& ctx) {
  if (ReplyLength(ctx) < 5) return ReplyOutcome::Continue;
  // An acknowledgement with no block outstanding (late, or after the key) must
  // not restart the transfer.
  if (!ctx.run.bBlockAwaitingAck) return ReplyOutcome::Continue;
  const std::int32_t address =
      ctx.rx.RxBuffer[3] << 16 | ctx.rx.RxBuffer[4] << 8 | ctx.rx.RxBuffer[5];
  const std::int32_t expected = ctx.run.TransferOffset + kStationBase;
  // An acknowledgement for a block before the one on its way is an old one,
  // late or doubled by the line: the awaited one is still to come, under its
  // watchdog. Taking it for a confused station would rewind the transfer, and
  // every rewind would leave another old acknowledgement on its way.
  if (address >= kStationBase && address < expected) return ReplyOutcome::Continue;
  ctx.Timer2.setEnabled(false);
  if (address != expected) {
    ctx.run.bUpdateRun = false;
    ctx.view.setEnabled(Control::Master, true);
    if (!ctx.run.bStopRequested) RewindToPage(ctx);
  } else {
    Advance(ctx);
  }
  set_ButtonsAktiv(ctx, !(ctx.run.bUpdateRun || ctx.run.bKeyWait));
  return ReplyOutcome::EndEvent;
}

ReplyOutcome NakReceived(Context& ctx) {
  if (ctx.timeSet.bSettingTime || ctx.run.OperationMode == kModeClockRead) {
    if (ctx.run.RetryCount > kRetryLimit) {
      ctx.TimerEfi.setEnabled(false);
      ctx.Timer2.setEnabled(false);
      AppBox(ctx, kMsgTimeError, vbInformation | vbOKOnly,
             GetMlString(ctx, kMsgTimeError, "Error setting time!") + "\r\n" +
                 GetMlString(ctx, kMsgRetry, "Please retry the operation."));
      return ReplyOutcome::Continue;
    }
    ++ctx.run.RetryCount;
    const bool watchdog = ctx.Timer2.Enabled();
    const bool clockWatchdog = ctx.TimerEfi.Enabled();
    ctx.Timer2.setEnabled(false);
    ctx.TimerEfi.setEnabled(false);
    ctx.clock.sleep(1000);
    ctx.Timer2.setEnabled(watchdog);
    ctx.TimerEfi.setEnabled(clockWatchdog);
    // A clock record stands for the moment it is sent: the one made before
    // the pause would set the station a second late.
    const Bytes& last = ctx.frames.LastFrame;
    const std::uint8_t code = FrameCode(last);
    Senden(ctx, code == SET_TIME ? CurrentSetTimeFrame(ctx) : last);
    // A clock frame sent again is watched like the first, whatever became of
    // the watchdog on the way; unwatched, a lost reply would leave the run
    // waiting for ever.
    if ((code == SET_TIME || code == GET_TIME) && !ctx.TimerEfi.Enabled()) {
      ctx.TimerEfi.setInterval(kClockTimeoutMs);
      ctx.TimerEfi.setEnabled(true);
    }
    return ReplyOutcome::Continue;
  }
  if (ctx.run.bKeyWait) {
    ctx.report.keySent = false;  // taken for damaged: nothing was installed
    ResendKey(ctx);
    return ReplyOutcome::EndEvent;
  }
  if (!ctx.run.bUpdateRun || !ctx.run.bBlockAwaitingAck) {
    if (ctx.run.bLinkIdle && !ctx.run.bUpdateRun) {
      DiscardInput(ctx);
      ResetReceiveState(ctx);
      return ReplyOutcome::EndEvent;
    }
    if (ctx.run.RetryCount > kRetryLimit) {
      StationBox(ctx, kMsgNakError, vbInformation | vbOKOnly,
                 GetMlString(ctx, kMsgNakError, "Error in data transmission (NAK received)!"));
      StopUpdateRun(ctx);
      return ReplyOutcome::Continue;
    }
    ++ctx.run.RetryCount;
    Senden(ctx, ctx.frames.LastFrame);
    return ReplyOutcome::Continue;
  }
  if (ctx.run.RetryCount > kRetryLimit) {
    AskAfterTooManyErrors(ctx);
    return ReplyOutcome::Continue;
  }
  ++ctx.run.RetryCount;
  ctx.run.BlockSize = std::max(ctx.run.BlockSize / 2, kSmallestBlock);
  ctx.Timer2.setEnabled(false);
  SendDataBlock(ctx);
  ctx.Timer2.setEnabled(true);
  return ReplyOutcome::Continue;
}

ReplyOutcome UpdateResult(Context& ctx) {
  if (ReplyLength(ctx) < 1) return ReplyOutcome::Continue;
  const std::uint8_t code = ctx.rx.RxBuffer[1];
  if (ctx.run.bKeyWait && code == '0') {
    ctx.run.KeyResult = code;  // the prompt follows when the pause ends
    return ReplyOutcome::Continue;
  }
  // Any other verdict ends the run here: the operator must not be told that
  // the firmware was loaded.
  ctx.run.bKeyWait = false;
  ctx.run.KeyResult = code;
  ctx.report.keyRefused = true;
  ctx.TimerKeyWait.setEnabled(false);
  StationBox(ctx, ErrorTextId(code - 0x30), vbInformation | vbOKCancel, ResultText(ctx, code));
  ctx.Timer1.setEnabled(false);
  ctx.Timer2.setEnabled(false);
  ctx.Timer3.setEnabled(false);
  StopUpdateRun(ctx);
  return ReplyOutcome::Continue;
}

void ConfirmUpgrade(Context& ctx) {
  if (!ctx.timeSet.bVerifyAfterUpgrade) return;
  ctx.timeSet.bVerifyAfterUpgrade = false;
  ctx.run.bUpdateRun = false;
  ctx.Timer1.setEnabled(false);
  ctx.Timer3.setEnabled(false);
  if (ReplyLength(ctx) < 11) return;
  const auto& rx = ctx.rx.RxBuffer;
  const std::string running{static_cast<char>(rx[9]), static_cast<char>(rx[10]),
                            static_cast<char>(rx[11])};
  ClosePort(ctx);
  ctx.report.firmwareReported = true;
  ctx.events.FirmwareReported(running);
  if (running != ctx.image.FileFirmware) {
    // The station restarted with other firmware than the file's: the update
    // did not take, and the operator must hear it.
    AppBox(ctx, 0, vbCritical,
           FillPlaceholders(NamedText(ctx, "update.firmwareMismatch"),
                            {running, ctx.image.FileFirmware}));
    return;
  }
  MarkRunOk(ctx, RunKind::Update);
  ctx.view.setText(Control::Caption, ctx.view.text(Control::Caption) + " ok");
  AppBox(ctx, kMsgUpgradeComplete, vbInformation | vbOKOnly,
         GetMlString(ctx, kMsgUpgradeComplete,
                     "The stations time has been set, the upgrade has successfully completed!") +
             "\r\n\r\n" + GetMlString(ctx, kMsgNowHasFirmware, "The station now has firmware: ") + " " +
             ctx.image.FileFirmware + ".");
}

}  // namespace qv
