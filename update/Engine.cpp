#include "update/Engine.h"

#include "core/Context.h"
#include "protocol/ReceiveReply.h"
#include "texts/MessageIds.h"
#include "texts/MlStringModule.h"
#include "update/CommandRun.h"
#include "update/ModeSwitching.h"
#include "update/UpdateRun.h"
#include "update/Watchdogs.h"

namespace qv {

namespace {

constexpr int kIdleEfiMs = 1500;

// Station result codes 1..8 and line events 20..32; the German texts stand in
// only should a language lack one.
constexpr struct {
  int index;
  int id;
  const char* fallback;
} kErrorTextIds[] = {
    {1, 1165, "Im Puffer der Seriellen Schnittstelle war kein ETX am Ende"},
    {2, 1166, "CRC-Fehler in der Übertragung"},
    {3, 1167, "Längenfehler im Übertragungsblock"},
    {4, 1168, "Falsche Prüfsumme im Übertragungsblock"},
    {5, 1169, "Fehler bei der Programmierprüfung"},
    {6, 1170, "Pufferüberlauf im Eingangspuffer"},
    {7, 1171, "CRC-Fehler bei der Initialisierung"},
    {8, 1172, "Falsche Programmversion"},
    {20, 1173, "Stoppsignal empfangen"},
    {21, 1174, "Rahmenfehler"},
    {22, 1175, "Datenverlust"},
    {23, 1176, "Pufferüberlauf im Eingangspuffer"},
    {24, 1177, "Paritätsfehler"},
    {25, 1178, "Pufferüberlauf im Ausgangspuffer"},
    {26, 1179, "Unerwarteter Fehler beim Lesen des DCB"},
    {27, 1180, "DCD-Leitung hat sich geändert"},
    {28, 1181, "CTS-Leitung hat sich geändert"},
    {29, 1182, "DSR-Leitung hat sich geändert"},
    {30, 1183, "RI-Leitung hat sich geändert"},
    {31, 1184, "Schwellwertzeichen im Ausgangspuffer"},
    {32, 1185, "EOF-Zeichen im Ausgangspuffer"},
};

void Idle(Timer& timer, int interval) {
  timer.setEnabled(false);
  timer.setInterval(interval);
}

}  // namespace

void WireEngine(Context& ctx) {
  WireStationLink(ctx);
  // Every event the port or a timer brings is one engine event: the run is
  // looked at when it has returned.
  const auto told = [&ctx](std::function<void()> procedure) {
    return [&ctx, procedure = std::move(procedure)] {
      EngineEvent event(ctx);
      procedure();
    };
  };
  ctx.MSComm.OnComm = told(std::move(ctx.MSComm.OnComm));
  ctx.Timer1.OnTick = told(std::move(ctx.Timer1.OnTick));
  ctx.Timer2.OnTick = told([&ctx] { Timer2_Timer(ctx); });
  ctx.Timer3.OnTick = told([&ctx] { Timer3_Timer(ctx); });
  ctx.TimerEfi.OnTick = told([&ctx] { TimerEfi_Timer(ctx); });
  ctx.TimerKeyWait.OnTick = told([&ctx] { KeyWait_Timer(ctx); });
}

int ErrorTextId(int index) {
  for (const auto& entry : kErrorTextIds)
    if (entry.index == index) return entry.id;
  return 0;
}

void SetUpEngine(Context& ctx, const EngineLine& line) {
  WireEngine(ctx);
  StartEngine(ctx);
  ctx.settings.PortList = "COM" + std::to_string(line.comNumber);
  SetBaudList(ctx, line.baud);
  ctx.MSComm.setCommPort(line.comNumber);
  ApplyBaud(ctx, ctx.settings.BaudList);
  if (line.open) ctx.MSComm.setPortOpen(true);
  ctx.view.setText(Control::lblCOM, ctx.settings.PortList);
  if (!line.relayed) return;
  ctx.link.MasterListIndex = *line.relayed ? 1 : 0;
  ctx.view.setText(Control::Master, *line.relayed ? ctx.texts.RemoteText : ctx.texts.DirectText);
}

void StartEngine(Context& ctx) {
  ctx.run.BlockSize = kFullBlock;
  ctx.rx.bEscapeNext = false;
  ctx.rx.bExpectCommand = false;
  ctx.rx.bFrameComplete = false;
  ctx.run.bStopRequested = false;
  ctx.run.bUpdateRun = false;
  ctx.run.bLinkIdle = false;
  ctx.rx.RxCount = 0;
  ctx.rx.RxRemaining = 0;
  ctx.run.TransferOffset = 0;
  ctx.run.LastErrorOffset = 0;
  ctx.run.RetryCount = 0;
  // No timer starts with interval 0 (a Qt timer would fire continuously): the
  // block watchdog has its interval from the start, disabled until a block
  // or an identification request goes out.
  Idle(ctx.Timer1, kReplyTimeoutMs);
  Idle(ctx.Timer2, kBlockTimeoutMs);
  Idle(ctx.Timer3, kModeReplyTimeoutMs);
  Idle(ctx.TimerEfi, kIdleEfiMs);
  Idle(ctx.TimerKeyWait, kKeyWaitMs);
  FillEngineTexts(ctx);
}

void FillEngineTexts(Context& ctx) {
  ctx.texts.RemoteText = GetMlString(ctx, kMsgRemote, "remote");
  ctx.texts.DirectText = GetMlString(ctx, kMsgDirect, "direkt");
  ctx.texts.ErrorTexts.fill("");
  ctx.texts.ErrorTexts[0] = "Upgrade OK";
  for (const auto& entry : kErrorTextIds) {
    ctx.texts.ErrorTexts[static_cast<std::size_t>(entry.index)] =
        GetMlString(ctx, entry.id, entry.fallback);
  }
}

}  // namespace qv
