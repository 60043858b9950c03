#include "config/StationRecord.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "config/IniAccess.h"

namespace qv {

namespace {

using Rows = std::vector<std::vector<std::string>>;

// Walks CSV text; `rows` (when given) receives every row ended by a line
// break outside quotes. Returns the offset just past the last such row.
std::size_t WalkCsv(std::string_view text, Rows* rows) {
  std::size_t end = 0;
  std::vector<std::string> row(1);
  bool quoted = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (quoted && c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
      row.back() += c;
      ++i;
    } else if (c == '"') {
      quoted = !quoted;
    } else if (!quoted && c == ',') {
      row.emplace_back();
    } else if (!quoted && c == '\n') {
      if (rows) rows->push_back(std::move(row));
      row.assign(1, {});
      end = i + 1;
    } else {
      row.back() += c;
    }
  }
  return end;
}

std::string Fixed3(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.3f", value);
  return text;
}

class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

// The whole file, read through `fd` from its start.
bool ReadAll(int fd, std::string& text) {
  struct stat status {};
  if (::fstat(fd, &status) != 0) return false;
  text.resize(static_cast<std::size_t>(status.st_size));
  std::size_t got = 0;
  while (got < text.size()) {
    const ssize_t n = ::pread(fd, text.data() + got, text.size() - got, static_cast<off_t>(got));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) break;  // shorter than it was a moment ago
    got += static_cast<std::size_t>(n);
  }
  text.resize(got);
  return true;
}

}  // namespace

const char* OutcomeName(RunOutcome outcome) {
  switch (outcome) {
    case RunOutcome::Ok:
      return "ok";
    case RunOutcome::Declined:
      return "declined";
    case RunOutcome::Unconfirmed:
      return "unconfirmed";
    case RunOutcome::Failed:
      break;
  }
  return "failed";
}

std::string OutcomeCode(RunOutcome outcome, int messageId) {
  const bool withBox =
      messageId != 0 && (outcome == RunOutcome::Declined || outcome == RunOutcome::Failed);
  return OutcomeName(outcome) + (withBox ? ":" + std::to_string(messageId) : std::string());
}

std::string CsvField(std::string_view text) {
  if (text.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(text);
  std::string quoted = "\"";
  for (const char c : text) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
  return quoted + "\"";
}

std::string CsvLine(const std::vector<std::string>& fields) {
  std::string line;
  for (std::size_t i = 0; i < fields.size(); ++i) line += (i ? "," : "") + CsvField(fields[i]);
  return line + "\n";
}

std::vector<std::string> RecordFields(const StationRecordRow& r) {
  return {r.time,
          r.port,
          r.serial,
          r.hardware,
          r.boot,
          r.firmwareBefore,
          r.firmwareAfter,
          r.file,
          r.fileChecksum,
          std::to_string(r.bytes),
          Fixed3(r.seconds),
          OutcomeName(r.outcome),
          r.message,
          r.battery,
          OutcomeCode(r.outcome, r.messageId)};
}

std::string StationRecordPath(const IniAccess& ini) {
  const std::string& settingsFile = ini.IniFile();
  if (settingsFile.empty()) return {};
  return settingsFile.substr(0, settingsFile.rfind('/') + 1) + kStationRecordName;
}

std::string AppendStationRecord(const std::string& path, const StationRecordRow& row) {
  if (path.empty()) return "no data folder ($XDG_DATA_HOME or $HOME)";
  const Descriptor file(::open(path.c_str(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC, 0644));
  const auto failure = [] { return std::string(std::strerror(errno)); };
  if (file.get() < 0) return failure();
  // The window and qvboot-cli may append at the same time; the header and
  // the cut below must see the file as it is.
  if (::flock(file.get(), LOCK_EX) != 0) return failure();
  std::string text;
  if (!ReadAll(file.get(), text)) return failure();
  // A crash or a pulled plug during the write can leave a row cut short at
  // the end: no line break after it, or one inside a quoted field. It is cut
  // back to the end of the last whole row first, so the torn part never
  // joins the row written now.
  const std::size_t whole = WalkCsv(text, nullptr);
  if (whole < text.size() && ::ftruncate(file.get(), static_cast<off_t>(whole)) != 0)
    return failure();
  std::vector<std::string> header(kStationRecordColumns.begin(), kStationRecordColumns.end());
  const std::string line = (whole == 0 ? CsvLine(header) : "") + CsvLine(RecordFields(row));
  // One write on a descriptor opened for appending: rows of two writers
  // never interleave, and the program ending between two calls leaves no
  // part of a row behind.
  const ssize_t written = ::write(file.get(), line.data(), line.size());
  if (written != static_cast<ssize_t>(line.size())) {
    // A write to a file stops short when the disk is full.
    const std::string why = written < 0 ? failure() : std::strerror(ENOSPC);
    // A part of the row is a torn row: take it back now rather than at the next append.
    if (written > 0 && ::ftruncate(file.get(), static_cast<off_t>(whole)) != 0) return failure();
    return why;
  }
  if (::fsync(file.get()) != 0) return failure();
  return {};
}

std::vector<std::vector<std::string>> ReadStationRecord(const std::string& path) {
  Rows rows;
  const Descriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  std::string text;
  if (file.get() < 0 || !ReadAll(file.get(), text)) return rows;
  WalkCsv(text, &rows);
  if (!rows.empty() && !rows.front().empty() && rows.front().front() == kStationRecordColumns[0])
    rows.erase(rows.begin());
  std::reverse(rows.begin(), rows.end());
  return rows;
}

}  // namespace qv
