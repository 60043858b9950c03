#pragma once
// The station record: one CSV row for every run a front end finishes, in one
// file beside the settings file, so what was done to which station is still
// known after the program, the terminal or the machine has gone. The first
// columns are those of qvboot-cli's --log file; the record adds the battery
// and a code for the outcome that reads the same in every language.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/RunEvents.h"

namespace qv {

class IniAccess;

inline constexpr const char* kStationRecordName = "QV-Boot-stations.csv";

inline constexpr std::array<std::string_view, 15> kStationRecordColumns = {
    "time",           "port",    "serial",        "hardware", "boot",    "firmware_before",
    "firmware_after", "file",    "file_checksum", "bytes",    "seconds", "result",
    "message",        "battery", "outcome_code"};
// qvboot-cli's --log file has the first columns only.
inline constexpr std::size_t kRunLogColumns = 13;

struct StationRecordRow {
  std::string time;  // when the run ended, UTC, ISO 8601
  std::string port;
  std::string serial;
  std::string hardware;
  std::string boot;
  std::string firmwareBefore;
  std::string firmwareAfter;
  std::string file;
  std::string fileChecksum;
  std::int64_t bytes = 0;
  double seconds = 0;
  RunOutcome outcome = RunOutcome::Failed;
  std::string message;
  std::string battery;  // volts, "3.60"
  int messageId = 0;    // the box that ended the run; 0 for none
};

const char* OutcomeName(RunOutcome outcome);  // "ok", "failed", "declined", "unconfirmed"
// "ok", "unconfirmed", else "declined:<id>" or "failed:<id>" with the id of
// the box that ended the run, and plain "declined" or "failed" without one.
std::string OutcomeCode(RunOutcome outcome, int messageId);

// A field as it goes into a row: quoted when it holds a comma, a quote or a
// line break, its quotes doubled.
std::string CsvField(std::string_view text);
// The fields quoted and joined, with the line's end.
std::string CsvLine(const std::vector<std::string>& fields);
// The row's fields in the order of kStationRecordColumns.
std::vector<std::string> RecordFields(const StationRecordRow& row);

// The record's path: beside the settings file `LocateSettingsFile` placed in
// `ini`; empty when there is no data folder.
std::string StationRecordPath(const IniAccess& ini);

// Appends the row (and the header first to a new or empty file). Returns why
// it could not be written; empty when it was.
[[nodiscard]] std::string AppendStationRecord(const std::string& path, const StationRecordRow& row);

// The rows of the record at `path` without its header, newest first; none
// when it cannot be read. A row cut short at the end is left out.
std::vector<std::vector<std::string>> ReadStationRecord(const std::string& path);

}  // namespace qv
