#include "cli/Questions.h"

#include <algorithm>

#include "core/View.h"
#include "texts/MessageIds.h"

namespace qv::cli {

namespace {

// The prompt after the key is the one question whose default goes on: the
// station restarts and gets its clock, which completes the update.
constexpr Question kQuestions[] = {
    {kMsgWriteProblem, vbCancel, vbOK},
    {kMsgHardwareOverride, vbNo, vbYes},
    {kMsgChecksumError, vbNo, vbYes},
    {kMsgSetStationTime, vbNo, vbYes},
    {kMsgHardwareDiffers, vbCancel, vbOK},
    {kMsgLowVoltage, vbCancel, vbOK},
    {kMsgFirmwareLoaded, vbOK, vbCancel},
    {kMsgSameFirmware, vbCancel, vbOK},
};

bool Blank(char c) {
  return c == ' ' || c == '\t';
}

}  // namespace

std::span<const Question> Questions() {
  return kQuestions;
}

const Question* FindQuestion(int id) {
  const auto* it = std::ranges::find(kQuestions, id, &Question::id);
  return it == std::end(kQuestions) ? nullptr : it;
}

int AnswerFor(int questionId, int style, const std::set<int>& flipped) {
  if (const Question* q = FindQuestion(questionId))
    return flipped.contains(questionId) ? q->otherAnswer : q->defaultAnswer;
  return DefaultAnswer(style);
}

std::string OneLine(std::string_view prompt) {
  std::string line;
  bool pendingBreak = false;
  for (const char c : prompt) {
    if (c == '\r' || c == '\n') {
      pendingBreak = true;
      continue;
    }
    if (pendingBreak) {
      while (!line.empty() && Blank(line.back())) line.pop_back();
      if (!line.empty()) line += " / ";
      pendingBreak = false;
      if (Blank(c)) continue;
    }
    if (Blank(c) && (line.empty() || line.ends_with(" / "))) continue;
    line += c;
  }
  while (!line.empty() && Blank(line.back())) line.pop_back();
  return line;
}

}  // namespace qv::cli
