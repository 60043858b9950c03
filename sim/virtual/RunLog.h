#pragma once
// Records what the engine tells of its runs, for tests and the exploration:
// each event as a short line, and each run's end.
#include <optional>
#include <string>
#include <vector>

#include "core/RunEvents.h"

namespace qv::sim {

class RunLog : public RunEvents {
 public:
  struct End {
    RunOutcome outcome;
    int messageId;
  };

  void PhaseEntered(RunPhase phase) override { phases.push_back(phase); }
  void StationIdentified(const StationInfo& info) override { stations.push_back(info); }
  void FirmwareReported(const std::string& firmware) override { firmware_ = firmware; }
  void StationClockRead(std::int64_t ms) override { clockReads.push_back(ms); }
  void BlockAcknowledged(std::int64_t bytes, std::int64_t of) override {
    acknowledged = bytes;
    total = of;
  }
  void BoxShown(const BoxEvent& box) override { boxes.push_back(box); }
  void RunEnded(RunOutcome outcome, int messageId) override { ends.push_back({outcome, messageId}); }
  void RunStalled() override { ++stalls; }

  std::optional<RunOutcome> lastOutcome() const {
    return ends.empty() ? std::nullopt : std::optional(ends.back().outcome);
  }
  const std::string& firmwareReported() const { return firmware_; }
  void clear() { *this = RunLog(); }

  std::vector<RunPhase> phases;
  std::vector<StationInfo> stations;
  std::vector<BoxEvent> boxes;
  std::vector<End> ends;
  std::vector<std::int64_t> clockReads;  // station minus PC, ms
  std::int64_t acknowledged = 0;
  std::int64_t total = 0;
  int stalls = 0;

 private:
  std::string firmware_;
};

}  // namespace qv::sim
