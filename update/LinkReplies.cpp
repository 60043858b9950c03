#include "update/LinkReplies.h"

#include "protocol/Commands.h"
#include "protocol/QvBoot.h"
#include "protocol/ReceiveReply.h"
#include "texts/MessageIds.h"
#include "texts/MlStringModule.h"
#include "update/ClockCommand.h"
#include "update/CommandRun.h"
#include "update/ModeSwitching.h"
#include "update/StationClock.h"
#include "update/UpdateRun.h"

namespace qv {

namespace {

// A short reply carries a status byte, then its value: both must have come.
bool HasValue(const Context& ctx) {
  return ctx.rx.RxCount >= 2;
}

}  // namespace

void RaiseStationSpeed(Context& ctx) {
  ctx.TimerEfi.setInterval(kBaudReplyTimeoutMs);
  ctx.TimerEfi.setEnabled(true);
  Baud38400_Click(ctx);
}

ReplyOutcome ModeReply(Context& ctx) {
  if (!HasValue(ctx)) return ReplyOutcome::Continue;
  ctx.link.ModeRetryCount = 0;
  ctx.view.setEnabled(Control::Master, true);
  ctx.Timer3.setEnabled(false);
  if (ctx.timeSet.bClockFrameOut) {
    // The mode was answered before the clock frame went out: this is the
    // line repeating that answer, and the clock's reply is still awaited.
    ctx.TimerEfi.setEnabled(true);
    return ReplyOutcome::Continue;
  }
  if (ctx.run.OperationMode == kModeClockAwaitsMode) {
    SendClockCommand(ctx, 2);
    return ReplyOutcome::Continue;
  }
  ctx.link.CurrentBaud = PortSpeed(ctx);
  if (ctx.link.StartBaud == 0) {
    ctx.link.StartBaud = ctx.link.CurrentBaud;
    // A station only read keeps the speed it was found at.
    const bool readOnly = ctx.report.active &&
                          (ctx.report.kind == RunKind::Identify || ctx.report.kind == RunKind::Poll);
    if (ctx.link.StartBaud != 38400 && !readOnly) {
      RaiseStationSpeed(ctx);
      return ReplyOutcome::EndEvent;
    }
  }
  // One block in flight at a time: a second mode reply (a retry answered
  // late) must not start the transfer twice.
  if (ctx.run.bUpdateRun && !ctx.run.bBlockAwaitingAck) SendDataBlock(ctx);
  // The list and the entry the next mode frame follows say the same.
  ctx.link.MasterListIndex = ctx.rx.RxBuffer[1] == 'M' ? 0 : 1;
  ctx.view.setText(Control::Master,
                   ctx.link.MasterListIndex == 0 ? ctx.texts.DirectText : ctx.texts.RemoteText);
  if (ctx.run.bIdentifyAfterMode) {
    ctx.run.bIdentifyAfterMode = false;
    RequestSystemData(ctx, kFullIdentification);
  } else if (!ctx.run.bUpdateRun) {
    ClosePort(ctx);
  }
  return ReplyOutcome::Continue;
}

ReplyOutcome BaudSwitchConfirmed(Context& ctx) {
  ctx.TimerEfi.setEnabled(false);
  ctx.view.setEnabled(Control::Master, true);
  return ReplyOutcome::Continue;
}

ReplyOutcome BaudReply(Context& ctx) {
  if (!HasValue(ctx)) return ReplyOutcome::Continue;
  ClosePort(ctx);
  SetBaudList(ctx, ctx.rx.RxBuffer[1] == 1 ? "38400" : "4800");
  CommPortFromPortList(ctx);
  ApplyBaud(ctx, ctx.settings.BaudList);
  EnsurePortOpen(ctx);
  ctx.clock.sleep(kReopenPauseMs);
  if (ctx.run.bUpdateRun) {
    // The key goes out only after every data byte is acknowledged; a station
    // that stays at 4800 is updated at 4800. BeginTransfer sends the one mode
    // frame this switch needs.
    if (ctx.settings.BaudList == "4800" && ctx.run.bAllDataAcknowledged) {
      FinishUpgrade(ctx);
    } else {
      BeginTransfer(ctx);
    }
    return ReplyOutcome::EndEvent;
  }
  // A station that stays at its first speed is asked for its mode all the
  // same: the mode list, cleared by the first mode frame, would stay empty
  // and a run waiting for the identification would stall without a word.
  const bool modeUnknown = ctx.view.text(Control::Master).empty() || ctx.run.bIdentifyAfterMode;
  if (!ctx.frames.PendingFrame.empty()) {
    Senden(ctx, ctx.frames.PendingFrame);
  } else if (PortSpeed(ctx) != ctx.link.StartBaud || modeUnknown) {
    WatchModeReply(ctx);
    SendMasterMode(ctx);
  }
  return ReplyOutcome::Continue;
}

ReplyOutcome ClockReply(Context& ctx) {
  if (ctx.rx.RxBuffer[0] < 9) return ReplyOutcome::Continue;
  if (!ctx.timeSet.bClockFrameOut) return ReplyOutcome::Continue;  // a doubled reply
  ctx.timeSet.bClockFrameOut = false;
  if (ctx.report.active && ctx.report.kind == RunKind::Identify) {
    // A station read ends with its clock's difference, told and not shown.
    ctx.TimerEfi.setEnabled(false);
    ClosePort(ctx);
    ctx.events.StationClockRead(
        StationMinusPcMs(ctx.clock.now(), ReadStationTime(ctx.rx.RxBuffer)));
    MarkRunOk(ctx, RunKind::Identify);
    return ReplyOutcome::Continue;
  }
  auto& mode = ctx.run.OperationMode;
  if (ctx.rx.RxCommand == SET_TIME) {
    ClosePort(ctx);
    ctx.timeSet.bVerifyAfterUpgrade = mode == kModeFileChosen;
  } else {
    if (mode == kModeClockAwaitsMode) mode = kModeNone;
    ClosePort(ctx);
    if (ctx.settings.BaudList == "38400" && mode == kModeFileChosen && PortSpeed(ctx) == 4800)
      ApplyBaud(ctx, "38400");
  }
  ctx.TimerEfi.setEnabled(false);

  const LocalDateTime pc = ctx.clock.now();
  const char separator = ctx.view.DecimalSeparator();
  const ClockCheck check = CheckStationClock(pc, ctx.rx.RxBuffer, separator);
  const std::string pcTime = GetMlString(ctx, kMsgPcTime, "PC time ");
  const std::string stationWord = GetMlString(ctx, kMsgStationWord, "Station");
  const bool commandModes = mode == kModeNone || mode == kModeClockRead || mode == kModeFileChosen;
  const std::string p = commandModes ? check.pcText : std::string();
  const std::string t =
      commandModes ? p + " " + pcTime + "\r\n"
                   : pcTime + PcDateTimeText(pc) + "  " +
                         PlainFractionText(pc.millisecond, separator) + "\r\n" + stationWord +
                         std::to_string(ReadStationTime(ctx.rx.RxBuffer).codeNumber) + " ";

  if (mode == kModeClockRead && ctx.timeSet.TimeSetCount == 0) {
    std::string text = t + check.stationText + " " + stationWord + " ";
    if (check.agree) {
      MarkRunOk(ctx, RunKind::Clock);
      AppBox(ctx, kMsgPcTime, vbInformation | vbOKOnly, text);
      return ReplyOutcome::Continue;
    }
    text += "\r\n\r\n" + GetMlString(ctx, kMsgSetStationTime, "Set station time with PC time");
    if (AppBox(ctx, kMsgSetStationTime, vbQuestion | vbYesNo | vbDefaultButton2, text) == vbYes) {
      SendClockCommand(ctx, 0);
      mode = kModeNone;
    }
    return ReplyOutcome::Continue;
  }
  if (mode != kModeFileChosen && mode != kModeNone && ctx.timeSet.TimeSetCount < 1) {
    StationBox(
        ctx, kMsgPcTime, vbInformation | vbOKOnly,
        t + "  " + FractionText(ReadStationTime(ctx.rx.RxBuffer).fraction, separator) + "\r\n");
    return ReplyOutcome::Continue;
  }
  mode = kModeNone;
  MarkRunOk(ctx, RunKind::Clock);
  ctx.view.setText(Control::StatusPanel, GetMlString(ctx, kMsgStatus, "Status") + " " +
                                             GetMlString(ctx, kMsgTimeSet, "Time set: ") + p);
  if (ctx.timeSet.bVerifyAfterUpgrade || ctx.timeSet.TimeSetCount >= 1) {
    ctx.timeSet.TimeReplyState = 1;
    ctx.Timer2.setEnabled(true);
    RequestSystemData(ctx, kShortIdentification);
  }
  return ReplyOutcome::Continue;
}

}  // namespace qv
