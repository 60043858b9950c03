#pragma once
// The program's start and end around the main window: the system check, the
// window's load procedure from the settings file to the idle window, the
// language change and the closing sequence. The window itself does only what
// needs a window (geometry, menus, the text walk, boxes before it is ready)
// through WindowShell; everything else is done here on the Context.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "config/Settings.h"

namespace qv {

class Context;
class IniAccess;

inline constexpr std::int32_t kLangGerman = 0;
inline constexpr std::int32_t kLangEnglish = 1000;
inline constexpr std::int32_t kLangFrench = 2000;
inline constexpr const char* kHelpFileName = "QV-Boot.html";

// What the system says of itself: the platform family (1 and 2 are the two
// families the loader runs on) and its version.
struct OsVersion {
  std::uint32_t platformId = 0;
  std::uint32_t major = 0;
  std::uint32_t minor = 0;
};

// The running system's version; nothing when the system cannot tell. Linux
// answers as a current system of family 2, so every check passes there.
std::optional<OsVersion> QueryOsVersion();

bool IsOsAtLeast(const std::optional<OsVersion>& system, std::uint8_t major, std::uint8_t minor);
bool IsOsAtLeast(std::uint8_t major, std::uint8_t minor);

// "2.14.0" of the build.
std::string VersionNumber();
// "QV-Boot v2.14.0 --- " followed by message 1117 in the language.
std::string MainWindowTitle(std::int32_t initLang);

// Where the help guide may be, in the order it is looked for: beside the
// program, then in the data folder of an installation (share/qv-boot/ next to
// the program's bin/, then the folder the build was configured to install to).
std::vector<std::string> HelpFileCandidates(const std::string& programFolder);
// The first candidate that exists; empty when there is none.
std::string FindHelpFile(const IniAccess& ini, const std::string& programFolder);

// True when the upgrade folder beside the program exists: it then is the
// upgrade folder and File > Open stays greyed out.
bool UpgradeFolderBesideProgram(const IniAccess& ini, const std::string& programFolder);

// What start-up, the language change and closing need of the main window
// beyond the View.
class WindowShell {
 public:
  virtual ~WindowShell() = default;

  // Creates the launcher-progress object and shows no progress on it; false
  // when the desktop offers no launcher progress.
  virtual bool CreateTaskbarProgress() = 0;
  // The window's outer rectangle and the screen, in twips.
  virtual WindowRect WindowGeometry() const = 0;
  virtual ScreenSize Screen() const = 0;
  virtual void MoveWindow(float left, float top) = 0;
  virtual bool IsMinimized() const = 0;
  // Ticks the language's menu item and unticks the other two.
  virtual void CheckLanguage(std::int32_t initLang) = 0;
  // The text walk over the window, then the texts the window composes.
  virtual void ApplyLanguageTexts() = 0;
  virtual void RefreshCaptions() = 0;
  // The four command menu items take "&" and the tooltip of their toolbar button.
  virtual void CommandMenuCaptions() = 0;
  virtual void ShowWindow() = 0;
  // A box before the window is ready: no owner, no port in the title.
  virtual void PlainBox(const std::string& prompt, int style, const std::string& title) = 0;
  // Entry 0 and 1 of the mode list; `clear` empties the list first, so that
  // no entry is selected afterwards.
  virtual void SetMasterEntries(const std::string& direct, const std::string& remote,
                                bool clear) = 0;
  virtual void BringBannerToFront() = 0;
  // Closes the other windows of the program (the port dialog).
  virtual void CloseOtherWindows() = 0;
};

// The load procedure, from the taskbar object to the banner. Returns the
// settings file's path (empty when there is none).
std::string LoadMainWindow(Context& ctx, IniAccess& ini, WindowShell& window,
                           const std::string& programFolder);

// The stored port: CommPort, no handshaking, the stored speed, opened. False
// (and the port left closed) for a number outside 1 to 16 or a port that
// cannot be set up.
bool OpenStoredPort(Context& ctx);

// A click on the language items: 0, 1000 or 2000.
void ChangeLanguage(Context& ctx, WindowShell& window, std::int32_t initLang);

// The closing sequence: the link put back through the mode list's direct
// entry, the other windows closed, the settings written (section "SETTINGS"
// only when the window is not minimized), the port closed and every timer
// and port event stopped. There is no question, also during a transfer.
void CloseMainWindow(Context& ctx, IniAccess& ini, WindowShell& window);

}  // namespace qv
