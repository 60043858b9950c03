#pragma once
// The settings keys: where the file lives, what start-up reads from it and
// what closing writes back. Window geometry and the screen size come in as
// twips from the caller, so these procedures need no window.
#include <cstdint>
#include <string>

namespace qv {

struct SettingsTexts;
class IniAccess;

inline constexpr const char* kSectionSettings = "SETTINGS";
inline constexpr const char* kSectionComCtrl = "COMCTRL";
inline constexpr const char* kUpgradeFolderName = "KVX7_public";
// Stored positions are this many twips less than the window's.
inline constexpr float kPositionOffset = 400.0f;

struct WindowRect {  // twips
  float Left = 0;
  float Top = 0;
  float Width = 0;
  float Height = 0;
};

struct ScreenSize {  // twips
  float Width = 0;
  float Height = 0;
};

// Sets the settings file of `ini`: "Quorvex/QV-Boot/QV-Boot.ini" below the
// local application-data folder, or "QV-Boot.ini" directly in that folder
// when the sub-folders cannot be made. Returns the path; empty (no settings
// file at all) when no application-data folder is known.
std::string LocateSettingsFile(IniAccess& ini);

// The stored port's number ("COM12" gives 12); 0 when the text names none.
std::int16_t PortNumberOf(const std::string& portList);

// The language of the settings: 0 (German) or 2000 (French) as a whole
// integer, anything else 1000 (English).
std::int32_t ReadLanguage(const IniAccess& ini);

// Start-up: the upgrade folder, the window position (kept on screen and
// written back at once), the port settings, the language and the override
// value, in that order. `window` brings the window's size and receives its
// restored Left and Top. Unreadable or odd values take their defaults.
void ReadSettings(SettingsTexts& settings, IniAccess& ini, const std::string& programFolder,
                  const ScreenSize& screen, WindowRect& window);

// Closing: section "COMCTRL" always; section "SETTINGS" only when the window
// is not minimized, and InitDir only when the operator chose a folder.
// Returns why the file could not be written; empty when it was.
std::string WriteSettings(const SettingsTexts& settings, IniAccess& ini, const WindowRect& window, bool minimized);

// "None", "XonXoff", "RTS", "RTSXonXoff" give "0" to "3"; anything else "".
std::string ProtocolIndexOf(const std::string& protocol);

// A single-precision value as the settings file holds it: up to seven
// significant digits, "." as decimal point.
std::string FormatSingle(float value);

}  // namespace qv
