// Every single fault at every step of the reference conversations, and random
// pairs of faults: each run ends with the exact image confirmed or with a
// message, leaves the window usable, and the next run completes.
#include <gtest/gtest.h>

#include <random>

#include "sim/virtual/FaultExploration.h"

namespace qv::test {
namespace {

using sim::CellResult;
using sim::Conversation;
using sim::Fault;
using sim::FaultKind;

constexpr int kPairs = 2000;
constexpr int kPairChunks = 4;  // ctest runs them side by side

std::string Describe(const Conversation& c, const sim::Reference& reference,
                     const std::vector<Fault>& faults) {
  std::string text = c.name;
  for (const Fault& f : faults) {
    char command[8];
    std::snprintf(command, sizeof command, "%02X",
                  reference.frames[static_cast<std::size_t>(f.position)].command);
    text += ", " + sim::FaultName(f.kind) + " at frame " + std::to_string(f.position) + " (" +
            command + ")";
  }
  return text;
}

class SingleFaults : public ::testing::TestWithParam<std::size_t> {};

TEST_P(SingleFaults, EndInTheImageOrAMessageAndTheNextRunCompletes) {
  const Conversation c = sim::ReferenceConversations().at(GetParam());
  const sim::Reference reference = sim::RecordReference(c);
  ASSERT_GE(reference.frames.size(), 3u) << c.name;
  for (const FaultKind kind : sim::kFaultKinds) {
    for (int at = 0; at < static_cast<int>(reference.frames.size()); ++at) {
      const std::vector<Fault> faults{{kind, at}};
      const sim::Cell cell = sim::Explore(c, reference, faults);
      EXPECT_NE(cell.result, CellResult::Violation)
          << Describe(c, reference, faults) << ": " << cell.why;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Conversations, SingleFaults,
                         ::testing::Range<std::size_t>(0, sim::ReferenceConversations().size()));

class FaultPairs : public ::testing::TestWithParam<int> {};

TEST_P(FaultPairs, EndInTheImageOrAMessageAndTheNextRunCompletes) {
  const auto conversations = sim::ReferenceConversations();
  std::vector<sim::Reference> references;
  for (const Conversation& c : conversations) references.push_back(sim::RecordReference(c));
  std::mt19937 random(20261207u + static_cast<unsigned>(GetParam()));
  const auto pick = [&](std::size_t count) {
    return std::uniform_int_distribution<std::size_t>(0, count - 1)(random);
  };
  for (int i = 0; i < kPairs / kPairChunks; ++i) {
    const std::size_t which = pick(conversations.size());
    const sim::Reference& reference = references[which];
    std::vector<Fault> faults;
    for (int n = 0; n < 2; ++n) {
      faults.push_back({sim::kFaultKinds[pick(std::size(sim::kFaultKinds))],
                        static_cast<int>(pick(reference.frames.size()))});
    }
    const sim::Cell cell = sim::Explore(conversations[which], reference, faults);
    EXPECT_NE(cell.result, CellResult::Violation)
        << Describe(conversations[which], reference, faults) << ": " << cell.why;
  }
}

INSTANTIATE_TEST_SUITE_P(Seeded, FaultPairs, ::testing::Range(0, kPairChunks));

}  // namespace
}  // namespace qv::test
