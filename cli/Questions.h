#pragma once
// The questions the engine asks the operator, and how a run without an
// operator answers them. A box is told apart by the id of the text that
// leads it, never by its words.
#include <cstdint>
#include <set>
#include <span>
#include <string>
#include <string_view>

namespace qv::cli {

struct Question {
  int id;             // the id the operator names with --yes
  int defaultAnswer;  // the answer that sends nothing more
  int otherAnswer;    // what --yes ID gives
};

std::span<const Question> Questions();
const Question* FindQuestion(int id);

// The button a question gets (its default, or the other answer when its id is
// in `flipped`); a plain message gets its default button.
int AnswerFor(int questionId, int style, const std::set<int>& flipped);

// The prompt on one line: line breaks become " / ", blanks around them go.
std::string OneLine(std::string_view prompt);

}  // namespace qv::cli
