#pragma once
// The port-settings dialog's procedures: which port the station hangs on.
// Opening the dialog closes the link; OK opens the chosen port and keeps the
// choices in the settings texts; Cancel leaves the port closed. The widgets
// are reached through PortDialogControls, so the procedures run without a
// window.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "ports/SerialPorts.h"

namespace qv {

class Context;

// The dialog's lists: Port is rebuilt on every activation, the others hold
// fixed entries.
enum class DialogList { Port, Baud, Parity, StopBit, DataBit, Protocol };
// The dialog's texts that follow the language.
enum class DialogText { Caption, Label1, OKButton, CancelButton };

class PortDialogControls {
 public:
  virtual ~PortDialogControls() = default;
  virtual void ClearPorts() = 0;
  virtual void AddPort(const std::string& text) = 0;
  virtual int count(DialogList list) const = 0;
  virtual std::string entry(DialogList list, int index) const = 0;
  // The entry picked, -1 when none is.
  virtual int selected(DialogList list) const = 0;
  virtual void select(DialogList list, int index) = 0;
  // Opens the Port list, so the operator sees the choices at once.
  virtual void DropDownPorts() = 0;
  virtual void setText(DialogText which, const std::string& text) = 0;
  // The texts the dialog's controls name by id, in the language given.
  virtual void ApplyLanguageTexts(std::int32_t initLang) = 0;
  // Ends the dialog's showing; the answer is in bPortDialogCancelled.
  virtual void Hide() = 0;
};

struct PortDialogState {
  std::int16_t SavedPortNumber = 0;  // CommPort when the dialog last became active
  std::int32_t AppliedLanguage = -1;
  bool bPortDialogCancelled = false;
};

// Where the ports come from (both required): the port map, read afresh, and
// a test whether a port opens (no one else holds it).
struct PortSource {
  std::function<std::vector<PortEntry>()> list;
  PortOpenTest opens;
};

inline constexpr int kPortOpenQuestion = 1161;

// Sets CommPort to PortNumber and the link to 4800 baud; failures are ignored.
void PORT_Prepare(Context& ctx);

class PortDialog {
 public:
  PortDialog(Context& ctx, PortDialogControls& controls, PortSource source);

  // Once when the dialog is made: each fixed list shows the stored setting,
  // or its first entry, so OK stores something sensible for a list the
  // operator never touched.
  void PreselectStoredEntries();

  void Form_Activate();
  void Form_GotFocus();
  void OKButton_Click();
  void CancelButton_Click();

  const PortDialogState& state() const { return state_; }
  // The ports the last activation found, as listed.
  const std::vector<PortInfo>& SerialPorts() const { return ports_; }

 private:
  void ApplyDialogTexts();
  void CheckPortsThroughComponent();
  void SelectStoredPort();
  // The entry picked in a fixed list; without one, the stored text stays.
  std::string Pick(DialogList list, const std::string& stored) const;
  void StoreChoices(int portNumber);

  Context& ctx_;
  PortDialogControls& controls_;
  PortSource source_;
  PortDialogState state_;
  std::vector<PortInfo> ports_;
};

// The port number an entry names: the leading number after its first three
// characters ("COM12 (…)" gives 12); 0 when there is none.
int PortNumberOfEntry(const std::string& entryText);

}  // namespace qv
