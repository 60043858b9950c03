#include "update/IdentificationReply.h"

#include <optional>

#include "protocol/Commands.h"
#include "protocol/Identification.h"
#include "protocol/QvBoot.h"
#include "protocol/ReceiveReply.h"
#include "protocol/stdFunc.h"
#include "texts/MessageIds.h"
#include "texts/MlStringModule.h"
#include "update/ClockCommand.h"
#include "update/CommandRun.h"
#include "update/LinkReplies.h"
#include "update/ModeSwitching.h"
#include "update/TransferReplies.h"
#include "update/UpdateRun.h"
#include "update/UpgradeFile.h"

namespace qv {

namespace {

constexpr const char* kOverrideCode = "TorwartFeldLinse";

std::string Text(const Context& ctx, int id, const char* fallback) {
  return GetMlString(ctx, id, fallback);
}

// Every refusal of the file ends the run the same way.
ReplyOutcome RefuseFile(Context& ctx) {
  ctx.run.bUpdateRun = false;
  ctx.image.UpgradeFileBase.clear();
  ClosePort(ctx);
  return ReplyOutcome::Continue;
}

bool BatteryAccepted(Context& ctx, const StationInfo& info) {
  const bool checked =
      ctx.view.text(Control::Master) == ctx.texts.RemoteText || !ctx.station.bUsbStation;
  if (!checked || info.voltage > 3.0f) return true;
  const std::string prompt = Text(ctx, kMsgLowVoltage, "Voltage too low =") + " " +
                             VoltageText(info.voltage, ctx.view.DecimalSeparator()) + " " +
                             Text(ctx, kMsgVolts, "Volts!") + "\r" +
                             Text(ctx, kMsgLoadedAnyway, "Firmware will be loaded anyway!");
  if (AppBox(ctx, kMsgLowVoltage, vbCritical | vbOKCancel | vbDefaultButton2, prompt) != vbCancel) return true;
  ctx.run.bUpdateRun = false;
  ClosePort(ctx);
  return false;
}

// Chooses and checks the file for this station: nothing when the run goes on
// with it, else how the reply ends.
std::optional<ReplyOutcome> ChooseFile(Context& ctx, const StationInfo& info) {
  if (!FindUpgradeFile(ctx, info.hardwareText, info.bootText) || ctx.image.FileFirmware.empty()) {
    // Nothing of an earlier load may be sent instead.
    if (!ctx.image.bDeclinedByOperator)
      AppBox(ctx, kMsgSelectFile, vbCritical, Text(ctx, kMsgSelectFile, "Please select valid update file first"));
    return RefuseFile(ctx);
  }
  const std::string unusable =
      " " + Text(ctx, kMsgFirmwareUnusable, "the firmware cannot be used for this type of hardware!");
  const HardwareGroup group = HardwareGroupOf(info.hardwareText);
  if (group == HardwareGroup::None) {
    AppBox(ctx, kMsgFirmwareUnusable, vbCritical, "Firmware " + ctx.image.FileFirmware + unusable);
    return RefuseFile(ctx);
  }
  if (group == HardwareGroup::A && FirmwareBelow560(ctx.image.FileFirmware) &&
      IsNewHardware(info.productionDate, ctx.clock.now())) {
    AppBox(ctx, kMsgFirmwareUnusable, vbCritical,
           "Firmware:" + ctx.image.FileFirmware + unusable + "\r\n" +
               Text(ctx, kMsgNeeds560, "Please select firmware version 560 and later!"));
    return RefuseFile(ctx);
  }
  if (info.firmware == ctx.image.FileFirmware) {
    const std::string prompt = Text(ctx, kMsgSameFirmware, "The station already has the firmware:") + " " +
                               ctx.image.FileFirmware + ", " + Text(ctx, kMsgReprogramAnyway, "Reprogram anyway?");
    if (AppBox(ctx, kMsgSameFirmware, vbQuestion | vbOKCancel | vbDefaultButton2, prompt) == vbCancel)
      return RefuseFile(ctx);
  }
  if (ctx.image.FoundFileName.empty()) {
    ctx.run.bUpdateRun = false;
    return ReplyOutcome::EndEvent;
  }
  if (!ctx.image.UpgradeFileBase.empty()) {
    const std::string shown = ctx.image.UpgradeFileBase + "upd";
    ctx.view.setText(Control::LabelFileLoad, ctx.view.CompactPath(Control::LabelFileLoad, shown));
    ctx.view.setToolTip(Control::LabelFileLoad, shown);
    ctx.view.setText(Control::StatusPanel,
                     Text(ctx, kMsgStatus, "Status") + " " + ctx.settings.UpgradeFolder);
  }
  ctx.image.UpgradeFileBase.clear();
  return std::nullopt;
}

void StationChanged(Context& ctx) {
  StationBox(ctx, kMsgOtherStation, vbCritical,
             Text(ctx, kMsgOtherStation, "Different station detected.") + " " +
                 PlainNumber(ctx.station.RememberedSerial) + " " +
                 PlainNumber(ctx.station.StationSerial));
  ctx.run.bResumePending = false;
  StopUpdateRun(ctx);  // offsets, counts, progress and the idle flag back to their start
}

// False when the run does not go on to the boot check.
bool HardwareMismatch(Context& ctx, const StationInfo& info) {
  const std::string fileHardware = LongToHex(static_cast<std::uint32_t>(ctx.image.FileHardware), 2);
  if (ctx.settings.HwOverride == kOverrideCode) {
    const std::string prompt = Text(ctx, kMsgHardwareOverride, "The station has hardware version ") +
                               info.hardwareText + "\r\n" +
                               Text(ctx, kMsgFileIsForVersion, "The loaded file is for version") + fileHardware +
                               "\r\n" + Text(ctx, kMsgLoadAnyway, "load it anyway?");
    if (StationBox(ctx, kMsgHardwareOverride, vbYesNo | vbQuestion, prompt) == vbYes) return true;
    ctx.run.bUpdateRun = false;
    ClosePort(ctx);
    ctx.view.setEnabled(Control::Master, true);
    return false;
  }
  ctx.run.bUpdateRun = false;
  ctx.view.setEnabled(Control::Master, true);
  const std::string version = Text(ctx, kMsgHardwareVersionWord, "  the hardware version");
  const std::string prompt =
      Text(ctx, kMsgHardwareDiffers, "The station has") + " " + version + " " + info.hardwareText + "\r\n" +
      Text(ctx, kMsgFileIsForHardware, "the loaded file is however for the version") + " " + fileHardware +
      "!!\r\n\r\n" + Text(ctx, kMsgFileWillChange, "The file will be changed to") + " " + version + " " +
      info.hardwareText + "\r\n" + Text(ctx, kMsgFileWillChangeEnd, " ");
  if (StationBox(ctx, kMsgHardwareDiffers, vbOKCancel | vbQuestion | vbDefaultButton2, prompt) == vbCancel) {
    ClosePort(ctx);
    return false;
  }
  ctx.view.setText(Control::LabelFileLoad, "");
  ctx.image.FoundFileName.clear();
  ctx.image.UpgradeFileBase.clear();
  StartUpdateRun(ctx);
  return false;
}

void BootCheck(Context& ctx, const StationInfo& info) {
  if (!ctx.run.bUpdateRun) return;
  if (info.bootValue != ctx.image.FileBoot) {
    StationBox(ctx, kMsgBootVersion, vbCritical,
               Text(ctx, kMsgBootVersion, "The station has boot version ") + info.bootText + "\r\n" +
                   Text(ctx, kMsgFileIsForVersion, "The loaded file is for version") +
                   LongToHex(static_cast<std::uint32_t>(ctx.image.FileBoot), 2) + "!!");
    ctx.run.bUpdateRun = false;
    ctx.view.setEnabled(Control::Master, true);
    return;
  }
  if (ctx.settings.BaudList != "38400") {
    RaiseStationSpeed(ctx);
  } else {
    BeginTransfer(ctx);
  }
}

// A station that answers is shown at once, the caption included: nothing
// said of the station before it stays in view, whatever this run comes to.
void ShowStation(Context& ctx, const StationInfo& info) {
  ctx.station.StationSerial = info.serial;
  ctx.station.bUsbStation = info.bUsb;
  ctx.view.setText(Control::lblStationsInfo, StationLabel(info));
  ctx.view.setText(Control::Caption, StationCaption(info, "", ""));
  ctx.events.StationIdentified(info);
}

// The station read, then its clock (ClockReply ends the run); nothing is
// written. An incomplete reply is asked for again by the watchdog.
ReplyOutcome StationRead(Context& ctx) {
  if (ctx.rx.RxBuffer[0] != kIdentificationLength || ctx.rx.RxBuffer[3] != 0)
    return ReplyOutcome::Continue;
  ctx.Timer2.setEnabled(false);
  ShowStation(ctx, ReadStationInfo(ctx.rx.RxBuffer));
  if (ctx.run.bReadClock) {
    SendClockCommand(ctx, 1);
  } else {
    MarkRunOk(ctx, RunKind::Identify);
    ClosePort(ctx);
  }
  return ReplyOutcome::EndEvent;
}

// A poll's short identification: whether a station is there, and which.
ReplyOutcome StationAnswered(Context& ctx) {
  if (ctx.rx.RxBuffer[0] < kShortIdentification + 3 || ctx.rx.RxBuffer[3] != 0)
    return ReplyOutcome::Continue;  // the watchdog ends the poll
  ctx.Timer2.setEnabled(false);
  ctx.events.StationAnswered(ReadStationInfo(ctx.rx.RxBuffer).serial);
  MarkRunOk(ctx, RunKind::Poll);
  ClosePort(ctx);
  return ReplyOutcome::EndEvent;
}

}  // namespace

ReplyOutcome IdentificationReply(Context& ctx) {
  if (ctx.report.active && ctx.report.kind == RunKind::Identify) return StationRead(ctx);
  if (ctx.report.active && ctx.report.kind == RunKind::Poll) return StationAnswered(ctx);
  ctx.timeSet.TimeReplyState = 0;
  ctx.Timer2.setEnabled(false);
  ctx.view.setText(Control::lblStationsInfo, "");
  ctx.run.bUpdateRun = true;
  if (ctx.timeSet.bVerifyAfterUpgrade) {
    ctx.run.bUpdateRun = false;
    ConfirmUpgrade(ctx);
    return ReplyOutcome::Continue;
  }
  if (ctx.rx.RxBuffer[0] != kIdentificationLength || ctx.rx.RxBuffer[3] != 0) {
    ctx.run.bUpdateRun = false;
    return ReplyOutcome::Continue;
  }
  const StationInfo info = ReadStationInfo(ctx.rx.RxBuffer);
  if (!ctx.run.bResumePending) ctx.station.RememberedSerial = info.serial;
  ShowStation(ctx, info);
  if (!BatteryAccepted(ctx, info)) return ReplyOutcome::Continue;
  if (!ctx.run.bResumePending && ctx.run.OperationMode == kModeChooseFile) {
    if (const auto ended = ChooseFile(ctx, info)) return *ended;
  }
  ctx.view.setText(Control::Caption,
                   StationCaption(info, ctx.image.FileTitle, ctx.image.FileFirmware));
  const bool sameHardware = info.HwWord == ctx.image.FileHardware;
  if (ctx.run.bResumePending) {
    if (!sameHardware || info.serial != ctx.station.RememberedSerial) {
      StationChanged(ctx);
      return ReplyOutcome::Continue;
    }
    // Same station: the transfer goes on from the start of the page. The
    // station has just identified itself, so the mode reply only sends the
    // block (a second identification would put a second block in flight).
    ctx.run.bResumePending = false;
    WatchModeReply(ctx);
    ContactStation(ctx);
    ctx.run.bIdentifyAfterMode = false;
    return ReplyOutcome::EndEvent;
  }
  if (!sameHardware && !HardwareMismatch(ctx, info)) return ReplyOutcome::Continue;
  BootCheck(ctx, info);
  return ReplyOutcome::Continue;
}

}  // namespace qv
