#pragma once
// Where the runs' reports go: JSON lines on standard output (with --json),
// words for people on standard error, the trace file. On a terminal one
// line per station is redrawn in place; elsewhere lines carry their time.
#include <cstdio>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "cli/StationRun.h"

namespace qv::cli {

class Console : public Sink {
 public:
  Console(std::int32_t initLang, bool json, bool terminal, std::FILE* trace);

  // A station line more, its index; one that is dropped is drawn no more.
  int AddStation(const std::string& port);
  void DropStation(int index);

  void Event(const QJsonObject& event) override;
  void Live(int index, const LiveStatus& status) override;
  void Frame(const std::string& port, bool out, std::uint8_t code, const Bytes& bytes) override;
  void StationDone(const StationResult& result) override;
  // Called for each station as its run ends, from the run's thread.
  std::function<void(const StationResult&)> onStationDone;

  // Redraws the station lines (terminal only); called from the main thread.
  void Redraw();
  // Leaves the station lines as they are, so that what follows goes below.
  void EndLive();
  // A JSON line of the program's own (start, summary), nothing without --json.
  void Json(const QJsonObject& object);
  // Words for people, on standard error.
  void Say(const std::string& text);

 private:
  void ClearLive();
  void DrawLive();
  std::string Human(const QJsonObject& event) const;

  std::mutex mutex_;
  std::int32_t initLang_;
  bool json_;
  bool terminal_;
  std::FILE* trace_;
  std::vector<LiveStatus> live_;
  std::vector<bool> dropped_;
  int drawn_ = 0;  // station lines on screen below the cursor's line
};

// The text of a button for people: "OK", "Abbrechen", "Oui" …
std::string ButtonText(int answer, std::int32_t initLang);

}  // namespace qv::cli
