#include "update/Series.h"

#include "core/Context.h"
#include "update/UpdateRun.h"

namespace qv {

Series::Series(Timer& poll, RunEvents& front, Command command)
    : poll_(poll),
      front_(front),
      defaultCommand_(command ? command : mnuCommandStartUpdate_Click),
      command_(defaultCommand_) {
  poll_.OnTick = [this] { Tick(); };
}

void Series::Attach(Context& ctx) {
  ctx_ = &ctx;
}

void Series::Start() {
  Start(defaultCommand_);
}

void Series::Start(Command command, int askedOnce) {
  command_ = command;
  askedOnce_ = askedOnce;
  // A new series asks afresh.
  ctx_->kept = {.messageId = askedOnce, .answer = 0};
  running_ = true;
  finished_ = 0;
  silentPolls_ = 0;
  tally_ = {};
  // The mode first, so that a relaying master passes the polls on instead of
  // answering them itself.
  Next(Step::SetMode, 0);
}

void Series::Stop() {
  running_ = false;
  poll_.setEnabled(false);
  // The operator's own commands after the series ask every question.
  ctx_->kept = {};
  // A station's run is stopped and tells its end; a poll waiting for its
  // reply is ended too, so that the next command meets no frame of it.
  if (ctx_->report.active) mnuCommandStop_Click(*ctx_);
}

void Series::Next(Step step, int afterMs) {
  next_ = step;
  poll_.setEnabled(false);
  poll_.setInterval(afterMs > 0 ? afterMs : 1);  // a timer at 0 would fire without end
  poll_.setEnabled(true);
}

// Each step starts from the series' own timer, never from inside the event
// that ended the run before it.
void Series::Tick() {
  poll_.setEnabled(false);
  if (!running_) return;
  step_ = next_;
  switch (step_) {
    case Step::SetMode:
      lineAnswered_ = false;
      polling_ = true;
      PollStation(*ctx_, PollWay::SetMode);
      break;
    case Step::Poll:
      answered_ = 0;
      polling_ = true;
      // Every third question goes at the other speed: a station may be placed
      // at either, though mostly at the speed the last one was left at.
      PollStation(*ctx_, silentPolls_ % 3 == 2 ? PollWay::OtherSpeed : PollWay::SameSpeed);
      break;
    case Step::Update:
      command_(*ctx_);
      // A command with nothing to go on begins no run, and no end would
      // carry the series on: it asks again instead.
      if (!ctx_->report.active && running_ && !poll_.Enabled()) Next(Step::Poll, kSeriesPollMs);
      break;
  }
}

void Series::RunEnded(RunOutcome outcome, int messageId) {
  if (!polling_ && (!running_ || step_ != Step::Update)) {
    front_.RunEnded(outcome, messageId);  // a run of the operator's own
    return;
  }
  polling_ = false;
  if (!running_) return;  // a poll Stop ended
  switch (step_) {
    case Step::SetMode:
      // Nothing answered the mode frame, not even a master station: the box
      // said so, and there is no line to poll.
      if (!lineAnswered_) {
        running_ = false;
        ctx_->kept = {};
        if (onGaveUp) onGaveUp();
        return;
      }
      break;
    case Step::Poll:
      silentPolls_ = outcome == RunOutcome::Ok ? 0 : silentPolls_ + 1;
      if (outcome == RunOutcome::Ok && answered_ != finished_) {
        if (running_) Next(Step::Update, 0);
        return;
      }
      break;
    case Step::Update:
      finished_ = answered_;
      // The kept question is what the command asks when there is work to
      // do (a clock that differs); a run that never met it had none.
      if (outcome == RunOutcome::Ok && askedOnce_ != 0 && messageId != askedOnce_)
        ++tally_.unchanged;
      else if (outcome == RunOutcome::Ok)
        ++tally_.done;
      else if (outcome == RunOutcome::Declined)
        ++tally_.refused;
      else
        ++tally_.failed;
      front_.RunEnded(outcome, messageId);
      break;
  }
  if (running_) Next(Step::Poll, kSeriesPollMs);
}

void Series::StationAnswered(double serial) {
  answered_ = serial;
  front_.StationAnswered(serial);
}

void Series::ReplyReceived(std::uint8_t code, const Bytes& data) {
  lineAnswered_ = true;
  front_.ReplyReceived(code, data);
}

void Series::RunBegun(RunKind kind) {
  if (Polling()) return;
  front_.RunBegun(kind);
  // The station's run is for the station the poll heard: told again, so
  // that a run that never identifies it (the clock's) still knows which.
  if (running_ && step_ == Step::Update && answered_ != 0) front_.StationAnswered(answered_);
}

void Series::StationClockRead(std::int64_t stationMinusPcMs) {
  front_.StationClockRead(stationMinusPcMs);
}

void Series::PhaseEntered(RunPhase phase) {
  if (!Polling()) front_.PhaseEntered(phase);
}

void Series::StationIdentified(const StationInfo& info) {
  if (Polling()) return;
  answered_ = info.serial;  // the station the run met, should it have been swapped
  front_.StationIdentified(info);
}

void Series::FirmwareReported(const std::string& firmware) {
  front_.FirmwareReported(firmware);
}

void Series::BlockAcknowledged(std::int64_t bytes, std::int64_t total) {
  front_.BlockAcknowledged(bytes, total);
}

void Series::BoxShown(const BoxEvent& box) {
  front_.BoxShown(box);
}

void Series::FrameSent(const Bytes& frame) {
  front_.FrameSent(frame);
}

void Series::RunStalled() {
  front_.RunStalled();
}

}  // namespace qv
