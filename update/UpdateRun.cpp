#include "update/UpdateRun.h"

#include <optional>

#include "core/Context.h"
#include "core/Errors.h"
#include "protocol/Commands.h"
#include "protocol/QvBoot.h"
#include "protocol/ReceiveReply.h"
#include "texts/MessageIds.h"
#include "texts/MlStringModule.h"
#include "protocol/RunNotes.h"
#include "update/ClockCommand.h"
#include "update/CommandRun.h"
#include "update/ModeSwitching.h"
#include "update/Progress.h"
#include "update/TransferReplies.h"

namespace qv {

namespace {

std::string Percent(const Context& ctx, const char* whole) {
  return std::string(whole) + ctx.view.DecimalSeparator() + "0%";
}

// Opens the port if it is closed; why it could not, when it could not.
std::optional<PlatformError> OpenStationPort(Context& ctx) {
  if (ctx.MSComm.PortOpen()) return std::nullopt;
  try {
    ctx.MSComm.setPortOpen(true);
  } catch (const PlatformError& e) {
    return e;
  }
  return std::nullopt;
}

}  // namespace

void mnuCommandStartUpdate_Click(Context& ctx) {
  EngineEvent event(ctx);
  ctx.timeSet.TimeSetCount = 0;
  ctx.timeSet.TimeReplyState = 0;
  ctx.timeSet.bVerifyAfterUpgrade = false;
  // The state, not the label's text: the label follows the language.
  if (ctx.link.bNoPort) {
    mnuCommandInitComm_Click(ctx);
    return;
  }
  if (ctx.view.text(Control::Master).empty()) {
    ctx.view.setEnabled(Control::Master, true);
    ctx.view.DropDown(Control::Master);
    return;
  }
  BeginRun(ctx, RunKind::Update);
  EnsurePortOpen(ctx);
  ResetClockState(ctx);
  StartUpdateRun(ctx);
}

namespace {

void ReadStation(Context& ctx, bool withClock) {
  EngineEvent event(ctx);
  ctx.run.bReadClock = withClock;
  if (ctx.link.bNoPort) {
    mnuCommandInitComm_Click(ctx);
    return;
  }
  BeginRun(ctx, RunKind::Identify);
  ResetClockState(ctx);
  ctx.run.OperationMode = kModeNone;
  if (!EnsurePortOpen(ctx)) {
    AppBox(ctx, kMsgPortNotOpened, vbCritical, GetMlString(ctx, kMsgPortNotOpened, "Could not open port"));
    return;
  }
  ctx.run.bIdentifyAfterMode = true;
  Master_Click(ctx);
}

}  // namespace

void ReadStation_Click(Context& ctx) {
  ReadStation(ctx, true);
}

void IdentifyStation(Context& ctx) {
  ReadStation(ctx, false);
}

void mnuCommandInitComm_Click(Context& ctx) {
  ResetClockState(ctx);
  if (!ctx.view.ShowPortDialog()) return;
  ctx.link.bNoPort = false;
  SelectMasterEntry(ctx, ctx.link.MasterListIndex);
  ctx.view.setText(Control::lblCOM, ctx.settings.PortList);
}

void PollStation(Context& ctx, PollWay way) {
  EngineEvent event(ctx);
  BeginRun(ctx, RunKind::Poll);
  ResetClockState(ctx);
  ctx.run.OperationMode = kModeNone;
  ctx.timeSet.TimeReplyState = 0;
  ctx.timeSet.bVerifyAfterUpgrade = false;
  if (way == PollWay::OtherSpeed) {
    // A station placed after another may talk at the other speed.
    ClosePort(ctx);
    SetBaudList(ctx, ctx.settings.BaudList != "4800" ? "4800" : "38400");
    ApplyBaud(ctx, ctx.settings.BaudList);
  }
  if (!EnsurePortOpen(ctx)) return;  // nothing on the line: the poll ends quietly
  const bool setMode = way == PollWay::SetMode;
  if (setMode) {
    // The mode frame alone: a relaying master then passes the question on.
    Master_Click(ctx);
    return;
  }
  DiscardInput(ctx);
  ResetReceiveState(ctx);
  RequestSystemData(ctx, kShortIdentification);
}

void mnuCommandStop_Click(Context& ctx) {
  EngineEvent event(ctx);
  ctx.report.stopped = true;
  ctx.image.UpgradeFileBase.clear();
  ClosePort(ctx);
  ctx.Timer2.setEnabled(false);
  ResetClockState(ctx);
  StopUpdateRun(ctx);  // offsets, counts, progress and the idle flag back to their start
}

void StartUpdateRun(Context& ctx) {
  ctx.view.setText(Control::StatusPanel, "");
  ctx.run.bResumePending = false;
  ctx.run.bLinkIdle = false;
  ctx.run.bStopRequested = false;
  ctx.run.LastErrorOffset = ctx.run.TransferOffset;
  ctx.run.RetryCount = 0;
  ctx.run.RewindPage = -1;
  ctx.run.RewindCount = 0;
  ClearTransferState(ctx);
  ctx.run.OperationMode = ctx.image.UpgradeFileBase.empty() ? kModeChooseFile : kModeNone;
  ctx.TimerEfi.setInterval(kStartTimeoutMs);
  ctx.TimerEfi.setEnabled(true);
  ContactStation(ctx);
}

void ContactStation(Context& ctx) {
  const bool fileLoaded =
      ctx.image.UpdateKey.size() >= kMinKeyLength && ctx.image.FileHardware != 0;
  if (!fileLoaded && ctx.run.OperationMode != kModeChooseFile) {
    // Nothing goes out, so the no-reply watchdog would only add a second,
    // wrong message ("Station not ready!").
    ctx.TimerEfi.setEnabled(false);
    AppBox(ctx, kMsgSelectFile, vbCritical, GetMlString(ctx, kMsgSelectFile, "Please select valid update file first"));
    ctx.run.bUpdateRun = false;
    return;
  }
  if (!EnsurePortOpen(ctx)) return;  // TimerEfi reports the missing station
  ctx.run.bIdentifyAfterMode = true;
  SendMasterMode(ctx);
}

void BeginTransfer(Context& ctx) {
  if (ctx.image.UpdateKey.size() < kMinKeyLength) {
    ctx.run.bUpdateRun = false;
    StationBox(ctx, kMsgNoValidKey, vbCritical,
               GetMlString(ctx, kMsgNoValidKey, "No valid update key. Must be at least 8 chars long."));
    return;
  }
  if (!ctx.MSComm.PortOpen()) {
    AppBox(ctx, kMsgPortNotOpened, vbCritical, GetMlString(ctx, kMsgPortNotOpened, "Could not open port"));
    return;
  }
  DiscardInput(ctx);
  ResetReceiveState(ctx);
  ctx.run.RetryCount = 0;
  ctx.run.BlockSize = kFullBlock;
  ClearTransferState(ctx);
  const auto size = static_cast<std::int32_t>(ctx.image.UpgradeData.size());
  ctx.view.setProgressMaximum(size > 0 ? size - 1 : 0);
  ctx.view.setVisible(Control::ProgressBar, true);
  ctx.view.ShowProgress(0);
  ctx.view.setText(Control::labProgress, "");
  // The mode reply sends the first block.
  SelectMasterEntry(ctx, ctx.link.MasterListIndex);
}

// What one transfer learnt must not carry over into the next: a station that
// answers a later run's speed request would otherwise get the key before any
// block of that run.
void ClearTransferState(Context& ctx) {
  ctx.run.bBlockAwaitingAck = false;
  ctx.run.bAllDataAcknowledged = false;
}

void SendDataBlock(Context& ctx) {
  ctx.view.setEnabled(Control::Master, false);
  const auto length = static_cast<std::int32_t>(ctx.image.UpgradeData.size());
  std::int32_t count = ctx.run.BlockSize;
  if (length < ctx.run.TransferOffset + ctx.run.BlockSize) count = length - ctx.run.TransferOffset;
  if (count <= 0) {
    ctx.run.bAllDataAcknowledged = true;
    FinishUpgrade(ctx);
    return;
  }
  Bytes frame = WriteBlockFrame(ctx.image.UpgradeData, ctx.run.TransferOffset, count);
  ctx.view.ShowProgress(ctx.run.TransferOffset);
  ctx.Timer2.setEnabled(true);
  ctx.run.bBlockAwaitingAck = true;
  Senden(ctx, std::move(frame));
}

void FinishUpgrade(Context& ctx) {
  ctx.view.setText(Control::labProgress, Percent(ctx, "99"));
  Bytes frame = InitUpdateFrame(ctx.image.UpdateKey);
  if (frame.empty()) {
    // A key no frame can carry is refused when the file is loaded; should one
    // get here, the station is told nothing rather than half a key.
    StationBox(ctx, kMsgNoValidKey, vbCritical,
               GetMlString(ctx, kMsgNoValidKey, "No valid update key. Must be at least 8 chars long."));
    StopUpdateRun(ctx);
    return;
  }
  Senden(ctx, std::move(frame));
  ctx.view.setText(Control::labProgress, Percent(ctx, "100"));
  ctx.run.TransferOffset = 0;
  ctx.run.LastErrorOffset = 0;
  ctx.run.RetryCount = 0;
  ctx.view.ShowProgress(0);
  ctx.run.bUpdateRun = false;
  ctx.run.bBlockAwaitingAck = false;
  ctx.run.bLinkIdle = true;
  ctx.view.setEnabled(Control::Master, true);
  ctx.view.setText(Control::labProgress, "");
  DiscardInput(ctx);
  // The station answers the key with its verdict; the pause lets that answer
  // in (a refused image must not be reported as loaded) and keeps the window
  // live. No block watchdog until the clock frame.
  ctx.Timer2.setEnabled(false);
  ctx.run.bKeyWait = true;
  ctx.run.KeyResult = 0;
  ctx.TimerKeyWait.setEnabled(false);
  ctx.TimerKeyWait.setInterval(kKeyWaitMs);
  ctx.TimerKeyWait.setEnabled(true);
}

void KeyWait_Timer(Context& ctx) {
  ctx.TimerKeyWait.setEnabled(false);
  if (ctx.run.bPortReturnWait) {
    PortReturn_Timer(ctx);
    return;
  }
  if (!ctx.run.bKeyWait) return;
  ctx.run.bKeyWait = false;
  ctx.TimerEfi.setEnabled(false);
  ClosePort(ctx);
  ctx.run.bUpdateRun = false;
  ctx.run.bLinkIdle = true;
  EnterPhase(ctx, RunPhase::RestartWait);
  const std::string prompt =
      GetMlString(ctx, kMsgFirmwareLoaded, "Firmware has been loaded to the station!") + "\r\r" +
      GetMlString(ctx, kMsgDoNotRemove, "Please do NOT remove the station yet!") + "\r" +
      GetMlString(ctx, kMsgClickAfterBeeps, "Click OK after station has beeped twice") + "\r" +
      GetMlString(ctx, kMsgToSetClock, "to set date and time to the station!") + "\r" +
      GetMlString(ctx, kMsgThenComplete, "After this the firmware upgrade is completed successfully!") + "\r";
  if (StationBox(ctx, kMsgFirmwareLoaded, vbOKCancel | vbQuestion, prompt) == vbCancel) {
    // The clock is not set; the stop command ends the run.
    set_ButtonsAktiv(ctx, false);
    ctx.view.setEnabled(Control::Master, true);
    return;
  }
  if (!ctx.station.bUsbStation && ctx.link.MasterListIndex == 0) {
    SetBaudList(ctx, "4800");
    ApplyBaud(ctx, "4800");
  }
  const auto failure = OpenStationPort(ctx);
  if (failure && failure->number() == kErrPortNotFound) {
    // A USB station is off the bus while it restarts and may come back under
    // another device name; the port map finds it by its remembered number.
    ctx.run.bPortReturnWait = true;
    ctx.run.PortReturnSinceMs = ctx.clock.monotonicMs();
    ctx.TimerKeyWait.setInterval(kPortRetryMs);
    ctx.TimerKeyWait.setEnabled(true);
    return;
  }
  SetClockAfterUpgrade(ctx);
}

void PortReturn_Timer(Context& ctx) {
  const auto failure = OpenStationPort(ctx);
  if (!failure || failure->number() != kErrPortNotFound) {
    ctx.run.bPortReturnWait = false;
    SetClockAfterUpgrade(ctx);
    return;
  }
  if (ctx.clock.monotonicMs() - ctx.run.PortReturnSinceMs < kPortReturnWaitMs) {
    ctx.TimerKeyWait.setEnabled(true);
    return;
  }
  ctx.run.bPortReturnWait = false;
  AppBox(ctx, kMsgPortNotOpened, vbCritical,
         GetMlString(ctx, kMsgPortNotOpened, "Could not open port") + "\r" + failure->description());
  set_ButtonsAktiv(ctx, true);
}

void SetClockAfterUpgrade(Context& ctx) {
  DiscardInput(ctx);
  // A reply cut short before the restart must not be completed by the first
  // byte after it.
  ResetReceiveState(ctx);
  ctx.timeSet.TimeSetCount = 1;
  ctx.timeSet.bSettingTime = true;
  ctx.TimerEfi.setInterval(kClockTimeoutMs);
  ctx.TimerEfi.setEnabled(true);
  SendClockCommand(ctx, 0);
  set_ButtonsAktiv(ctx, true);
}

void StopUpdateRun(Context& ctx) {
  ClosePort(ctx);
  ctx.TimerEfi.setEnabled(false);
  // A stop during the pause after the key cancels the prompt, one while the
  // station's port is awaited the clock.
  ctx.TimerKeyWait.setEnabled(false);
  ctx.run.bKeyWait = false;
  ctx.run.bPortReturnWait = false;
  ctx.run.bUpdateRun = false;
  ClearTransferState(ctx);
  ctx.view.setEnabled(Control::Master, true);
  ctx.run.bStopRequested = true;
  ctx.run.TransferOffset = 0;
  ctx.view.ShowProgress(0);
  ctx.view.setText(Control::labProgress, "");
  ctx.run.bLinkIdle = true;
  set_ButtonsAktiv(ctx, true);
  ctx.run.LastErrorOffset = 0;
  ctx.run.RetryCount = 0;
}

void set_ButtonsAktiv(Context& ctx, bool bSet) {
  for (const Control c :
       {Control::tbExit, Control::tbStart, Control::tbSelectPort, Control::tbSetTime,
        Control::tbReadStation}) {
    if (ctx.view.isEnabled(c) != bSet) ctx.view.setEnabled(c, bSet);
  }
  if (ctx.view.isEnabled(Control::tbCancel) != !bSet) ctx.view.setEnabled(Control::tbCancel, !bSet);
  for (const Control c :
       {Control::Master, Control::btnSelectPort, Control::btnStart, Control::mnuCommandInitComm,
        Control::mnuCommandSetTime, Control::mnuCommandStartUpdate,
        Control::mnuCommandReadStation, Control::mnuGerman,
        Control::mnuEnglish, Control::mnuFileOpen, Control::mnuFrench, Control::btnSetBaud}) {
    ctx.view.setEnabled(c, bSet);
  }
  ctx.view.setEnabled(Control::mnuCommandStop, !bSet);
  ctx.view.setEnabled(Control::btnCancel, !bSet);
}

void ResetClockState(Context& ctx) {
  ctx.run.bIdentifyAfterMode = false;
  ctx.timeSet.bSettingTime = false;
  ctx.timeSet.bClockFrameOut = false;
}

void AskAfterTooManyErrors(Context& ctx) {
  ctx.run.RetryCount = 0;
  ctx.Timer2.setEnabled(false);
  const std::string prompt = GetMlString(ctx, kMsgWriteProblem, "Problem writing to station.") + "\r" +
                             GetMlString(ctx, kMsgContinue, "Continue?");
  if (AppBox(ctx, kMsgWriteProblem, vbOKCancel | vbQuestion, prompt) == vbCancel) {
    StopUpdateRun(ctx);
    return;
  }
  ctx.run.TransferOffset &= ~0xFF;
  ctx.run.BlockSize = kFullBlock;
  ctx.run.RetryCount = 0;
  ctx.run.RewindCount = 0;
  ctx.run.bUpdateRun = false;
  ctx.run.bBlockAwaitingAck = false;
  ctx.run.bResumePending = true;
  RequestSystemData(ctx, kFullIdentification);
}

void ShowTransferProgress(Context& ctx) {
  const auto size = static_cast<std::int32_t>(ctx.image.UpgradeData.size());
  ctx.view.setText(
      Control::labProgress,
      ProgressText(ctx.run.TransferOffset, size > 0 ? size - 1 : 0, ctx.view.DecimalSeparator()));
  ctx.view.setVisible(Control::ProgressBar, true);
}

}  // namespace qv
