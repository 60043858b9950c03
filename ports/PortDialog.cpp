#include "ports/PortDialog.h"

#include <algorithm>

#include "core/Context.h"
#include "core/Errors.h"
#include "core/TextRules.h"
#include "protocol/QvBoot.h"
#include "texts/MlStringModule.h"
#include "update/ModeSwitching.h"

namespace qv {

namespace {

constexpr int kNotAvailable = 1149;
constexpr int kDialogCaption = 1146;
constexpr int kCancelText = 1153;
constexpr int kOkText = 1154;
constexpr int kPortText = 1160;
constexpr int kPortOpenTitle = 1162;
constexpr int kHighestPortNumber = 256;

}  // namespace

int PortNumberOfEntry(const std::string& entryText) {
  if (entryText.size() <= 3) return 0;
  return LeadingInteger(std::string_view(entryText).substr(3)).value_or(0);
}

void PORT_Prepare(Context& ctx) {
  try {
    ctx.MSComm.setCommPort(ctx.link.PortNumber);
  } catch (const PlatformError&) {
    // No usable number yet (0, or above 16): the operator picks one next.
  }
  ApplyBaud(ctx, "0");
}

PortDialog::PortDialog(Context& ctx, PortDialogControls& controls, PortSource source)
    : ctx_(ctx), controls_(controls), source_(std::move(source)) {}

void PortDialog::PreselectStoredEntries() {
  const SettingsTexts& stored = ctx_.settings;
  const std::pair<DialogList, const std::string*> lists[] = {
      {DialogList::Baud, &stored.BaudList},         {DialogList::Parity, &stored.ParityList},
      {DialogList::StopBit, &stored.StopBitList},   {DialogList::DataBit, &stored.DataBitList},
      {DialogList::Protocol, &stored.ProtocolList},
  };
  for (const auto& [list, text] : lists) {
    int index = 0;
    for (int i = 0; i < controls_.count(list); ++i) {
      if (controls_.entry(list, i) == *text) index = i;
    }
    if (controls_.count(list) > 0) controls_.select(list, index);
  }
}

void PortDialog::ApplyDialogTexts() {
  state_.AppliedLanguage = ctx_.settings.InitLang;
  controls_.ApplyLanguageTexts(ctx_.settings.InitLang);
  controls_.setText(DialogText::Caption, GetMlString(ctx_, kDialogCaption, "Port setting"));
  controls_.setText(DialogText::CancelButton, GetMlString(ctx_, kCancelText, "Cancel"));
  controls_.setText(DialogText::Label1, GetMlString(ctx_, kPortText, "Port") + ":");
  controls_.setText(DialogText::OKButton, GetMlString(ctx_, kOkText, "OK"));
}

// Every listed port is opened and closed once through the serial component;
// what happens is not kept, every port stays listed.
void PortDialog::CheckPortsThroughComponent() {
  for (const PortInfo& port : ports_) {
    try {
      ctx_.MSComm.setCommPort(port.PortNumber);
      ctx_.MSComm.setPortOpen(true);
    } catch (const PlatformError&) {
      // Ports above 16 are refused by number; others may be gone or busy.
    }
    ClosePort(ctx_);
  }
}

void PortDialog::SelectStoredPort() {
  for (int i = 0; i < controls_.count(DialogList::Port); ++i) {
    const int number = PortNumberOfEntry(controls_.entry(DialogList::Port, i));
    if ("COM" + std::to_string(number) != ctx_.settings.PortList) continue;
    controls_.select(DialogList::Port, i);
    return;
  }
}

void PortDialog::Form_Activate() {
  ctx_.link.bNoPort = true;
  ctx_.view.setText(Control::lblCOM, GetMlString(ctx_, kNotAvailable, "N/A"));
  ApplyDialogTexts();
  state_.bPortDialogCancelled = false;
  ctx_.run.bUpdateRun = false;
  ClosePort(ctx_);
  state_.SavedPortNumber = static_cast<std::int16_t>(ctx_.MSComm.CommPort());
  controls_.ClearPorts();
  // One reading of the map serves probing and labelling, so both agree.
  const std::vector<PortEntry> entries = source_.list();
  ports_ = ProbeSerialPorts(ctx_, entries, source_.opens);
  CheckPortsThroughComponent();
  LabelSerialPorts(ports_, entries);
  PORT_Prepare(ctx_);
  for (const PortInfo& port : ports_) controls_.AddPort(PortEntryText(port));
  if (!ports_.empty()) controls_.select(DialogList::Port, 0);
  SelectStoredPort();
  controls_.DropDownPorts();
}

void PortDialog::Form_GotFocus() {
  if (ctx_.settings.InitLang != state_.AppliedLanguage) ApplyDialogTexts();
}

std::string PortDialog::Pick(DialogList list, const std::string& stored) const {
  const int index = controls_.selected(list);
  return index < 0 ? stored : controls_.entry(list, index);
}

void PortDialog::StoreChoices(int portNumber) {
  SettingsTexts& settings = ctx_.settings;
  const int protocol = controls_.selected(DialogList::Protocol);
  if (protocol >= 0) settings.ProtocolListIndex = std::to_string(protocol);
  settings.ProtocolList = Pick(DialogList::Protocol, settings.ProtocolList);
  settings.PortList = "COM" + std::to_string(portNumber);
  SetBaudList(ctx_, Pick(DialogList::Baud, settings.BaudList));
  settings.ParityList = Pick(DialogList::Parity, settings.ParityList);
  settings.DataBitList = Pick(DialogList::DataBit, settings.DataBitList);
  settings.StopBitList = Pick(DialogList::StopBit, settings.StopBitList);
}

void PortDialog::OKButton_Click() {
  const int picked = controls_.selected(DialogList::Port);
  const int number = picked < 0 ? 0 : PortNumberOfEntry(controls_.entry(DialogList::Port, picked));
  // Kept even when the steps below give up.
  ctx_.link.PortNumber = static_cast<std::int16_t>(std::clamp(number, -32768, 32767));
  if (number <= 0 || number > kHighestPortNumber) {
    controls_.DropDownPorts();
    return;
  }
  ctx_.link.StartBaud = 0;
  int answer = vbYes;
  if (ctx_.MSComm.PortOpen()) {
    std::string title = GetMlString(ctx_, kPortOpenTitle, "Portopen?");
    answer = ctx_.view.HookedMsgBox(
        kPortOpenQuestion,
        GetMlString(ctx_, kPortOpenQuestion,
                    "Port is already open. Close it to initialize and start it new?"),
        vbYesNo + vbQuestion, title);
    if (answer == vbYes) ClosePort(ctx_);
  }
  if (answer == vbYes) {
    try {
      ctx_.MSComm.setCommPort(number);
      ctx_.MSComm.setPortOpen(true);
    } catch (const PlatformError& error) {
      // A port above 16 ends here too: the component refuses its number.
      AppBox(ctx_, 0, vbInformation, std::to_string(error.number()) + "\r\n" + error.description());
      return;
    }
    StoreChoices(number);
  }
  ctx_.link.bNoPort = false;
  ctx_.view.setText(Control::lblCOM, ctx_.settings.PortList);
  controls_.Hide();
}

void PortDialog::CancelButton_Click() {
  // Closed first: an open port refuses a change of number.
  ClosePort(ctx_);
  try {
    ctx_.MSComm.setCommPort(state_.SavedPortNumber);
  } catch (const PlatformError&) {
    // The saved number came from the component, which took it then.
  }
  state_.bPortDialogCancelled = true;
  controls_.Hide();
}

}  // namespace qv
