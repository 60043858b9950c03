#include "cli/Console.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <QJsonDocument>
#include <cmath>

#include "cli/CliTexts.h"
#include "core/TextRules.h"
#include "platform/QtClock.h"
#include "core/View.h"
#include "protocol/stdFunc.h"

namespace qv::cli {

namespace {

std::string CodeName(std::uint8_t code) {
  switch (code) {
    case kNak:
      return "NAK";
    case SET_MODE:
      return "SET_MODE";
    case BAUD_SWITCHED:
      return "BAUD_SWITCHED";
    case SET_BAUD:
      return "SET_BAUD";
    case WRITE_BLOCK:
      return "WRITE_BLOCK";
    case READ_SYSDATA:
      return "READ_SYSDATA";
    case INIT_UPDATE:
      return "INIT_UPDATE";
    case SET_TIME:
      return "SET_TIME";
    case GET_TIME:
      return "GET_TIME";
    default:
      break;
  }
  char text[8];
  std::snprintf(text, sizeof text, "0x%02X", code);
  return text;
}

}  // namespace


namespace {

std::string S(const QJsonValue& value) {
  if (value.isDouble()) return std::to_string(value.toInteger());
  return value.toString().toStdString();
}

// "09:30:00.123" of an event's ISO time.
std::string ClockOf(const std::string& iso) {
  const auto t = iso.find('T');
  return t == std::string::npos ? iso : iso.substr(t + 1, 12);
}

// A station line longer than the terminal would wrap, and the redraw would
// then move up too few lines: lines are fitted to one column less.
std::size_t TerminalWidth() {
  winsize size{};
  if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) != 0 || size.ws_col == 0) return 80;
  return size.ws_col;
}

}  // namespace

std::string ButtonText(int answer, std::int32_t initLang) {
  switch (answer) {
    case vbCancel:
      return NamedText(initLang, "cli.button.cancel");
    case vbYes:
      return NamedText(initLang, "cli.button.yes");
    case vbNo:
      return NamedText(initLang, "cli.button.no");
    default:
      return "OK";
  }
}

Console::Console(std::int32_t initLang, bool json, bool terminal, std::FILE* trace)
    : initLang_(initLang), json_(json), terminal_(terminal), trace_(trace) {}

int Console::AddStation(const std::string& port) {
  const std::lock_guard lock(mutex_);
  LiveStatus status;
  status.port = port;
  live_.push_back(status);
  dropped_.push_back(false);
  return static_cast<int>(live_.size()) - 1;
}

void Console::DropStation(int index) {
  const std::lock_guard lock(mutex_);
  if (index >= 0 && static_cast<std::size_t>(index) < dropped_.size())
    dropped_[static_cast<std::size_t>(index)] = true;
}

void Console::StationDone(const StationResult& result) {
  if (onStationDone) onStationDone(result);
}

std::string Console::Human(const QJsonObject& e) const {
  const std::string event = S(e["event"]);
  const auto T = [this](const char* name) { return NamedText(initLang_, name); };
  if (event == "question") {
    const std::string answer = ButtonText(e["answer"].toInt(), initLang_);
    return "? " + S(e["text"]) + " -> " + answer + " (" + S(e["id"]) +
           (e["default"].toBool() ? ", " + T("cli.default") : std::string()) + ")";
  }
  if (event == "message") return S(e["text"]);
  if (event == "watching") return FillPlaceholders(T("cli.watching"), {S(e["folder"])});
  if (event == "added") return T("cli.added");
  if (event == "retired") return T("cli.retired");
  if (event == "station")
    return FillPlaceholders(T("cli.stationFound"),
                            {S(e["serial"]), S(e["hardware"]), S(e["boot"]), S(e["firmware"])});
  if (event == "phase" && !terminal_) return S(e["phase"]);
  if (event == "progress" && !terminal_)
    return S(e["bytes"]) + "/" + S(e["total"]) + " " +
           std::to_string(std::lround(e["bytesPerSecond"].toDouble())) + " B/s";
  if (event == "result") {
    const std::string result = T((std::string("cli.result.") + S(e["result"])).c_str());
    const std::string why = S(e["message"]);
    return why.empty() ? result : result + ": " + why;
  }
  return {};
}

void Console::Event(const QJsonObject& event) {
  const std::lock_guard lock(mutex_);
  if (json_) {
    std::fputs(JsonLine(event).c_str(), stdout);
    std::fflush(stdout);
  }
  const std::string text = Human(event);
  if (text.empty()) return;
  const std::string port = S(event["port"]);
  const std::string prefix = terminal_ ? "" : ClockOf(S(event["time"])) + " ";
  ClearLive();
  std::fprintf(stderr, "%s%s%s%s\n", prefix.c_str(), port.c_str(), port.empty() ? "" : ": ",
               text.c_str());
  DrawLive();
}

void Console::Live(int index, const LiveStatus& status) {
  const std::lock_guard lock(mutex_);
  if (index >= 0 && static_cast<std::size_t>(index) < live_.size())
    live_[static_cast<std::size_t>(index)] = status;
}

void Console::Frame(const std::string& port, bool out, std::uint8_t code, const Bytes& bytes) {
  if (!trace_) return;
  const std::lock_guard lock(mutex_);
  std::fprintf(trace_, "%s %s %s %s %s\n", UtcTimestamp().c_str(), port.c_str(), out ? ">" : "<",
               CodeName(code).c_str(), BytesToHex(bytes, " ").c_str());
}

void Console::Redraw() {
  const std::lock_guard lock(mutex_);
  ClearLive();
  DrawLive();
}

void Console::EndLive() {
  const std::lock_guard lock(mutex_);
  if (!terminal_) return;
  ClearLive();
  const std::size_t width = TerminalWidth() - 1;
  for (std::size_t i = 0; i < live_.size(); ++i)
    if (!dropped_[i]) std::fprintf(stderr, "%s\n", StatusLine(live_[i], width).c_str());
  terminal_ = false;
}

void Console::Json(const QJsonObject& object) {
  if (!json_) return;
  const std::lock_guard lock(mutex_);
  std::fputs(JsonLine(object).c_str(), stdout);
  std::fflush(stdout);
}

void Console::Say(const std::string& text) {
  const std::lock_guard lock(mutex_);
  ClearLive();
  std::fprintf(stderr, "%s\n", text.c_str());
  DrawLive();
}

void Console::ClearLive() {
  if (!terminal_ || drawn_ == 0) return;
  // Up to the first station line, then clear to the end of the screen.
  std::fprintf(stderr, "\033[%dA\r\033[J", drawn_);
  drawn_ = 0;
}

void Console::DrawLive() {
  if (!terminal_) return;
  const std::size_t width = TerminalWidth() - 1;
  drawn_ = 0;
  for (std::size_t i = 0; i < live_.size(); ++i) {
    if (dropped_[i]) continue;
    std::fprintf(stderr, "%s\n", StatusLine(live_[i], width).c_str());
    ++drawn_;
  }
  std::fflush(stderr);
}

}  // namespace qv::cli
