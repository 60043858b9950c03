#pragma once
// What one station's run came to, and the forms it is reported in: the
// result table, the live status line, the JSON lines and the CSV record.
#include <QJsonObject>
#include <cstdint>
#include <string>
#include <vector>

#include "config/StationRecord.h"
#include "core/RunEvents.h"

namespace qv::cli {

// The engine's outcome, except that a run the program itself ended (a
// missing port, Ctrl-C before the key, its time limit) is failed.
using Outcome = RunOutcome;

// One message box the engine raised, and the answer it got.
struct BoxRecord {
  std::string prompt;
  int style = 0;
  int messageId = 0;  // the id of the text that leads it, 0 for none
  int question = 0;   // its id when it is one of the questions; 0 otherwise
  int answer = 0;
};

struct StationResult {
  std::string port;    // as the operator gave it
  std::string device;  // the device path behind it
  bool identified = false;
  std::string serial;
  std::string hardware;  // "8115"
  std::string boot;      // "0102"
  std::string firmwareBefore;
  std::string firmwareAfter;
  std::string productionDate;  // "2015-06-01"
  std::string battery;         // volts, "3.60"
  int codeNumber = 0;
  bool usb = false;
  std::string file;          // the upgrade file sent (update)
  std::string fileChecksum;  // its trailer's checksum, four hex digits
  std::int64_t bytes = 0;    // data bytes the station acknowledged
  double seconds = 0;        // from the first block to the last acknowledgement
  Outcome outcome = Outcome::Failed;
  int messageId = 0;    // the box the engine named at the run's end; 0 for none
  std::string message;  // the last message shown, on one line
  std::vector<BoxRecord> boxes;
};

// 0 every station ok, 1 one failed, 4 none failed but one is unconfirmed,
// 2 none of those but one declined.
int ExitCode(const std::vector<StationResult>& results);
inline constexpr int kExitUsage = 3;
inline constexpr int kExitUnconfirmed = 4;

double BytesPerSecond(const StationResult& result);

// The table printed at the end, headings and words in the language given.
std::string ResultTable(const std::vector<StationResult>& results, std::int32_t initLang);

// The live line of one station.
struct LiveStatus {
  std::string port;
  std::string serial;
  std::string phase;
  std::int64_t bytes = 0;
  std::int64_t total = 0;
  double transferSeconds = 0;
  bool ended = false;  // the phase is the outcome; speed and time left no longer apply
};
// At most `width` characters: the bar gives way first, then the line is cut.
std::string StatusLine(const LiveStatus& status, std::size_t width = 80);

// JSON objects, one per line on standard output.
QJsonObject ResultJson(const StationResult& result);
QJsonObject EventJson(const std::string& event, const std::string& port);
std::string JsonLine(const QJsonObject& object);

// The CSV record (--log): a header for a new file, then one row per station
// and attempt; the station record's first columns.
std::string CsvHeader();
std::string CsvRow(const StationResult& result, const std::string& time);
// The station record's row, `time` when the run ended.
StationRecordRow RecordRow(const StationResult& result, const std::string& time);

}  // namespace qv::cli
