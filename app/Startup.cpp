#include "app/Startup.h"

#include <filesystem>

#include "config/IniAccess.h"
#include "core/Context.h"
#include "core/Errors.h"
#include "core/TextRules.h"
#include "protocol/QvBoot.h"
#include "texts/MessageIds.h"
#include "texts/MlStringModule.h"
#include "texts/NamedTexts.h"
#include "update/Engine.h"
#include "update/ModeSwitching.h"
#include "update/UpdateRun.h"
#include "update/UpgradeFile.h"

// The build passes the version and the installation's data folder.
#ifndef QV_VERSION_TEXT
#define QV_VERSION_TEXT "0.0.0"
#endif
#ifndef QV_INSTALL_DATADIR
#define QV_INSTALL_DATADIR "/usr/share"
#endif

namespace qv {

namespace {

constexpr int kFirstPort = 1;
constexpr int kLastStartupPort = 16;
constexpr int kNoPortStyle = 4144;  // exclamation, OK, system-modal
constexpr const char* kNoPortText =
    "No serial port found.\r\n\r\nPlease install a Quorvex master station or a serial port to be "
    "able to use the application.";

void ResetCounts(Context& ctx) {
  ctx.rx.RxCount = 0;
  ctx.run.TransferOffset = 0;
  ctx.run.LastErrorOffset = 0;
  ctx.run.RetryCount = 0;
  ctx.rx.RxRemaining = 0;
}

void OfferAnotherPort(Context& ctx, WindowShell& window) {
  ctx.link.bNoPort = true;
  ctx.view.setText(Control::lblCOM, GetMlString(ctx, kMsgNotAvailable, "N/A"));
  window.ShowWindow();
  if (!ctx.link.bNoSerialPort) ctx.view.ShowPortDialog();
}

// The program ends next; no tick or reply may start anything meanwhile. The
// handlers stay connected, since closing may happen inside one of them.
void StopEvents(Context& ctx) {
  for (Timer* timer : {&ctx.Timer1, &ctx.Timer2, &ctx.Timer3, &ctx.TimerEfi, &ctx.TimerKeyWait}) {
    timer->setEnabled(false);
  }
  ClosePort(ctx);
}

}  // namespace

std::optional<OsVersion> QueryOsVersion() {
  // The refusal only concerns systems the loader was never built for; any
  // system this source compiles on is new enough.
  return OsVersion{2, 10, 0};
}

bool IsOsAtLeast(const std::optional<OsVersion>& system, std::uint8_t major, std::uint8_t minor) {
  if (!system || (system->platformId != 1 && system->platformId != 2)) return false;
  if (system->major != major) return system->major > major;
  return minor <= system->minor;
}

bool IsOsAtLeast(std::uint8_t major, std::uint8_t minor) {
  return IsOsAtLeast(QueryOsVersion(), major, minor);
}

std::string VersionNumber() {
  return QV_VERSION_TEXT;
}

std::string MainWindowTitle(std::int32_t initLang) {
  return std::string(kAppTitle) + " v" + VersionNumber() + " --- " +
         GetMlString(initLang, kMsgWindowTitle, "");
}

std::vector<std::string> HelpFileCandidates(const std::string& programFolder) {
  const std::filesystem::path installed =
      std::filesystem::path(programFolder) / ".." / "share" / "qv-boot" / kHelpFileName;
  return {
      IniAccess::FormatPath(programFolder, kHelpFileName), installed.lexically_normal().string(),
      IniAccess::FormatPath(IniAccess::FormatPath(QV_INSTALL_DATADIR, "qv-boot"), kHelpFileName)};
}

std::string FindHelpFile(const IniAccess& ini, const std::string& programFolder) {
  for (const std::string& candidate : HelpFileCandidates(programFolder)) {
    if (ini.FileExists(candidate)) return candidate;
  }
  return {};
}

bool UpgradeFolderBesideProgram(const IniAccess& ini, const std::string& programFolder) {
  return ini.IsDirectory(IniAccess::FormatPath(programFolder, kUpgradeFolderName));
}

std::string LoadMainWindow(Context& ctx, IniAccess& ini, WindowShell& window,
                           const std::string& programFolder) {
  ctx.window.bTaskbarAvailable = IsOsAtLeast(6, 1) && window.CreateTaskbarProgress();
  const std::string settingsFile = LocateSettingsFile(ini);

  WindowRect rect = window.WindowGeometry();
  ReadSettings(ctx.settings, ini, programFolder, window.Screen(), rect);
  window.MoveWindow(rect.Left, rect.Top);
  window.CheckLanguage(ctx.settings.InitLang);

  ctx.view.setText(Control::lblCOM, ctx.settings.PortList);
  set_ButtonsAktiv(ctx, true);
  window.ApplyLanguageTexts();
  window.RefreshCaptions();
  // After the walk, so the button offers the switch the stored speed allows.
  SetBaudList(ctx, ctx.settings.BaudList);
  window.CommandMenuCaptions();
  ShowFolderStatus(ctx);

  if (ctx.link.bNoSerialPort) window.PlainBox(kNoPortText, kNoPortStyle, kAppTitle);
  if (!OpenStoredPort(ctx)) OfferAnotherPort(ctx, window);

  StartEngine(ctx);
  window.SetMasterEntries(ctx.texts.DirectText, ctx.texts.RemoteText, false);
  if (ctx.MSComm.PortOpen()) SelectMasterEntry(ctx, 1);
  ResetCounts(ctx);
  FillEngineTexts(ctx);
  window.SetMasterEntries(ctx.texts.DirectText, ctx.texts.RemoteText, true);
  window.BringBannerToFront();
  return settingsFile;
}

bool OpenStoredPort(Context& ctx) {
  ctx.link.PortNumber = PortNumberOf(ctx.settings.PortList);
  if (ctx.link.PortNumber < kFirstPort || ctx.link.PortNumber > kLastStartupPort) return false;
  try {
    ctx.MSComm.setCommPort(ctx.link.PortNumber);
    // The stored protocol is kept for the dialog; the station speaks without handshake.
    ctx.MSComm.setHandshaking(0);
    ApplyBaud(ctx, ctx.settings.BaudList);
    ctx.MSComm.setPortOpen(true);
  } catch (const PlatformError&) {
    return false;
  }
  return ctx.MSComm.PortOpen();
}

void ChangeLanguage(Context& ctx, WindowShell& window, std::int32_t initLang) {
  // While a mode frame is on its way the list shows no text; the entry
  // chosen last is then the one to keep.
  const std::string shown = ctx.view.text(Control::Master);
  const int mode = shown.empty() ? ctx.link.MasterListIndex : shown == ctx.texts.RemoteText ? 1 : 0;
  const std::string baudCaption = ctx.view.text(Control::btnSetBaud);
  ctx.settings.InitLang = initLang;
  window.ApplyLanguageTexts();
  window.RefreshCaptions();
  if (ctx.link.bNoPort) {
    // Nothing goes out without a port; the label says so in the new language.
    ctx.link.MasterListIndex = static_cast<std::int16_t>(mode);
    ctx.view.setText(Control::lblCOM, GetMlString(ctx, kMsgNotAvailable, "N/A"));
  } else {
    SelectMasterEntry(ctx, mode);
  }
  ctx.view.setText(Control::btnSetBaud, baudCaption);
  window.CheckLanguage(initLang);
}

void CloseMainWindow(Context& ctx, IniAccess& ini, WindowShell& window) {
  ctx.window.bClosing = true;
  SelectMasterEntry(ctx, 0);
  window.CloseOtherWindows();
  const std::string failure =
      WriteSettings(ctx.settings, ini, window.WindowGeometry(), window.IsMinimized());
  StopEvents(ctx);
  // Without a settings folder the program runs on defaults by design; a file
  // that was there to write and was not is every change lost, so it is said.
  if (!failure.empty() && !ini.IniFile().empty()) {
    AppBox(ctx, 0, vbExclamation,
           FillPlaceholders(NamedText(ctx, "settings.notSaved"), {ini.IniFile(), failure}));
  }
}

}  // namespace qv
