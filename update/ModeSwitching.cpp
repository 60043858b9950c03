#include "update/ModeSwitching.h"

#include <charconv>

#include "core/Context.h"
#include "core/Errors.h"
#include "protocol/Commands.h"
#include "protocol/QvBoot.h"
#include "protocol/RunNotes.h"
#include "texts/MessageIds.h"
#include "texts/MlStringModule.h"
#include "update/CommandRun.h"
#include "update/UpdateRun.h"

namespace qv {

namespace {

std::int32_t LeadingNumber(std::string_view text) {
  std::int32_t value = 0;
  std::from_chars(text.data(), text.data() + text.size(), value);
  return value;
}

}  // namespace

std::int32_t PortSpeed(const Context& ctx) {
  return LeadingNumber(ctx.MSComm.Settings());
}

void ApplyBaud(Context& ctx, const std::string& baudText) {
  const std::int32_t current = PortSpeed(ctx);
  const std::int32_t wanted = LeadingNumber(baudText);
  if (current == 4800 && wanted == 38400 && ctx.link.CurrentBaud == 4800) {
    ctx.view.setVisible(Control::imgBaudWarning, true);
    ctx.view.setVisible(Control::lblDescConn, true);
  } else if (current == 38400 && wanted == 4800) {
    ctx.view.setVisible(Control::imgBaudWarning, false);
    ctx.view.setVisible(Control::lblDescConn, false);
  }
  const std::string text = (baudText == "4800" || baudText == "38400") ? baudText : "4800";
  ctx.view.setText(Control::lblBaudrate, text);
  try {
    ctx.MSComm.setSettings(text + ",n,8,1");
  } catch (const PlatformError&) {
    // A port that refuses the speed keeps its old one; the next reply tells.
  }
}

void SetBaudList(Context& ctx, const std::string& baudText) {
  ctx.settings.BaudList = baudText;
  if (baudText == "38400") ctx.view.setText(Control::btnSetBaud, "&Baud 38400->4800");
  if (baudText == "4800") ctx.view.setText(Control::btnSetBaud, "&Baud 4800->38400");
}

void SelectMasterEntry(Context& ctx, int index) {
  ctx.link.MasterListIndex = static_cast<std::int16_t>(index == 0 ? 0 : 1);
  ctx.view.setText(Control::Master, index == 0 ? ctx.texts.DirectText : ctx.texts.RemoteText);
  Master_Click(ctx);
}

void RestoreStationLink(Context& ctx) {
  EngineEvent event(ctx);
  BeginRun(ctx, RunKind::RestoreLink);
  if (ctx.link.StartBaud == 0 || PortSpeed(ctx) == ctx.link.StartBaud) {
    MarkRunOk(ctx, RunKind::RestoreLink);  // nothing to put back
    return;
  }
  ctx.window.bClosing = true;
  EnsurePortOpen(ctx);
  SelectMasterEntry(ctx, 0);
}

void WatchModeReply(Context& ctx) {
  ctx.Timer3.setInterval(kModeReplyTimeoutMs);
  ctx.Timer3.setEnabled(true);
}

void Master_Click(Context& ctx) {
  // No port chosen: the operator picks one first; when closing there is
  // nothing to put back.
  if (ctx.link.bNoPort) {
    if (!ctx.window.bClosing) mnuCommandInitComm_Click(ctx);
    // Cancelled: no mode was set, so the list shows none.
    if (ctx.link.bNoPort) ctx.view.setText(Control::Master, "");
    return;
  }
  // Closing before any station answered: nobody identified the device on the
  // port, so nothing is sent to it.
  if (ctx.window.bClosing && ctx.link.StartBaud == 0) return;
  ctx.run.bLinkIdle = false;
  ctx.timeSet.bClockFrameOut = false;  // a new exchange: no clock reply is awaited
  WatchModeReply(ctx);
  const std::int32_t speed = PortSpeed(ctx);
  if (ctx.window.bClosing && speed != ctx.link.StartBaud) {
    if (ctx.link.StartBaud == 38400)
      Baud38400_Click(ctx);
    else
      Baud4800_Click(ctx);
    return;
  }
  ctx.view.setEnabled(Control::Master, false);
  SendMasterMode(ctx);
}

void SendMasterMode(Context& ctx) {
  // The entry chosen decides, not the list's text: the text is cleared below
  // until the reply, and a repeated frame must not turn a direct link into a
  // relayed one.
  const bool relayed = ctx.link.MasterListIndex != 0;
  if (ctx.run.OperationMode != kModeClockAwaitsMode) ctx.view.setText(Control::Master, "");
  Bytes frame = SetModeFrame(relayed);
  ctx.frames.LastFrame = frame;
  Senden(ctx, std::move(frame));
}

namespace {

void SendBaudCommand(Context& ctx, std::int32_t baud) {
  ctx.run.bLinkIdle = false;
  Bytes frame = SetBaudFrame(baud);
  ctx.frames.LastFrame = frame;
  if (baud == 38400) ctx.frames.BaudUpFrame = frame;
  Senden(ctx, std::move(frame));
}

}  // namespace

void Baud38400_Click(Context& ctx) {
  SendBaudCommand(ctx, 38400);
}

void Baud4800_Click(Context& ctx) {
  SendBaudCommand(ctx, 4800);
}

void btnSetBaud_Click(Context& ctx) {
  EnsurePortOpen(ctx);
  ctx.TimerEfi.setInterval(kBaudReplyTimeoutMs);
  ctx.TimerEfi.setEnabled(true);
  if (!ctx.MSComm.PortOpen()) {
    AppBox(ctx, kMsgPortNotOpened, vbCritical, GetMlString(ctx, kMsgPortNotOpened, " Anschluß konnte nicht geöffnet werden"));
    return;
  }
  if (ctx.settings.BaudList == "4800")
    Baud38400_Click(ctx);
  else if (ctx.settings.BaudList == "38400")
    Baud4800_Click(ctx);
}

namespace {

// The number after "COM"; throws PlatformError when the port cannot take it.
void SetCommPort(Context& ctx) {
  const std::string& port = ctx.settings.PortList;
  ctx.MSComm.setCommPort(LeadingNumber(port.size() > 3 ? std::string_view(port).substr(3) : ""));
}

}  // namespace

bool CommPortFromPortList(Context& ctx) {
  try {
    SetCommPort(ctx);
  } catch (const PlatformError&) {
    return false;
  }
  return true;
}

void Timer3_Timer(Context& ctx) {
  ctx.Timer3.setEnabled(false);
  if (!ctx.MSComm.PortOpen()) {
    // Nothing more will be tried; the list must not stay locked.
    ctx.view.setEnabled(Control::Master, true);
    // The clock command waited for this reply: the port went away under it
    // (an unplugged adapter), and the operator must hear that nothing came.
    if (ctx.run.OperationMode == kModeClockAwaitsMode) {
      ctx.run.OperationMode = kModeNone;
      AppBox(ctx, kMsgStationNotReady, vbCritical, GetMlString(ctx, kMsgStationNotReady, "Station not ready!"));
    }
    return;
  }
  ClosePort(ctx);
  SetBaudList(ctx, ctx.settings.BaudList != "4800" ? "4800" : "38400");
  try {
    SetCommPort(ctx);
  } catch (const PlatformError& e) {
    ctx.view.setEnabled(Control::Master, true);
    AppBox(ctx, 0, vbCritical, std::to_string(e.number()) + " " + e.description());
    return;
  }
  ApplyBaud(ctx, ctx.settings.BaudList);
  EnsurePortOpen(ctx);
  ctx.clock.sleep(kReopenPauseMs);
  if (ctx.link.ModeRetryCount < kModeRetries) {
    ++ctx.link.ModeRetryCount;
    Master_Click(ctx);
    return;
  }
  ctx.link.ModeRetryCount = 0;
  ctx.view.setEnabled(Control::Master, true);
  // The port stays open for the operator's next try; the run that waited
  // for this reply ends with the box.
  NoteReplyGivenUp(ctx);
  AppBox(ctx, kMsgStationNotReady, vbCritical, GetMlString(ctx, kMsgStationNotReady, "Station nicht bereit!"));
  // A run that waited for this reply is over: the controls come back.
  ctx.run.bIdentifyAfterMode = false;
  if (ctx.run.bUpdateRun) StopUpdateRun(ctx);
}

bool MasterKeyEntry(Context& ctx, int index) {
  const std::string& shown = index == 0 ? ctx.texts.DirectText : ctx.texts.RemoteText;
  if (ctx.view.text(Control::Master) == shown) return false;
  SelectMasterEntry(ctx, index);
  ctx.view.setEnabled(Control::Master, false);
  return true;
}

int MasterArrowKey(Context& ctx) {
  const int index = ctx.view.text(Control::Master) != ctx.texts.RemoteText ? 1 : 0;
  SelectMasterEntry(ctx, index);
  ctx.view.setEnabled(Control::Master, false);
  return index;
}

}  // namespace qv
