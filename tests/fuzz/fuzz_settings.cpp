// Feeds arbitrary bytes to the settings reader as the content of a settings
// file: parsing must keep the text byte for byte, edits must touch only what
// they concern, and a whole start-up and close on the file must leave every
// other section as it was (or the file untouched when it cannot be written).
#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "config/IniAccess.h"
#include "config/ProfileFile.h"
#include "config/ProfileText.h"
#include "config/Settings.h"
#include "core/TextRules.h"
#include "sim/virtual/VirtualPlatform.h"
#include "tests/support/TempFolder.h"

namespace {

using qv::ProfileText;

void Check(bool condition) {
  if (!condition) std::abort();
}

std::string Expected(std::string_view value) {
  value =
      qv::TrimControl(qv::CutCharacters(value.substr(0, value.find('\0')), qv::kProfileValueMax));
  const bool quoted = value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
                      value.back() == value.front();
  return std::string(quoted ? value.substr(1, value.size() - 2) : value);
}

// Every key of every section but those named in `except`, as Get reads it.
std::vector<std::optional<std::string>> OtherValues(
    const ProfileText& text, std::initializer_list<std::string_view> except) {
  std::vector<std::optional<std::string>> values;
  for (const std::string& section : text.SectionNames()) {
    const auto named = [&](std::string_view name) { return qv::LikePattern(section, name); };
    if (std::any_of(except.begin(), except.end(), named)) continue;
    for (const std::string& key : text.Keys(section)) values.push_back(text.Get(section, key));
  }
  return values;
}

void FuzzText(const std::string& content, std::string_view value) {
  const ProfileText original(content);
  Check(original.Text() == content);

  ProfileText edited = original;  // a refused value leaves the text as it was
  const bool set = edited.Set("COMCTRL", "Port", value);
  Check(set ? edited.Get("COMCTRL", "Port") == Expected(value) : edited.Text() == content);
  Check(OtherValues(edited, {"COMCTRL"}) == OtherValues(original, {"COMCTRL"}));
  ProfileText cleared = original;
  Check(cleared.ClearSection("SETTINGS") && cleared.Keys("SETTINGS").empty());
  Check(OtherValues(cleared, {"SETTINGS"}) == OtherValues(original, {"SETTINGS"}));

  std::vector<std::string> parts;
  qv::IniAccess::String2Array(parts, ",", content, 34);
  Check(!parts.empty());
  (void)qv::IniAccess::Array2String(parts, ",", 34);
  (void)qv::LikePattern(content, value);
}

void FuzzStartAndClose(const std::string& content) {
  // On a RAM disk where there is one: every input writes the file a dozen times.
  static const qv::testing::TempFolder scratch(std::filesystem::is_directory("/dev/shm")
                                                   ? "/dev/shm"
                                                   : std::filesystem::temp_directory_path());
  const std::string& folder = scratch.path;
  if (folder.empty()) return;
  const std::string path = folder + "/Quorvex/QV-Boot/QV-Boot.ini";
  std::filesystem::create_directories(folder + "/Quorvex/QV-Boot");
  qv::testing::WriteFile(path, content);

  qv::sim::VirtualPlatform station;
  qv::IniAccess ini(&station.view, [&](const std::string& name) {
    return name == "XDG_DATA_HOME" ? std::optional(folder) : std::nullopt;
  });
  qv::WindowRect window{0, 0, 9000, 6000};
  qv::ReadSettings(station.ctx.settings, ini, folder + "/program", {19200, 14400}, window);
  qv::WriteSettings(station.ctx.settings, ini, window, false);

  const std::string after = qv::testing::ReadFile(path);
  const bool writable = content.size() <= qv::kProfileFileMax &&
                        content.compare(0, 2, "\xFF\xFE") != 0 &&
                        content.compare(0, 2, "\xFE\xFF") != 0;
  if (!writable) {
    Check(after == content);
    return;
  }
  // Sections other than the program's two keep every value.
  Check(OtherValues(ProfileText(after), {"SETTINGS", "COMCTRL"}) ==
        OtherValues(ProfileText(content), {"SETTINGS", "COMCTRL"}));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string content(reinterpret_cast<const char*>(data), size);
  FuzzText(content, std::string_view(content).substr(0, 300));
  FuzzStartAndClose(content);
  return 0;
}
