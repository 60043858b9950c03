#pragma once
// The engine's window, for a run without one: control texts and states are
// kept so the engine reads back what it wrote; every box is answered at
// once by the id of its text (see Questions.h) and recorded; progress goes
// to a callback.
#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "cli/Report.h"
#include "core/View.h"

namespace qv::cli {

class CliView : public View {
 public:
  CliView(std::set<int> flipped, char decimalSeparator);

  void setEnabled(Control control, bool enabled) override { enabled_[control] = enabled; }
  bool isEnabled(Control control) const override;
  void setText(Control control, const std::string& text) override { texts_[control] = text; }
  std::string text(Control control) const override;
  void setVisible(Control, bool) override {}
  void setToolTip(Control, const std::string&) override {}
  // No list to drop down and no dialog: the command line chose port and mode.
  void DropDown(Control) override {}
  bool ShowPortDialog() override { return false; }
  std::string CompactPath(Control, const std::string& path) override { return path; }
  std::string BrowseForFolder(const std::string&) override { return {}; }
  void setProgressMaximum(std::int32_t maximum) override { progressMaximum_ = maximum; }
  void ShowProgress(std::int32_t value) override;
  char DecimalSeparator() const override { return decimalSeparator_; }
  int HookedMsgBox(int messageId, const std::string& prompt, int style,
                   std::string& title) override;

  const std::vector<BoxRecord>& boxes() const { return boxes_; }
  std::int32_t progressMaximum() const { return progressMaximum_; }

  std::function<void(std::int32_t value)> onProgress;

 private:
  std::set<int> flipped_;
  char decimalSeparator_;
  std::map<Control, bool> enabled_;
  std::map<Control, std::string> texts_;
  std::vector<BoxRecord> boxes_;
  std::int32_t progressMaximum_ = 0;
};

}  // namespace qv::cli
