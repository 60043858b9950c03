#pragma once
// The station record's row of each run the window's operator finishes, and
// the fan-out that lets the outcome label and the record hear the same runs.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "config/StationRecord.h"
#include "core/RunEvents.h"

namespace qv {

// Every event to each listener in turn, in the order given.
class RunEventsFanOut : public RunEvents {
 public:
  explicit RunEventsFanOut(std::vector<RunEvents*> listeners) : listeners_(std::move(listeners)) {}

  void RunBegun(RunKind kind) override;
  void PhaseEntered(RunPhase phase) override;
  void StationIdentified(const StationInfo& info) override;
  void StationAnswered(double serial) override;
  void FirmwareReported(const std::string& firmware) override;
  void StationClockRead(std::int64_t stationMinusPcMs) override;
  void BlockAcknowledged(std::int64_t bytes, std::int64_t total) override;
  void BoxShown(const BoxEvent& box) override;
  void FrameSent(const Bytes& frame) override;
  void ReplyReceived(std::uint8_t code, const Bytes& data) override;
  void RunEnded(RunOutcome outcome, int messageId) override;
  void RunStalled() override;

 private:
  std::vector<RunEvents*> listeners_;
};

// Gathers a run's row from its events; what they cannot tell (the time, the
// port, the file, the message) `ended` fills in before it keeps the row.
// Putting the link back as it was found is no run of the operator's and
// makes no row.
class RunRecordEvents : public RunEvents {
 public:
  explicit RunRecordEvents(std::function<std::int64_t()> monotonicMs)
      : monotonicMs_(std::move(monotonicMs)) {}

  std::function<void(RunKind kind, StationRecordRow& row)> ended;

  void RunBegun(RunKind kind) override;
  void PhaseEntered(RunPhase phase) override;
  void StationIdentified(const StationInfo& info) override;
  void StationAnswered(double serial) override;
  void FirmwareReported(const std::string& firmware) override;
  void BlockAcknowledged(std::int64_t bytes, std::int64_t total) override;
  void RunEnded(RunOutcome outcome, int messageId) override;

 private:
  std::function<std::int64_t()> monotonicMs_;
  RunKind kind_ = RunKind::Update;
  StationRecordRow row_;
  bool identified_ = false;
  std::int64_t transferFromMs_ = -1;
};

}  // namespace qv
