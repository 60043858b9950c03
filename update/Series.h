#pragma once
// Station after station on one link, as an operator places them on a relaying
// master station or plugs them in: while no station's run is going, the line
// is asked quietly every kSeriesPollMs for a station's short identification;
// one that answers and is not the station just finished gets the ordinary
// update, with all its checks and questions; after its run the series waits
// for a station with another serial number. Stop ends the series at once.
// A series may keep one question's answer: the operator answers it for the
// first station, and every later station of that series gets the same
// answer without the box (a clock series asks once whether to set clocks).
#include <cstdint>
#include <functional>

#include "core/RunEvents.h"

namespace qv {

class Context;
class Timer;

inline constexpr int kSeriesPollMs = 1000;

class Series : public RunEvents {
 public:
  struct Tally {
    int done = 0;       // the command's work done: the firmware updated, the clock set
    int unchanged = 0;  // ended well without meeting the kept question: a clock that agreed
    int refused = 0;    // declined: low battery, the same firmware, a question answered no
    int failed = 0;     // failed or unconfirmed: the station needs another look
  };

  // `poll` is a timer of the series' own. `front` hears everything of the
  // stations' runs (and of every run while no series goes), the boxes and
  // stalls of the polls, and never a poll's beginning, phases or end. A
  // window makes the series its context's events once, for good.
  // `command` is each new station's run: the update, or the clock command.
  using Command = void (*)(Context&);
  Series(Timer& poll, RunEvents& front, Command command = nullptr);
  // The context whose Platform.events is this series; once, before Start.
  void Attach(Context& ctx);

  // The command given at construction, every question asked.
  void Start();
  // `command` for each station of this series; `askedOnce` is the id of the
  // question whose first answer is kept for the series (0: none).
  void Start(Command command, int askedOnce = 0);
  void Stop();
  bool running() const { return running_; }
  // The command of the running series, or of the last one.
  Command stationCommand() const { return command_; }
  const Tally& tally() const { return tally_; }
  // The series stopped by itself: nothing answered its mode frame (the box
  // "Station not ready!" said so).
  std::function<void()> onGaveUp;

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
  enum class Step { SetMode, Poll, Update };
  void Next(Step step, int afterMs);
  void Tick();
  // A poll of the series' own is going: its events are not the front's.
  bool Polling() const { return polling_; }

  Timer& poll_;
  RunEvents& front_;
  const Command defaultCommand_;
  Command command_;
  Context* ctx_ = nullptr;
  bool running_ = false;
  Step step_ = Step::SetMode;
  Step next_ = Step::SetMode;
  bool polling_ = false;
  bool lineAnswered_ = false;
  int silentPolls_ = 0;  // unanswered in a row
  double answered_ = 0;  // the serial number the last poll heard
  double finished_ = 0;  // the station whose run ended last
  int askedOnce_ = 0;
  Tally tally_;
};

}  // namespace qv
