#include "sim/virtual/ScriptedView.h"

namespace qv::sim {

bool ScriptedView::isEnabled(Control control) const {
  const auto it = enabled_.find(control);
  return it == enabled_.end() || it->second;
}

std::string ScriptedView::text(Control control) const {
  const auto it = texts_.find(control);
  return it == texts_.end() ? std::string() : it->second;
}

bool ScriptedView::isVisible(Control control) const {
  const auto it = visible_.find(control);
  return it == visible_.end() || it->second;
}

std::string ScriptedView::toolTip(Control control) const {
  const auto it = toolTips_.find(control);
  return it == toolTips_.end() ? std::string() : it->second;
}

std::string ScriptedView::BrowseForFolder(const std::string& prompt) {
  folderPrompts_.push_back(prompt);
  if (folders_.empty()) return {};
  std::string folder = folders_.front();
  folders_.pop_front();
  return folder;
}

int ScriptedView::HookedMsgBox(int messageId, const std::string& prompt, int style,
                               std::string& title) {
  boxes_.push_back({prompt, style, title, messageId});
  if (title.empty()) title = kAppTitle;
  if (scheduler_ && openFor_) {
    if (*openFor_ > 0)
      scheduler_->advanceBy(*openFor_);
    else
      scheduler_->runDue();
  }
  if (answers_.empty()) {
    ++unscripted_;
    return defaultAnswer_;
  }
  const int result = answers_.front();
  answers_.pop_front();
  return result;
}

}  // namespace qv::sim
