#pragma once
// The port-settings dialog: modal, owned by the main window, made once and
// afterwards only shown and hidden, so its lists keep the operator's picks.
// The procedures (ports/PortDialog) do the work; this class is the widgets.
#include <QDialog>

#include "ports/PortDialog.h"

class QComboBox;
class QLabel;
class QPushButton;

namespace qv {

class Context;

class DlgInitCom : public QDialog, private PortDialogControls {
 public:
  // The ports come from the serial component's port map when it is the Qt
  // one, else from the system's map.
  DlgInitCom(Context& ctx, QWidget* parent);
  DlgInitCom(Context& ctx, PortSource ports, QWidget* parent);

  // Shows the dialog modally; false when the operator cancelled it.
  bool ShowModal();

  PortDialog& procedures() { return dialog_; }

 protected:
  void showEvent(QShowEvent* event) override;
  bool event(QEvent* event) override;
  void reject() override;  // Escape and the window's close button are Cancel

 private:
  void RunActivation();
  QComboBox* list(DialogList which) const;

  // PortDialogControls.
  void ClearPorts() override;
  void AddPort(const std::string& text) override;
  int count(DialogList which) const override;
  std::string entry(DialogList which, int index) const override;
  int selected(DialogList which) const override;
  void select(DialogList which, int index) override;
  void DropDownPorts() override;
  void setText(DialogText which, const std::string& text) override;
  void ApplyLanguageTexts(std::int32_t initLang) override;
  void Hide() override;

  QComboBox* Port;
  QComboBox* Baud;
  QComboBox* Parity;
  QComboBox* StopBit;
  QComboBox* DataBit;
  QComboBox* Protocol;
  QLabel* Label1;
  QPushButton* OKButton;
  QPushButton* CancelButton;
  PortDialog dialog_;
  // Set when the dialog is shown, cleared when its activation runs: the
  // dialog's own boxes activate it again, and those activations must not
  // probe (and warn) once more.
  bool activationPending_ = false;
};

}  // namespace qv
