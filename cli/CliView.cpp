#include "cli/CliView.h"

#include "cli/Questions.h"

namespace qv::cli {

CliView::CliView(std::set<int> flipped, char decimalSeparator)
    : flipped_(std::move(flipped)), decimalSeparator_(decimalSeparator) {}

bool CliView::isEnabled(Control control) const {
  const auto it = enabled_.find(control);
  return it == enabled_.end() || it->second;
}

std::string CliView::text(Control control) const {
  const auto it = texts_.find(control);
  return it == texts_.end() ? std::string() : it->second;
}

void CliView::ShowProgress(std::int32_t value) {
  if (onProgress) onProgress(value);
}

int CliView::HookedMsgBox(int messageId, const std::string& prompt, int style,
                          std::string& title) {
  if (title.empty()) title = kAppTitle;
  const bool asks = IsQuestion(style) && FindQuestion(messageId) != nullptr;
  BoxRecord box{prompt, style, messageId, asks ? messageId : 0, 0};
  box.answer = AnswerFor(box.question, style, flipped_);
  boxes_.push_back(box);
  return box.answer;
}

}  // namespace qv::cli
