#include "config/IniAccess.h"

#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "config/ProfileFile.h"
#include "config/ProfileText.h"
#include "core/Errors.h"
#include "core/TextRules.h"
#include "core/View.h"

namespace qv {

namespace fs = std::filesystem;

namespace {

char LowerAscii(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + ('a' - 'A')) : c;
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// Matches one character against the bracketed list starting at pattern[at]
// ("[" already seen at pattern[at - 1]); sets `next` past the closing "]".
// False with next = npos when the list is not closed.
bool MatchList(std::string_view pattern, std::size_t at, char c, std::size_t& next) {
  const std::size_t close = pattern.find(']', at);
  if (close == std::string_view::npos) {
    next = std::string_view::npos;
    return false;
  }
  next = close + 1;
  std::string_view list = pattern.substr(at, close - at);
  const bool negate = !list.empty() && list.front() == '!';
  if (negate) list.remove_prefix(1);
  const char lower = LowerAscii(c);
  bool found = false;
  for (std::size_t i = 0; i < list.size() && !found; ++i) {
    if (i + 2 < list.size() && list[i + 1] == '-') {
      found = LowerAscii(list[i]) <= lower && lower <= LowerAscii(list[i + 2]);
      i += 2;
    } else {
      found = LowerAscii(list[i]) == lower;
    }
  }
  return found != negate;
}

// Matches the single-character token at pattern[pi]; `next` is the position
// after it.
bool MatchToken(std::string_view pattern, std::size_t pi, char c, std::size_t& next) {
  const char token = pattern[pi];
  next = pi + 1;
  if (token == '?') return true;
  if (token == '#') return IsDigit(c);
  if (token == '[') {
    std::size_t afterList = 0;
    const bool match = MatchList(pattern, pi + 1, c, afterList);
    if (afterList != std::string_view::npos) {
      next = afterList;
      return match;
    }
    // An unclosed "[" stands for itself.
  }
  return LowerAscii(token) == LowerAscii(c);
}

std::string Unquote(std::string text, char quote) {
  if (text.size() > 1 && text.front() == quote && text.back() == quote) {
    return text.substr(1, text.size() - 2);
  }
  return text;
}

}  // namespace

bool LikePattern(std::string_view text, std::string_view pattern) {
  // Greedy matching with one back-tracking point for the last "*"; every
  // other token consumes exactly one character, which makes this exact.
  std::size_t ti = 0;
  std::size_t pi = 0;
  std::size_t starPi = std::string_view::npos;
  std::size_t starTi = 0;
  while (ti < text.size()) {
    std::size_t next = 0;
    if (pi < pattern.size() && pattern[pi] == '*') {
      starPi = ++pi;
      starTi = ti;
    } else if (pi < pattern.size() && MatchToken(pattern, pi, text[ti], next)) {
      pi = next;
      ++ti;
    } else if (starPi != std::string_view::npos) {
      pi = starPi;
      ti = ++starTi;
    } else {
      return false;
    }
  }
  while (pi < pattern.size() && pattern[pi] == '*') ++pi;
  return pi == pattern.size();
}

std::optional<std::string> IniAccess::ProcessEnvironment(const std::string& name) {
  const char* value = std::getenv(name.c_str());
  if (!value) return std::nullopt;
  return std::string(value);
}

IniAccess::IniAccess(View* view, Environment environment)
    : view_(view), environment_(std::move(environment)) {}

bool IniAccess::FileExists(const std::string& FileName) const {
  if (FileName.empty()) return false;
  std::error_code ec;
  return fs::is_regular_file(FileName, ec);
}

std::string IniAccess::HomeFolder() const {
  const auto home = environment_("HOME");
  return home ? *home : std::string();
}

std::string IniAccess::XdgDataHome() const {
  // Relative values are invalid and must be ignored.
  const auto dataHome = environment_("XDG_DATA_HOME");
  if (dataHome && !dataHome->empty() && dataHome->front() == '/') return *dataHome;
  const std::string home = HomeFolder();
  if (home.empty()) return {};
  return FormatPath(home, ".local/share");
}

std::string IniAccess::GetAppPath(std::int32_t lCSIDL) const {
  const std::int32_t folder = lCSIDL & ~CSIDL_FLAG_CREATE;
  if (folder == CSIDL_LOCAL_APPDATA || folder == CSIDL_APPDATA) {
    const std::string dataHome = XdgDataHome();
    if (!dataHome.empty()) {
      std::error_code ec;
      fs::create_directories(dataHome, ec);
      if (IsDirectory(dataHome)) return dataHome;
    }
  }
  const auto appData = environment_("APPDATA");
  if (appData && !appData->empty()) return *appData;
  return HomeFolder();
}

bool IniAccess::IsDirectory(const std::string& sDirectory) const {
  if (sDirectory.empty()) return false;
  std::error_code ec;
  return fs::is_directory(sDirectory, ec);
}

std::string IniAccess::FormatPath(const std::string& sPath, const std::string& sFile) {
  if (!sPath.empty() && (sPath.back() == '/' || sPath.back() == '\\')) return sPath + sFile;
  return sPath + "/" + sFile;
}

bool IniAccess::CreateFolder(const std::string& sPath) {
  const auto makeFolder = [this](const std::string& path) -> std::int32_t {
    lastError_.clear();
    if (fs::create_directory(path, lastError_) || IsDirectory(path)) return 1;
    if (!lastError_) lastError_ = std::make_error_code(std::errc::file_exists);
    return 0;
  };
  bool result = false;
  for (std::size_t slash = sPath.find('/'); slash != std::string::npos;
       slash = sPath.find('/', slash + 1)) {
    const std::string parent = sPath.substr(0, slash);
    // The empty text before a leading "/" is the root, which always exists.
    if (parent.empty() || IsDirectory(parent)) {
      result = true;
      continue;
    }
    // Below a folder that could not be made nothing can be made either: one
    // message is enough.
    result = ApiSucceeded(makeFolder(parent), sPath);
    if (!result) return false;
  }
  if (result && !IsDirectory(sPath)) result = ApiSucceeded(makeFolder(sPath), sPath);
  return result;
}

std::string IniAccess::ReadEntry(const std::string& Section, const std::string& Key,
                                 const std::string& Default) const {
  return std::string(TrimControl(ProfileGetString(Section, Key, Default, iniFile_)));
}

bool IniAccess::WriteEntry(const std::string& Section, const std::string& Key,
                           const std::string& Value) {
  if (ProfileWriteString(Section, Key, CutCharacters(Value, kProfileValueMax), iniFile_))
    return true;
  // The caller decides whether a lost value is worth a word.
  lastWriteError_ = std::strerror(ProfileLastWriteError());
  return false;
}

void IniAccess::ClearSection(const std::string& Section) {
  ProfileClearSection(Section, iniFile_);
}

std::string IniAccess::Array2String(const std::vector<std::string>& ss, const std::string& sep,
                                    std::uint8_t txtLim) {
  const std::string quote = txtLim ? std::string(1, static_cast<char>(txtLim)) : std::string();
  std::string joined;
  for (std::size_t i = 0; i < ss.size(); ++i) {
    if (i > 0) joined += sep;
    // A number that holds the separator (a decimal comma) must be quoted too,
    // or String2Array would split it.
    const bool bare =
        DecimalNumber(ss[i]).has_value() && (sep.empty() || ss[i].find(sep) == std::string::npos);
    if (bare) {
      joined += ss[i];
    } else {
      joined += quote + ss[i] + quote;
    }
  }
  return joined;
}

void IniAccess::String2Array(std::vector<std::string>& ss, const std::string& sep,
                             const std::string& s, std::uint8_t txtLim) {
  ss.assign(1, std::string());
  if (s.empty()) return;
  const char quote = static_cast<char>(txtLim);
  if (sep.empty()) {
    const std::string whole(TrimControl(s));
    ss[0] = txtLim ? Unquote(whole, quote) : whole;
    return;
  }
  std::size_t start = 0;
  for (std::size_t n = 0;; ++n) {
    std::size_t end = s.find(sep, start);
    const std::size_t open = txtLim ? s.find(quote, start) : std::string::npos;
    if (end != std::string::npos && open < end) {
      const std::size_t close = s.find(quote, open + 1);
      if (close != std::string::npos) end = s.find(sep, close + 1);
    }
    if (end == std::string::npos) end = s.size();
    std::string element(TrimControl(std::string_view(s).substr(start, end - start)));
    if (txtLim) element = Unquote(std::move(element), quote);
    if (n >= ss.size()) ss.resize(n + 1);
    ss[n] = std::move(element);
    if (end >= s.size()) return;
    start = end + sep.size();
  }
}

std::int32_t IniAccess::GetSections(const std::string& pattern,
                                    std::vector<std::string>& secname) const {
  secname.clear();
  const ProfileFileRead read = ReadProfileFile(iniFile_);
  for (std::string& name : ProfileText(read.text).SectionNames()) {
    if (LikePattern(name, pattern)) secname.push_back(std::move(name));
  }
  return static_cast<std::int32_t>(secname.size());
}

std::int32_t IniAccess::GetKeys(const std::string& secname,
                                std::vector<std::string>& keyname) const {
  const ProfileFileRead read = ReadProfileFile(iniFile_);
  keyname = ProfileText(read.text).Keys(secname);
  return static_cast<std::int32_t>(keyname.size());
}

bool IniAccess::ApiSucceeded(std::int32_t result, const std::string& context) {
  if (result != 0) return true;
  const std::string description =
      lastError_ ? lastError_.message() : std::string("Path/File access error");
  const PlatformError error(kErrPathAccess, description);
  if (view_) {
    std::string title;
    view_->HookedMsgBox(
        0,
        "#" + std::to_string(error.number()) + "\r\n" + error.description() + "\r\n" + context,
        vbOKOnly, title);
  }
  return false;
}

std::string IniAccess::TrimBlanks(std::string_view text) {
  return std::string(TrimControl(text));
}

std::optional<double> IniAccess::ParseNumber(std::string_view text) {
  return DecimalNumber(text);
}

}  // namespace qv
