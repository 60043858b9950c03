#pragma once
// Single faults at every step of reference conversations, and what became of
// each run: recovered within the run, ended with a message to the operator, or
// a broken promise (a stall, a success that is not one, a window left unusable,
// a next run that fails, a breach of the transfer's rules).
#include <cstdint>
#include <string>
#include <vector>

#include "sim/virtual/UpdateBench.h"

namespace qv::sim {

enum class FaultKind {
  ReplyLost,
  ReplyDamaged,  // its checksum
  ReplyCutShort,
  NakInstead,
  ReplyTwice,
  ReplyLate,        // after every watchdog
  LineError,        // a framing error on the loader's port as the frame goes out
  StationDeaf,      // for 3 s from the frame on, as while it restarts
  PortGoneBriefly,  // the PC's port unplugged as the frame goes out, back after 3 s
  PortGoneForGood,  // unplugged, back only when the operator plugs it in for the next run
};
inline constexpr FaultKind kFaultKinds[] = {FaultKind::ReplyLost,       FaultKind::ReplyDamaged,
                                            FaultKind::ReplyCutShort,   FaultKind::NakInstead,
                                            FaultKind::ReplyTwice,      FaultKind::ReplyLate,
                                            FaultKind::LineError,       FaultKind::StationDeaf,
                                            FaultKind::PortGoneBriefly, FaultKind::PortGoneForGood};
std::string FaultName(FaultKind kind);

// A fault hits the reply to (or the moment of) the loader's frame `position`,
// counted from the first frame after Start.
struct Fault {
  FaultKind kind = FaultKind::ReplyLost;
  int position = 0;
};

struct Conversation {
  std::string name;
  StationOptions station;
  BenchSetup setup;
  bool clockOnly = false;    // the clock command instead of an update
  std::vector<int> answers;  // to the boxes, in order (then OK)
};
std::vector<Conversation> ReferenceConversations();

enum class CellResult { Recovered, Message, Violation };

struct Cell {
  CellResult result = CellResult::Violation;
  std::string why;  // for a violation
};

// The fault-free run's frames after Start: what a fault can hit.
struct Reference {
  struct Frame {
    VirtualMs at = 0;
    std::uint8_t command = 0;
    int occurrence = 0;  // 1 for the first frame of its command, counted from the bench's start
  };
  std::vector<Frame> frames;
};
Reference RecordReference(const Conversation& conversation);

// Runs the conversation with the faults, then once more without any. With a
// transcript, the station's log and the boxes of both runs go into it.
Cell Explore(const Conversation& conversation, const Reference& reference,
             const std::vector<Fault>& faults, std::string* transcript = nullptr);

}  // namespace qv::sim
