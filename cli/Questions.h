#pragma once
// The questions the engine asks the operator, and how a run without an
// operator answers them. A box is told apart by its text: the message that
// opens each question, in the run's language.
#include <cstdint>
#include <set>
#include <span>
#include <string>
#include <string_view>

namespace qv::cli {

struct Question {
  int id;                     // the id the operator names with --yes
  std::string_view fallback;  // the text should the table lack it
  int defaultAnswer;          // the answer that sends nothing more
  int otherAnswer;            // what --yes ID gives
  bool beforeWriting;         // asked before any data reaches the station
};

std::span<const Question> Questions();
const Question* FindQuestion(int id);

// The question whose text the prompt holds, or 0 for a plain message (a box
// with the OK button alone never asks).
int QuestionOf(std::string_view prompt, int style, std::int32_t initLang);

// The button a question gets (its default, or the other answer when its id is
// in `flipped`); a plain message gets its default button.
int AnswerFor(int questionId, int style, const std::set<int>& flipped);

// The prompt on one line: line breaks become " / ", blanks around them go.
std::string OneLine(std::string_view prompt);

}  // namespace qv::cli
