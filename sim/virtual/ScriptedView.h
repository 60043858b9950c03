#pragma once
// A window stand-in for tests: records control states and texts and every
// message box, and answers boxes from a script.
//
// While a box is "open" the view can let the scheduler run what falls due, as
// the real box's nested event loop does: set openFor(ms) to advance virtual
// time by that much during each box (0 runs only what is due now), or leave it
// unset to run nothing. Boxes with no scripted answer left get the default
// answer (vbOK unless changed) and are counted as unscripted.
#include <deque>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "core/View.h"
#include "sim/virtual/VirtualScheduler.h"

namespace qv::sim {

class ScriptedView : public View {
 public:
  struct Box {
    std::string prompt;
    int style;
    std::string title;  // as the caller passed it
    int messageId = 0;
  };

  explicit ScriptedView(VirtualScheduler* scheduler = nullptr) : scheduler_(scheduler) {}

  void setEnabled(Control control, bool enabled) override { enabled_[control] = enabled; }
  bool isEnabled(Control control) const override;
  void setText(Control control, const std::string& text) override { texts_[control] = text; }
  std::string text(Control control) const override;
  void setVisible(Control control, bool visible) override { visible_[control] = visible; }
  bool isVisible(Control control) const;
  int HookedMsgBox(int messageId, const std::string& prompt, int style,
                   std::string& title) override;
  void setToolTip(Control control, const std::string& text) override { toolTips_[control] = text; }
  void DropDown(Control control) override { droppedDown_.push_back(control); }
  bool ShowPortDialog() override { return ++portDialogs_, portDialogAnswer_; }
  // A label wide enough for any path.
  std::string CompactPath(Control, const std::string& path) override { return path; }
  std::string BrowseForFolder(const std::string& prompt) override;
  void setProgressMaximum(std::int32_t maximum) override { progressMaximum_ = maximum; }
  void ShowProgress(std::int32_t value) override { progress_.push_back(value); }
  char DecimalSeparator() const override { return decimalSeparator_; }
  void setDecimalSeparator(char separator) { decimalSeparator_ = separator; }

  // Script.
  void answer(int result) { answers_.push_back(result); }
  void setDefaultAnswer(int result) { defaultAnswer_ = result; }
  void openFor(std::optional<VirtualMs> milliseconds) { openFor_ = milliseconds; }
  void setPortDialogAnswer(bool ok) { portDialogAnswer_ = ok; }
  // The folder the next folder dialog returns (empty: cancelled).
  void chooseFolder(std::string folder) { folders_.push_back(std::move(folder)); }

  // Record.
  const std::vector<Box>& boxes() const { return boxes_; }
  int unscriptedCount() const { return unscripted_; }
  std::size_t answersLeft() const { return answers_.size(); }
  void clearBoxes() { boxes_.clear(); }
  // Whether the control was ever given a state (controls start enabled and visible).
  bool wasSet(Control control) const { return enabled_.count(control) != 0; }
  std::string toolTip(Control control) const;
  const std::vector<Control>& droppedDown() const { return droppedDown_; }
  int portDialogCount() const { return portDialogs_; }
  const std::vector<std::string>& folderPrompts() const { return folderPrompts_; }
  std::int32_t progressMaximum() const { return progressMaximum_; }
  // Every value ShowProgress was given, in order.
  const std::vector<std::int32_t>& progress() const { return progress_; }

 private:
  VirtualScheduler* scheduler_;
  std::map<Control, bool> enabled_;
  std::map<Control, bool> visible_;
  std::map<Control, std::string> texts_;
  std::map<Control, std::string> toolTips_;
  std::vector<Control> droppedDown_;
  int portDialogs_ = 0;
  bool portDialogAnswer_ = false;
  std::deque<std::string> folders_;
  std::vector<std::string> folderPrompts_;
  std::int32_t progressMaximum_ = 0;
  char decimalSeparator_ = '.';
  std::vector<std::int32_t> progress_;
  std::deque<int> answers_;
  int defaultAnswer_ = vbOK;
  int unscripted_ = 0;
  std::optional<VirtualMs> openFor_;
  std::vector<Box> boxes_;
};

}  // namespace qv::sim
