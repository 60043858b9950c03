#pragma once
// What a command's run does, told as it happens: the phase it is in, the
// station it found, each acknowledged block, each box and its answer, and
// how it ended. Beside View, which only mirrors the window's controls, this
// is what a front end reports from; no front end reads the engine's state or
// the words of its boxes to learn what happened.
#include <cstdint>
#include <string>

#include "core/Bytes.h"
#include "core/StationInfo.h"

namespace qv {

// The commands whose runs are told.
enum class RunKind {
  Update,       // Start: the image, the key, the clock, the firmware read back
  Clock,        // Set time: read the clock, set it when it differs and the operator wants
  Identify,     // read the station's identification, nothing written
  RestoreLink,  // put the station back to the speed it was found at
  Poll,         // ask quietly whether a station is on the line (a series between stations)
};

enum class RunPhase { Contact, Identify, Transfer, Key, RestartWait, Clock, Confirm };

enum class RunOutcome {
  Ok,           // done: for an update, the station reported the new firmware
  Failed,       // not done, and the station may need the run again
  Declined,     // the operator said no before anything was written to the station
  Unconfirmed,  // the key went out, but the station never reported its firmware after it
};

struct BoxEvent {
  // The id of the text that leads the box; 0 for a text without one (a file
  // system's own error, a named text).
  int messageId = 0;
  int style = 0;
  int answer = 0;
  // The answer was the box's default button.
  bool defaultAnswer = false;
};

class RunEvents {
 public:
  virtual ~RunEvents() = default;
  // A command's run begins; its phases and events follow.
  virtual void RunBegun(RunKind) {}
  virtual void PhaseEntered(RunPhase) {}
  // A full identification, before the update's checks.
  virtual void StationIdentified(const StationInfo&) {}
  // A station answered a poll with its short identification; a series tells
  // it again as the run it starts on that station begins.
  virtual void StationAnswered(double /*serial*/) {}
  // The firmware the station reports after its restart.
  virtual void FirmwareReported(const std::string&) {}
  // A station read: its clock minus the PC's, in milliseconds, when the
  // reply came.
  virtual void StationClockRead(std::int64_t /*stationMinusPcMs*/) {}
  virtual void BlockAcknowledged(std::int64_t /*bytes*/, std::int64_t /*total*/) {}
  virtual void BoxShown(const BoxEvent&) {}
  // A frame went out; a complete reply (code and data) or a NAK (code 0x15,
  // no data) came in.
  virtual void FrameSent(const Bytes&) {}
  virtual void ReplyReceived(std::uint8_t /*code*/, const Bytes& /*data*/) {}
  // `messageId` is the last box the run showed (0 for none).
  virtual void RunEnded(RunOutcome, int /*messageId*/) {}
  // The run came to rest with a frame out on an open port and no watchdog
  // that would notice its reply missing: an engine fault, not an end. The
  // run goes on should the reply still come.
  virtual void RunStalled() {}
};

}  // namespace qv
