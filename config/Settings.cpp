#include "config/Settings.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <utility>
#include <vector>

#include "config/IniAccess.h"
#include "core/Context.h"
#include "core/TextRules.h"
#include "core/View.h"

namespace qv {

namespace {

constexpr const char* kDefaultPosition = "1000";
constexpr std::int32_t kGerman = 0;
constexpr std::int32_t kEnglish = 1000;
constexpr std::int32_t kFrench = 2000;

// A hand-edited value that is empty or no single-precision number counts as missing.
float ReadSingle(const IniAccess& ini, const char* key) {
  const float fallback = 1000.0f;
  const auto number = DecimalNumber(ini.ReadEntry(kSectionSettings, key, kDefaultPosition));
  if (!number || std::fabs(*number) > std::numeric_limits<float>::max()) return fallback;
  return static_cast<float>(*number);
}

void RestorePosition(IniAccess& ini, const ScreenSize& screen, WindowRect& window) {
  window.Left = ReadSingle(ini, "MainLeft") + kPositionOffset;
  window.Top = ReadSingle(ini, "MainTop") + kPositionOffset;
  if (window.Top + window.Height > screen.Height) window.Top = screen.Height - window.Height;
  if (window.Left + window.Width > screen.Width) window.Left = screen.Width - window.Width;
  ini.WriteEntry(kSectionSettings, "MainLeft", FormatSingle(window.Left - kPositionOffset));
  ini.WriteEntry(kSectionSettings, "MainTop", FormatSingle(window.Top - kPositionOffset));
}

void ReadPortSettings(SettingsTexts& settings, const IniAccess& ini) {
  settings.PortList = ini.ReadEntry(kSectionComCtrl, "Port", "COM1");
  settings.ProtocolList = ini.ReadEntry(kSectionComCtrl, "Protocol", "None");
  settings.BaudList = ini.ReadEntry(kSectionComCtrl, "Baud", "4800");
  settings.ParityList = ini.ReadEntry(kSectionComCtrl, "Parity", "None");
  settings.StopBitList = ini.ReadEntry(kSectionComCtrl, "Stopbit", "1");
  settings.DataBitList = ini.ReadEntry(kSectionComCtrl, "DataBit", "8");
  settings.ProtocolListIndex = ProtocolIndexOf(settings.ProtocolList);
}

}  // namespace

std::int32_t ReadLanguage(const IniAccess& ini) {
  const auto value = WholeInteger(ini.ReadEntry(kSectionSettings, "InitLang", "1000"));
  if (value && (*value == kGerman || *value == kFrench)) return *value;
  return kEnglish;
}

std::string LocateSettingsFile(IniAccess& ini) {
  const std::string base = ini.GetAppPath(CSIDL_LOCAL_APPDATA);
  // Without an application-data folder the path would start at the root of
  // the file system; run on defaults instead.
  if (base.empty()) {
    ini.IniFile("");
    return {};
  }
  std::string folder = IniAccess::FormatPath(base, IniAccess::FormatPath("Quorvex", kAppTitle));
  if (!ini.IsDirectory(folder) && !ini.CreateFolder(folder)) folder = base;
  ini.IniFile(IniAccess::FormatPath(folder, std::string(kAppTitle) + ".ini"));
  return ini.IniFile();
}

void ReadSettings(SettingsTexts& settings, IniAccess& ini, const std::string& programFolder,
                  const ScreenSize& screen, WindowRect& window) {
  const std::string besideProgram = IniAccess::FormatPath(programFolder, kUpgradeFolderName);
  // Kept even while the folder beside the program stands in for it, so the
  // operator's choice is there again once that folder is gone.
  settings.InitDir = ini.ReadEntry(kSectionSettings, "InitDir", "");
  settings.UpgradeFolder = besideProgram;
  if (!ini.IsDirectory(besideProgram) && !settings.InitDir.empty()) {
    settings.UpgradeFolder = settings.InitDir;
  }
  RestorePosition(ini, screen, window);
  ReadPortSettings(settings, ini);
  settings.InitLang = ReadLanguage(ini);
  settings.HwOverride = ini.ReadEntry(kSectionSettings, "ForceLoad", "False");
}

std::string WriteSettings(const SettingsTexts& settings, IniAccess& ini, const WindowRect& window,
                          bool minimized) {
  std::vector<std::pair<const char*, std::string>> comCtrl = {
      {"Port", settings.PortList},         {"Protocol", settings.ProtocolList},
      {"Baud", settings.BaudList},         {"Parity", settings.ParityList},
      {"Stopbit", settings.StopBitList},   {"DataBit", settings.DataBitList}};
  std::string failure;
  const auto write = [&](const char* section, const char* key, const std::string& value) {
    if (!ini.WriteEntry(section, key, value) && failure.empty()) failure = ini.LastWriteError();
  };
  for (const auto& [key, value] : comCtrl) write(kSectionComCtrl, key, value);
  if (minimized) return failure;
  write(kSectionSettings, "MainLeft", FormatSingle(window.Left - kPositionOffset));
  write(kSectionSettings, "MainTop", FormatSingle(window.Top - kPositionOffset));
  if (!settings.InitDir.empty()) write(kSectionSettings, "InitDir", settings.InitDir);
  write(kSectionSettings, "InitLang", std::to_string(settings.InitLang));
  write(kSectionSettings, "ForceLoad", settings.HwOverride);
  return failure;
}

std::int16_t PortNumberOf(const std::string& portList) {
  const std::string_view rest =
      portList.size() > 3 ? TrimBlanks(std::string_view(portList).substr(3)) : std::string_view();
  const std::optional<int> number = LeadingInteger(rest);
  if (!number || *number < -32768 || *number > 32767) return 0;
  return static_cast<std::int16_t>(*number);
}

std::string ProtocolIndexOf(const std::string& protocol) {
  if (protocol == "None") return "0";
  if (protocol == "XonXoff") return "1";
  if (protocol == "RTS") return "2";
  if (protocol == "RTSXonXoff") return "3";
  return {};
}

std::string FormatSingle(float value) {
  if (value == 0.0f) return "0";  // no "-0"
  char text[32];
  const auto [end, ec] =
      std::to_chars(text, text + sizeof text, value, std::chars_format::general, 7);
  if (ec != std::errc()) return "0";
  std::string result(text, end);
  for (char& c : result) {
    if (c == 'e') c = 'E';
  }
  return result;
}

}  // namespace qv
