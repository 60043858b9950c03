#include "cli/Report.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "cli/CliTexts.h"
#include "cli/Questions.h"
#include "platform/QtClock.h"

namespace qv::cli {

namespace {

QString Q(const std::string& text) {
  return QString::fromStdString(text);
}

std::string Fixed(double value, int decimals) {
  char text[32];
  std::snprintf(text, sizeof text, "%.*f", decimals, value);
  return text;
}

// Columns count characters, not bytes: a German or French heading is UTF-8.
bool Continues(char c) {
  return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

std::size_t Shown(const std::string& text) {
  return static_cast<std::size_t>(std::ranges::count_if(text, [](char c) { return !Continues(c); }));
}

std::string Pad(const std::string& text, std::size_t width) {
  const std::size_t shown = Shown(text);
  return text + std::string(width > shown ? width - shown : 0, ' ');
}

// The first `width` characters.
std::string Cut(const std::string& text, std::size_t width) {
  std::size_t end = 0;
  for (std::size_t shown = 0; end < text.size(); ++end) {
    if (!Continues(text[end]) && shown++ == width) break;
  }
  return text.substr(0, end);
}

std::string Duration(double seconds) {
  if (!std::isfinite(seconds) || seconds < 0) return "--:--";
  const auto whole = static_cast<long>(seconds + 0.5);
  char text[48];
  std::snprintf(text, sizeof text, "%02ld:%02ld", whole / 60, whole % 60);
  return text;
}

}  // namespace

int ExitCode(const std::vector<StationResult>& results) {
  const auto has = [&](Outcome o) {
    return std::ranges::any_of(results, [o](const StationResult& r) { return r.outcome == o; });
  };
  if (has(Outcome::Failed)) return 1;
  if (has(Outcome::Unconfirmed)) return kExitUnconfirmed;
  if (has(Outcome::Declined)) return 2;
  return 0;
}

double BytesPerSecond(const StationResult& result) {
  return result.seconds > 0 ? static_cast<double>(result.bytes) / result.seconds : 0.0;
}

std::string ResultTable(const std::vector<StationResult>& results, std::int32_t initLang) {
  const auto T = [initLang](const char* name) { return NamedText(initLang, name); };
  std::vector<std::vector<std::string>> rows{{T("cli.column.port"), T("cli.column.serial"),
                                              T("cli.column.hardware"), T("cli.column.firmware"),
                                              T("cli.column.bytes"), T("cli.column.seconds"), "B/s",
                                              T("cli.column.result")}};
  for (const StationResult& r : results) {
    const std::string after = r.firmwareAfter.empty() ? "-" : r.firmwareAfter;
    const std::string firmware = r.firmwareBefore.empty() ? "-" : r.firmwareBefore + " -> " + after;
    rows.push_back({r.port, r.serial.empty() ? "-" : r.serial,
                    r.hardware.empty() ? "-" : r.hardware, firmware, std::to_string(r.bytes),
                    Fixed(r.seconds, 1), Fixed(BytesPerSecond(r), 0),
                    T((std::string("cli.result.") + OutcomeName(r.outcome)).c_str())});
  }
  std::vector<std::size_t> widths(rows[0].size(), 0);
  for (const auto& row : rows)
    for (std::size_t c = 0; c < row.size(); ++c)
      widths[c] = std::max(widths[c], Shown(row[c]));
  std::string table;
  for (const auto& row : rows) {
    std::string line;
    for (std::size_t c = 0; c < row.size(); ++c) line += Pad(row[c], widths[c] + 2);
    while (!line.empty() && line.back() == ' ') line.pop_back();
    table += line + "\n";
  }
  return table;
}

std::string StatusLine(const LiveStatus& s, std::size_t width) {
  const double share =
      s.total > 0
          ? std::clamp(static_cast<double>(s.bytes) / static_cast<double>(s.total), 0.0, 1.0)
          : 0.0;
  const std::string head = Pad(s.port + " ", 14) + Pad((s.serial.empty() ? "-" : s.serial) + " ", 10) +
                           Pad(s.phase + " ", 12);
  std::string tail = " " + Pad(Fixed(share * 100, 0) + "%", 5);
  if (!s.ended) {
    const double rate =
        s.transferSeconds > 0 ? static_cast<double>(s.bytes) / s.transferSeconds : 0;
    const double eta = rate > 0 ? static_cast<double>(s.total - s.bytes) / rate : -1;
    tail += Pad(Fixed(rate, 0) + " B/s", 11) + "ETA " + Duration(eta);
  }
  while (!tail.empty() && tail.back() == ' ') tail.pop_back();
  const std::size_t fixed = Shown(head) + tail.size();
  // A bar narrower than this tells nothing the percentage does not.
  constexpr std::size_t kWidestBar = 20, kNarrowestBar = 5;
  const std::size_t room = width > fixed + 2 ? width - fixed - 2 : 0;
  std::string line = head;
  if (room >= kNarrowestBar) {
    const std::size_t bar = std::min(room, kWidestBar);
    const auto filled = static_cast<std::size_t>(share * static_cast<double>(bar));
    line += "[" + std::string(filled, '#') + std::string(bar - filled, '.') + "]";
  }
  line += tail;
  return Cut(line, width);
}

QJsonObject EventJson(const std::string& event, const std::string& port) {
  QJsonObject o{{"event", Q(event)}, {"time", Q(UtcTimestamp())}};
  if (!port.empty()) o.insert("port", Q(port));
  return o;
}

QJsonObject ResultJson(const StationResult& r) {
  QJsonObject o = EventJson("result", r.port);
  o.insert("device", Q(r.device));
  o.insert("result", OutcomeName(r.outcome));
  o.insert("identified", r.identified);
  if (r.identified) {
    o.insert("serial", Q(r.serial));
    o.insert("hardware", Q(r.hardware));
    o.insert("boot", Q(r.boot));
    o.insert("firmwareBefore", Q(r.firmwareBefore));
    o.insert("productionDate", Q(r.productionDate));
    o.insert("battery", Q(r.battery));
    o.insert("codeNumber", r.codeNumber);
    o.insert("usb", r.usb);
  }
  if (!r.firmwareAfter.empty()) o.insert("firmwareAfter", Q(r.firmwareAfter));
  if (!r.file.empty()) {
    o.insert("file", Q(r.file));
    o.insert("fileChecksum", Q(r.fileChecksum));
  }
  o.insert("bytes", static_cast<qint64>(r.bytes));
  o.insert("seconds", std::round(r.seconds * 1000) / 1000);
  o.insert("bytesPerSecond", std::round(BytesPerSecond(r)));
  o.insert("message", Q(r.message));
  QJsonArray questions;
  for (const BoxRecord& box : r.boxes) {
    if (box.question == 0) continue;
    const Question* q = FindQuestion(box.question);
    questions.append(QJsonObject{{"id", box.question},
                                 {"answer", box.answer},
                                 {"default", q && box.answer == q->defaultAnswer}});
  }
  o.insert("questions", questions);
  return o;
}

std::string JsonLine(const QJsonObject& object) {
  return QJsonDocument(object).toJson(QJsonDocument::Compact).toStdString() + "\n";
}

std::string CsvHeader() {
  return CsvLine({kStationRecordColumns.begin(), kStationRecordColumns.begin() + kRunLogColumns});
}

std::string CsvRow(const StationResult& r, const std::string& time) {
  std::vector<std::string> fields = RecordFields(RecordRow(r, time));
  fields.resize(kRunLogColumns);
  return CsvLine(fields);
}

StationRecordRow RecordRow(const StationResult& r, const std::string& time) {
  return {time,           r.port,           r.serial,        r.hardware,
          r.boot,         r.firmwareBefore, r.firmwareAfter, r.file,
          r.fileChecksum, r.bytes,          r.seconds,       r.outcome,
          r.message,      r.battery,        r.messageId};
}

}  // namespace qv::cli
