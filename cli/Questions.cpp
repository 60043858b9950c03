#include "cli/Questions.h"

#include <algorithm>

#include "core/View.h"
#include "texts/MlStringModule.h"

namespace qv::cli {

namespace {

// The prompt after the key is the one question whose default goes on: the
// station restarts and gets its clock, which completes the update.
constexpr Question kQuestions[] = {
    {1186, "Problem writing to station.", vbCancel, vbOK, false},
    {1192, "The station has hardware version ", vbNo, vbYes, true},
    {1202, "CRC error!", vbNo, vbYes, true},
    {1208, "Set station time with PC time", vbNo, vbYes, true},
    {1216, "The station has", vbCancel, vbOK, true},
    {1222, "Voltage too low =", vbCancel, vbOK, true},
    {1226, "Firmware has been loaded to the station!", vbOK, vbCancel, false},
    {1231, "The station already has the firmware:", vbCancel, vbOK, true},
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

int QuestionOf(std::string_view prompt, int style, std::int32_t initLang) {
  if ((style & 7) == vbOKOnly) return 0;
  // The longest text that fits wins: 1216 ("The station has") is the start
  // of 1192's text in English.
  int best = 0;
  std::size_t bestLength = 0;
  for (const Question& q : kQuestions) {
    const std::string text = GetMlString(initLang, q.id, q.fallback);
    const std::string_view trimmed =
        std::string_view(text).substr(0, text.find_last_not_of(' ') + 1);
    if (trimmed.empty() || trimmed.size() <= bestLength) continue;
    if (prompt.find(trimmed) == std::string_view::npos) continue;
    best = q.id;
    bestLength = trimmed.size();
  }
  return best;
}

int AnswerFor(int questionId, int style, const std::set<int>& flipped) {
  if (const Question* q = FindQuestion(questionId))
    return flipped.contains(questionId) ? q->otherAnswer : q->defaultAnswer;
  const int buttons = style & 7;
  const bool second = (style & vbDefaultButton2) != 0;
  if (buttons == vbOKCancel) return second ? vbCancel : vbOK;
  if (buttons == vbYesNo) return second ? vbNo : vbYes;
  return vbOK;
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
