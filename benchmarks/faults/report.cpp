// The fault exploration as a table: for each reference conversation and each
// kind of fault, how many of the steps it was planted at were recovered within
// the run, ended with a message, or broke a promise. Prints figures; asserts
// nothing (the same exploration runs as a test).
#include <cstdio>
#include <map>
#include <string>

#include "sim/virtual/FaultExploration.h"

int main(int argc, char** argv) {
  using namespace qv::sim;
  // One cell in full: qvfaultreport CONVERSATION KIND FRAME [KIND FRAME]
  // (numbers from 0; a second pair for a cell of two faults).
  if (argc == 4 || argc == 6) {
    const Conversation c = ReferenceConversations().at(std::stoul(argv[1]));
    const Reference reference = RecordReference(c);
    std::vector<Fault> faults;
    for (int at = 2; at + 1 < argc; at += 2)
      faults.push_back({kFaultKinds[std::stoul(argv[at])], std::stoi(argv[at + 1])});
    std::string transcript;
    const Cell cell = Explore(c, reference, faults, &transcript);
    const char* result[] = {"recovered within the run", "ended with a message", "VIOLATION"};
    std::printf("%s%s %s\n", transcript.c_str(), result[static_cast<int>(cell.result)],
                cell.why.c_str());
    return 0;
  }
  int cells = 0, recovered = 0, messages = 0, violations = 0;
  std::printf("%-28s", "conversation \\ fault");
  for (const FaultKind kind : kFaultKinds) std::printf(" %-17s", FaultName(kind).c_str());
  std::printf("\n%-28s", "");
  for (std::size_t i = 0; i < std::size(kFaultKinds); ++i) std::printf(" %-17s", "recov/msg/VIOL");
  std::printf("\n");
  std::vector<std::string> broken;
  for (const Conversation& c : ReferenceConversations()) {
    const Reference reference = RecordReference(c);
    std::printf("%-28s", (c.name + " (" + std::to_string(reference.frames.size()) + ")").c_str());
    for (const FaultKind kind : kFaultKinds) {
      std::map<CellResult, int> count;
      for (int at = 0; at < static_cast<int>(reference.frames.size()); ++at) {
        const Cell cell = Explore(c, reference, {{kind, at}});
        ++count[cell.result];
        if (cell.result == CellResult::Violation)
          broken.push_back(c.name + ", " + FaultName(kind) + " at frame " + std::to_string(at) +
                           ": " + cell.why);
      }
      std::printf(" %-17s", (std::to_string(count[CellResult::Recovered]) + "/" +
                             std::to_string(count[CellResult::Message]) + "/" +
                             std::to_string(count[CellResult::Violation]))
                                .c_str());
      cells += static_cast<int>(reference.frames.size());
      recovered += count[CellResult::Recovered];
      messages += count[CellResult::Message];
      violations += count[CellResult::Violation];
    }
    std::printf("\n");
  }
  for (const std::string& line : broken) std::printf("violation: %s\n", line.c_str());
  std::printf("fault exploration: %d cells, %d recovered, %d ended with a message, %d violations\n",
              cells, recovered, messages, violations);
  return 0;
}
