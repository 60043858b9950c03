#pragma once
// The settings file and the few file-system operations start-up needs to
// place it. One instance is owned by start-up and lives as long as the main
// window; entries are read and written through the profile functions, which
// open and close the file on every call.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace qv {

class View;

// Shell folder identifiers GetAppPath understands; the create flag may be added.
inline constexpr std::int32_t CSIDL_APPDATA = 26;
inline constexpr std::int32_t CSIDL_LOCAL_APPDATA = 28;
inline constexpr std::int32_t CSIDL_FLAG_CREATE = 0x8000;

class IniAccess {
 public:
  // Looks up an environment variable; nullopt when it is not set.
  using Environment = std::function<std::optional<std::string>(const std::string& name)>;
  static std::optional<std::string> ProcessEnvironment(const std::string& name);

  // `view` shows the folder-creation failure message; null shows nothing.
  explicit IniAccess(View* view = nullptr, Environment environment = ProcessEnvironment);

  bool FileExists(const std::string& FileName) const;
  // The local application-data folder: $XDG_DATA_HOME, else ~/.local/share
  // (created when missing); when that is no folder, $APPDATA, else the home
  // folder. Other identifiers go straight to those fallbacks.
  std::string GetAppPath(std::int32_t lCSIDL) const;
  bool IsDirectory(const std::string& sDirectory) const;
  // Joins with "/"; a path already ending in "/" or "\" gets no second one.
  static std::string FormatPath(const std::string& sPath, const std::string& sFile);
  // Creates every missing folder of the path ("/" separates; "\" is an
  // ordinary character of a name here); true when it exists at the end.
  bool CreateFolder(const std::string& sPath);

  void IniFile(const std::string& fname) { iniFile_ = fname; }
  const std::string& IniFile() const { return iniFile_; }

  std::string ReadEntry(const std::string& Section, const std::string& Key,
                        const std::string& Default) const;
  // False when the file could not be written; LastWriteError() says why.
  bool WriteEntry(const std::string& Section, const std::string& Key, const std::string& Value);
  const std::string& LastWriteError() const { return lastWriteError_; }
  void ClearSection(const std::string& Section);

  // Elements joined by `sep`; every element that is not a number (or holds
  // `sep`) is enclosed in the character `txtLim` (0: none).
  static std::string Array2String(const std::vector<std::string>& ss, const std::string& sep,
                                  std::uint8_t txtLim);
  // Splits `s` at `sep`, not inside quotes of `txtLim`; elements trimmed and
  // unquoted. `ss` always gets at least one element.
  static void String2Array(std::vector<std::string>& ss, const std::string& sep,
                           const std::string& s, std::uint8_t txtLim);

  // Section names matching the wildcard pattern ("*", "?", "#", [list],
  // [!list]; letters compared without regard to case), in file order.
  std::int32_t GetSections(const std::string& pattern, std::vector<std::string>& secname) const;
  // The keys of the section, in file order.
  std::int32_t GetKeys(const std::string& secname, std::vector<std::string>& keyname) const;

  // A zero result shows error 75 with the failing call's description and the
  // context in a message box, and gives false.
  bool ApiSucceeded(std::int32_t result, const std::string& context);
  // Settings values lose every control byte around them (TrimControl).
  static std::string TrimBlanks(std::string_view text);

  // "Reads as a number" (DecimalNumber): optional sign, digits with an
  // optional decimal point ("." or ","), optional exponent, blanks around.
  static std::optional<double> ParseNumber(std::string_view text);

 private:
  std::string XdgDataHome() const;
  std::string HomeFolder() const;

  View* view_;
  Environment environment_;
  std::string iniFile_;
  std::string lastWriteError_;
  std::error_code lastError_;  // of the last failed platform call
};

// VB-style pattern matching as used for section names.
bool LikePattern(std::string_view text, std::string_view pattern);

}  // namespace qv
