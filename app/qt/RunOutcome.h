#pragma once
// What the main window keeps of the last run: the station, what became of it
// and why, learnt from the engine's RunEvents alone. The window shows it in
// large letters until the next station answers, so an operator working
// through a pile of stations sees from a step away what happened to the one
// in hand.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "core/RunEvents.h"

namespace qv {

// A run's outcome in a few words in the language `initLang`, for the
// session table: what became of the station and, when it was not done, why.
std::string OutcomeWords(std::int32_t initLang, RunKind kind, RunOutcome outcome, int messageId);

class RunOutcomeEvents : public RunEvents {
 public:
  // Called whenever the text changes: a run ended, or a station answered
  // and the last outcome is no longer the station's in hand.
  std::function<void()> changed;

  // The outcome in the language `initLang`, numbers with `decimalSeparator`;
  // empty while there is none to tell.
  std::string Text(std::int32_t initLang, char decimalSeparator) const;

  void RunBegun(RunKind kind) override;
  void StationIdentified(const StationInfo& info) override;
  void FirmwareReported(const std::string& firmware) override;
  void StationClockRead(std::int64_t stationMinusPcMs) override;
  void BlockAcknowledged(std::int64_t bytes, std::int64_t total) override;
  void RunEnded(RunOutcome outcome, int messageId) override;

 private:
  struct Run {
    RunKind kind = RunKind::Update;
    std::optional<StationInfo> station;  // as it first answered in the run
    std::string firmwareAfter;
    std::optional<std::int64_t> clockMs;
    std::int64_t bytes = 0;
    std::int64_t total = 0;
    RunOutcome outcome = RunOutcome::Failed;
    int messageId = 0;
  };

  void Changed() const {
    if (changed) changed();
  }
  std::string Reason(std::int32_t initLang, const Run& run) const;

  Run current_;
  std::optional<Run> ended_;  // the last run told, until another station answers
};

}  // namespace qv
