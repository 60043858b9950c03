#include "app/qt/DlgInitCom.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>
#include <QTimer>
#include <QVBoxLayout>

#include "app/qt/LanguageTexts.h"
#include "core/Context.h"
#include "platform/QtPortDevices.h"
#include "platform/QtSerialComm.h"
#include "serial/PortHolders.h"

namespace qv {

namespace {

QString Q(const std::string& text) {
  return QString::fromStdString(text);
}

PortSource SystemPortSource(const Context& ctx) {
  const auto* comm = dynamic_cast<const QtSerialComm*>(&ctx.MSComm);
  PortMap map = comm ? comm->ports() : SystemPortMap();
  return {[map] { return map.List(); },
          [](const PortEntry& entry) { return PortOpenable(entry.path); }};
}

QComboBox* FixedList(QWidget* owner, const char* name, const QStringList& entries,
                     const char* toolTip) {
  auto* list = new QComboBox(owner);
  list->setObjectName(name);
  list->setAccessibleName(name);
  list->addItems(entries);
  list->setToolTip(toolTip);
  return list;
}

QLabel* Caption(QWidget* owner, const char* name, const char* text, QWidget* buddy) {
  auto* label = new QLabel(text, owner);
  label->setObjectName(name);
  label->setAccessibleName(QString(text).remove('&'));
  label->setBuddy(buddy);
  return label;
}

}  // namespace

DlgInitCom::DlgInitCom(Context& ctx, QWidget* parent)
    : DlgInitCom(ctx, SystemPortSource(ctx), parent) {}

DlgInitCom::DlgInitCom(Context& ctx, PortSource ports, QWidget* parent)
    : QDialog(parent),
      Port(FixedList(this, "Port", {}, "select Port")),
      Baud(FixedList(this, "Baud", {"4800", "38400"}, "select Baudrate")),
      Parity(FixedList(this, "Parity", {"None", "Odd", "Even"}, "select Parity")),
      StopBit(FixedList(this, "StopBit", {"1", "1.5", "2"}, "Select Stopbits")),
      DataBit(FixedList(this, "DataBit", {"7", "8"}, "Select Databits")),
      Protocol(
          FixedList(this, "Protocol", {"None", "XonXoff", "RTS", "RTSXonXoff"}, "select protocol")),
      Label1(Caption(this, "Label1", "Port:", Port)),
      OKButton(new QPushButton("OK", this)),
      CancelButton(new QPushButton("Cancel", this)),
      dialog_(ctx, *this, std::move(ports)) {
  setModal(true);
  setObjectName("DlgInitCom");
  Label1->setAccessibleName("Port");
  OKButton->setObjectName("OKButton");
  OKButton->setAccessibleName("OK");
  OKButton->setDefault(true);
  CancelButton->setObjectName("CancelButton");
  CancelButton->setAccessibleName("Cancel");
  // The id the language walk finds; the table has no text for it.
  CancelButton->setProperty("Tag", "1020");

  auto* grid = new QGridLayout;
  grid->addWidget(Label1, 0, 0);
  grid->addWidget(Port, 0, 1, 1, 3);
  grid->addWidget(Caption(this, "Label2", "&Baud", Baud), 1, 0);
  grid->addWidget(Baud, 1, 1);
  grid->addWidget(Caption(this, "Label3", "&Data Bit", DataBit), 1, 2);
  grid->addWidget(DataBit, 1, 3);
  grid->addWidget(Caption(this, "Label4_0", "Parit&y", Parity), 2, 0);
  grid->addWidget(Parity, 2, 1);
  grid->addWidget(Caption(this, "Label4_1", "&Stop Bit", StopBit), 2, 2);
  grid->addWidget(StopBit, 2, 3);
  grid->addWidget(Caption(this, "Label4_2", "Proto&col", Protocol), 3, 0);
  grid->addWidget(Protocol, 3, 1);
  grid->setColumnStretch(1, 1);
  grid->setColumnStretch(3, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(OKButton);
  buttons->addWidget(CancelButton);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(grid);
  layout->addLayout(buttons);

  connect(OKButton, &QPushButton::clicked, this, [this] {
    Port->hidePopup();
    dialog_.OKButton_Click();
  });
  connect(CancelButton, &QPushButton::clicked, this, [this] { reject(); });
  dialog_.PreselectStoredEntries();
}

bool DlgInitCom::ShowModal() {
  exec();
  return !dialog_.state().bPortDialogCancelled;
}

void DlgInitCom::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (event->spontaneous()) return;  // restored from minimized: not a new showing
  activationPending_ = true;
  // After the show has finished, so that boxes of the activation sit over
  // a visible dialog.
  QTimer::singleShot(0, this, [this] { RunActivation(); });
}

bool DlgInitCom::event(QEvent* event) {
  if (event->type() == QEvent::WindowActivate && !activationPending_) dialog_.Form_GotFocus();
  return QDialog::event(event);
}

void DlgInitCom::RunActivation() {
  if (!activationPending_ || !isVisible()) return;
  activationPending_ = false;
  dialog_.Form_Activate();
}

void DlgInitCom::reject() {
  Port->hidePopup();
  dialog_.CancelButton_Click();
}

QComboBox* DlgInitCom::list(DialogList which) const {
  switch (which) {
    case DialogList::Port:
      return Port;
    case DialogList::Baud:
      return Baud;
    case DialogList::Parity:
      return Parity;
    case DialogList::StopBit:
      return StopBit;
    case DialogList::DataBit:
      return DataBit;
    case DialogList::Protocol:
      return Protocol;
  }
  return Port;
}

void DlgInitCom::ClearPorts() {
  Port->clear();
}

void DlgInitCom::AddPort(const std::string& text) {
  Port->addItem(Q(text));
}

int DlgInitCom::count(DialogList which) const {
  return list(which)->count();
}

std::string DlgInitCom::entry(DialogList which, int index) const {
  return list(which)->itemText(index).toStdString();
}

int DlgInitCom::selected(DialogList which) const {
  return list(which)->currentIndex();
}

void DlgInitCom::select(DialogList which, int index) {
  list(which)->setCurrentIndex(index);
}

void DlgInitCom::DropDownPorts() {
  Port->showPopup();
}

void DlgInitCom::setText(DialogText which, const std::string& text) {
  switch (which) {
    case DialogText::Caption:
      setWindowTitle(Q(text));
      return;
    case DialogText::Label1:
      Label1->setText(Q(text));
      return;
    case DialogText::OKButton:
      OKButton->setText(Q(text));
      return;
    case DialogText::CancelButton:
      CancelButton->setText(Q(text));
      return;
  }
}

void DlgInitCom::ApplyLanguageTexts(std::int32_t initLang) {
  qv::ApplyLanguageTexts(*this, initLang);
}

void DlgInitCom::Hide() {
  Port->hidePopup();
  done(dialog_.state().bPortDialogCancelled ? Rejected : Accepted);
}

}  // namespace qv
