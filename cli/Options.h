#pragma once
// The command line of qvboot-cli, read without touching the machine: the one
// question it asks of the outside (is there anything at this path) comes in as
// a function; what is there is looked at once the line is read.
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace qv::cli {

enum class Command { Help, Ports, Identify, Update, Time };

struct Options {
  Command command = Command::Help;
  std::vector<std::string> ports;  // as given: "COM3" or a device path
  std::string folder;
  bool remote = false;
  // Station after station on each port until Ctrl-C.
  bool series = false;
  // Ports taken on as stations are plugged in and given up as they go: the
  // links in this folder (empty: no watch).
  std::string watch;
  std::set<int> yes;  // questions answered the other way
  std::string trace;
  std::string log;
  std::string lang;  // "de", "en", "fr" or empty for the settings file's
  bool json = false;
};

// A usage fault: the name of its text (cli.*) and the values for %1, %2.
struct UsageError {
  std::string name;
  std::vector<std::string> values;
};

struct ParseResult {
  std::optional<Options> options;
  UsageError error;
};

using FolderTest = std::function<bool(const std::string&)>;

// Where the udev rule links each station plugged in by USB (vendor 10c4,
// product 8b7e), by the USB socket it is in: the link stays while the
// station restarts and comes back under another device name.
inline constexpr const char* kStationLinkFolder = "/dev/qv-boot";

// The arguments after the program name.
ParseResult ParseArguments(const std::vector<std::string>& args, const FolderTest& exists);

// "COM3" gives 3 (any case, 1 to 16); nothing for anything else.
std::optional<int> ComNumber(const std::string& port);

// 0 German, 1000 English, 2000 French; nothing for an empty or unknown name.
std::optional<int> LanguageOffset(const std::string& lang);

}  // namespace qv::cli
