#include "sim/virtual/FaultExploration.h"

#include <cstdlib>
#include <map>
#include <optional>

#include "core/Calendar.h"
#include "texts/MlStringModule.h"
#include "update/ClockCommand.h"
#include "update/ModeSwitching.h"
#include "update/UpdateRun.h"

namespace qv::sim {

namespace {

// Long enough for any run to end or to give up: every watchdog is seconds.
constexpr VirtualMs kRunLimitMs = 300'000;
constexpr TimeUs kDeafUs = 3'000'000;
constexpr VirtualMs kPortAwayMs = 3000;
constexpr std::int64_t kClockOffsetMs = 90'000;

void Begin(UpdateBench& b, const Conversation& c) {
  b.p.runs.clear();
  if (c.clockOnly)
    mnuCommandSetTime_Click(b.ctx);
  else
    mnuCommandStartUpdate_Click(b.ctx);
}

// No timer left that would do anything: the engine waits for the operator.
bool AtRest(const UpdateBench& b) {
  const VirtualPlatform& p = b.p;
  return !p.timer1.Enabled() && !p.timer3.Enabled() && !p.timerEfi.Enabled() &&
         !p.timerKeyWait.Enabled() && !(p.timer2.Enabled() && p.timer2.Interval() > 0);
}

bool ClockSet(const UpdateBench& b) {
  const auto apart = MsSince2000(b.station().stationTime()) - MsSince2000(b.p.clock.now());
  return std::llabs(apart) < 1000;
}

bool Succeeded(const UpdateBench& b, const Conversation& c) {
  return c.clockOnly ? ClockSet(b) : b.confirmed();
}

// A box that tells the operator something went wrong (the prompt after the
// key and the clock question ask; the success box reports success).
bool SaidWhy(const UpdateBench& b) {
  const std::string loaded = GetMlString(1000, 1226, "");
  const std::string success = GetMlString(1000, 1239, "");
  const std::string setClock = GetMlString(1000, 1208, "");
  for (const auto& box : b.p.view.boxes()) {
    const std::string& text = box.prompt;
    if (text.find(loaded) == std::string::npos && text.find(success) == std::string::npos &&
        text.find(setClock) == std::string::npos)
      return true;
  }
  return false;
}

bool Usable(const UpdateBench& b) {
  return b.p.view.isEnabled(Control::btnStart) && b.p.view.isEnabled(Control::mnuCommandSetTime);
}

std::string Breaches(const UpdateBench& b) {
  std::string text;
  for (const std::string& breach : b.station().breaches()) text += "; breach: " + breach;
  return text;
}

const Reference::Frame* FrameAt(const Reference& reference, int position) {
  if (position < 0 || position >= static_cast<int>(reference.frames.size())) return nullptr;
  return &reference.frames[static_cast<std::size_t>(position)];
}

// A fault on the station's reply, as the station model plays it.
std::optional<ReplyFault> ReplyFaultOf(const Reference& reference, const Fault& fault) {
  const Reference::Frame* frame = FrameAt(reference, fault.position);
  if (!frame) return std::nullopt;
  const auto reply = [&](ReplyFaultKind kind) {
    return ReplyFault{kind, frame->command, frame->occurrence};
  };
  switch (fault.kind) {
    case FaultKind::ReplyLost:
      return reply(ReplyFaultKind::Silent);
    case FaultKind::ReplyDamaged:
      return reply(ReplyFaultKind::CorruptChecksum);
    case FaultKind::ReplyCutShort:
      return reply(ReplyFaultKind::CutShort);
    case FaultKind::NakInstead:
      return reply(ReplyFaultKind::Nak);
    case FaultKind::ReplyTwice:
      return reply(ReplyFaultKind::Twice);
    case FaultKind::ReplyLate:
      return reply(ReplyFaultKind::Late);
    default:
      return std::nullopt;
  }
}

// A fault of the moment the frame goes out: the fault-free run and this one
// are the same up to it, so it comes at the reference's time.
void ScheduleLineFault(UpdateBench& b, const Reference& reference, const Fault& fault) {
  const Reference::Frame* frame = FrameAt(reference, fault.position);
  if (!frame) return;
  const VirtualMs at = frame->at;
  if (fault.kind == FaultKind::LineError) {
    b.p.scheduler.scheduleAt(at, [&b] {
      b.peer->station().noteLineError();
      b.p.port.injectEvent(comEventFrame, 1);
    });
  }
  if (fault.kind == FaultKind::PortGoneBriefly || fault.kind == FaultKind::PortGoneForGood)
    b.p.scheduler.scheduleAt(at, [&b] { b.p.port.unplug(); });
  if (fault.kind == FaultKind::PortGoneBriefly) {
    b.p.scheduler.scheduleAt(at + kPortAwayMs,
                             [&b] { b.p.port.setPortMissing(b.p.port.CommPort(), false); });
  }
  if (fault.kind == FaultKind::StationDeaf)
    b.p.scheduler.scheduleAt(at, [&b, at] { b.peer->station().deafen(at * 1000 + kDeafUs); });
}

}  // namespace

std::string FaultName(FaultKind kind) {
  switch (kind) {
    case FaultKind::ReplyLost:
      return "reply lost";
    case FaultKind::ReplyDamaged:
      return "checksum damaged";
    case FaultKind::ReplyCutShort:
      return "reply cut short";
    case FaultKind::NakInstead:
      return "NAK instead";
    case FaultKind::ReplyTwice:
      return "reply twice";
    case FaultKind::ReplyLate:
      return "reply late";
    case FaultKind::LineError:
      return "line error";
    case FaultKind::StationDeaf:
      return "deaf 3 s";
    case FaultKind::PortGoneBriefly:
      return "port gone 3 s";
    case FaultKind::PortGoneForGood:
      return "port gone";
  }
  return "?";
}

std::vector<Conversation> ReferenceConversations() {
  std::vector<Conversation> all;
  all.push_back({"direct, raised from 4800", StationAt(4800), {}, false, {}});
  all.push_back({"direct at 38400", StationAt(38400), {.pcBaud = 38400}, false, {}});
  all.push_back({"relayed", StationAt(4800), {.relayed = true}, false, {}});
  all.push_back({"USB", StationAt(4800, 0x30), {}, false, {}});
  all.push_back({"stays at 4800", StationAt(4800, 0x08, 4800), {}, false, {}});
  Conversation resume{"resume after the question", StationAt(4800), {}, false, {vbOK}};
  resume.station.faults.nakBlocks = {{2, 22}};
  all.push_back(resume);
  Conversation clock{"clock alone", StationAt(4800), {}, true, {vbYes}};
  clock.station.clockOffsetMs = kClockOffsetMs;
  all.push_back(clock);
  return all;
}

Reference RecordReference(const Conversation& conversation) {
  UpdateBench b(conversation.station, conversation.setup);
  for (int answer : conversation.answers) b.p.view.answer(answer);
  const std::size_t before = b.p.port.sent().size();
  std::map<std::uint8_t, int> counts;
  for (std::size_t i = 0; i < before; ++i) ++counts[b.p.port.sent()[i].bytes[2]];
  Begin(b, conversation);
  b.run(kRunLimitMs);
  Reference reference;
  const auto& sent = b.p.port.sent();
  for (std::size_t i = before; i < sent.size(); ++i) {
    const std::uint8_t command = sent[i].bytes[2];
    reference.frames.push_back({sent[i].at, command, ++counts[command]});
  }
  return reference;
}

namespace {

std::string Transcript(const UpdateBench& b) {
  std::string text;
  for (const LogEntry& entry : b.station().log()) text += FormatLogEntry(entry) + "\n";
  return text + "boxes: " + b.boxLog() + "\n";
}

Cell Judge(UpdateBench& b, const Conversation& conversation) {
  b.run(kRunLimitMs);
  if (!AtRest(b)) return {CellResult::Violation, "still busy after 300 s"};
  // What the engine told of the run must hold: one end, never a stall, and
  // "ok" only for a station that is done.
  if (b.p.runs.stalls > 0) return {CellResult::Violation, "rested awaiting an unwatched reply"};
  if (b.p.runs.ends.size() != 1)
    return {CellResult::Violation,
            "the run was told ended " + std::to_string(b.p.runs.ends.size()) + " times"};
  const bool succeeded = Succeeded(b, conversation);
  if (b.p.runs.lastOutcome() == RunOutcome::Ok && !succeeded)
    return {CellResult::Violation, "told ok, but the station is not done: " + b.boxLog()};
  const bool saidOk = b.boxesWith(1239) > 0 || b.p.view.text(Control::Caption).ends_with(" ok");
  if (saidOk && !b.confirmed())
    return {CellResult::Violation, "said ok, but the station does not hold the new firmware"};
  if (!succeeded && !SaidWhy(b))
    return {CellResult::Violation, "ended without a word: " + b.boxLog()};
  if (!Usable(b)) return {CellResult::Violation, "commands left disabled: " + b.boxLog()};
  if (!b.station().breaches().empty()) return {CellResult::Violation, Breaches(b).substr(2)};

  // The operator runs it again on a line without faults. After a failure the
  // help guide has them choose the mode again (the mode search then finds the
  // station at either speed); a mode list left empty drops open at Start and
  // asks the same.
  b.peer->station().clearFaults();
  b.p.port.setPortMissing(b.p.port.CommPort(), false);  // plugged in again
  b.p.view.clearBoxes();
  for (int answer : conversation.answers) b.p.view.answer(answer);
  if (!succeeded || b.p.view.text(Control::Master).empty()) {
    SelectMasterEntry(b.ctx, conversation.setup.relayed ? 1 : 0);
    b.run(15'000);
  }
  Begin(b, conversation);
  b.run(kRunLimitMs);
  if (!Succeeded(b, conversation) || !b.station().breaches().empty())
    return {CellResult::Violation, "the next run failed: " + b.boxLog() + Breaches(b)};
  return {succeeded ? CellResult::Recovered : CellResult::Message, ""};
}

}  // namespace

Cell Explore(const Conversation& conversation, const Reference& reference,
             const std::vector<Fault>& faults, std::string* transcript) {
  StationOptions station = conversation.station;
  // The reference counts frames from the bench's start; so does the station.
  for (const Fault& fault : faults) {
    if (auto reply = ReplyFaultOf(reference, fault)) station.faults.replyFaults.push_back(*reply);
  }
  UpdateBench b(station, conversation.setup);
  for (const Fault& fault : faults) ScheduleLineFault(b, reference, fault);
  for (int answer : conversation.answers) b.p.view.answer(answer);
  Begin(b, conversation);
  const Cell cell = Judge(b, conversation);
  if (transcript) *transcript = Transcript(b);
  return cell;
}

}  // namespace qv::sim
