#include "app/qt/MainWindow.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDate>
#include <QDateTime>
#include <QDockWidget>
#include <QFileDialog>
#include <QDialog>
#include <QFont>
#include <QFontMetrics>
#include <QGridLayout>
#include <QGroupBox>
#include <QHeaderView>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QWheelEvent>
#include <QLabel>
#include <QSaveFile>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QStyle>
#include <QTableWidget>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>
#include <algorithm>
#include <filesystem>
#include <utility>

#include "app/qt/DlgInitCom.h"
#include "app/qt/FolderBrowse.h"
#include "app/qt/LanguageTexts.h"
#include "app/qt/RunOutcome.h"
#include "app/qt/SignalClose.h"
#include "app/qt/TaskbarProgress.h"
#include "app/qt/TwipsGeometry.h"
#include "app/qt/modHook.h"
#include "core/TextRules.h"
#include "platform/QtClock.h"
#include "platform/QtPortDevices.h"
#include "platform/QtSerialComm.h"
#include "platform/QtSerialPorts.h"
#include "platform/QtTimer.h"
#include "protocol/QvBoot.h"
#include "texts/MessageIds.h"
#include "texts/MlStringModule.h"
#include "texts/NamedTexts.h"
#include "update/ClockCommand.h"
#include "update/Engine.h"
#include "update/ModeSwitching.h"
#include "update/ReplyHandlers.h"
#include "update/UpdateRun.h"
#include "update/UpgradeFile.h"

namespace qv {

namespace {

constexpr const char* kTag = "Tag";
constexpr const char* kHelpContextId = "HelpContextID";
// The version label's date, shown in the system's short date format.
const QDate kBuildDate(2014, 2, 24);

QString Q(const std::string& text) {
  return QString::fromStdString(text);
}

std::string S(const QString& text) {
  return text.toStdString();
}

// The toolbar's keys and what each runs; the operator's clock markers are
// cleared before any of them.
using Command = void (*)(Context&);
struct ToolbarRoute {
  const char* key;
  Command run;  // null: the window closes
};
constexpr ToolbarRoute kToolbarRoutes[] = {
    {"InitComm", mnuCommandInitComm_Click},
    {"StartBoot", mnuCommandStartUpdate_Click},
    {"Time", mnuCommandSetTime_Click},
    {"ReadStation", ReadStation_Click},
    {"btnCancelUpdate", mnuCommandStop_Click},
    {"Exit", nullptr},
};

// Names for screen readers of the controls that show no text of their own
// while idle; German, English, French.
struct ReaderName {
  const char* german;
  const char* english;
  const char* french;
  const char* pick(std::int32_t initLang) const {
    return initLang == 0 ? german : initLang == 2000 ? french : english;
  }
};
constexpr ReaderName kProgressName{"Übertragungsfortschritt", "Transfer progress",
                                   "Progression du transfert"};
constexpr ReaderName kProgressTextName{"Fortschritt in Prozent", "Progress in percent",
                                       "Progression en pour cent"};
constexpr ReaderName kStationName{"Angeschlossene Station", "Connected station",
                                  "Station connectée"};
constexpr ReaderName kSeriesName{"Zählung der Serie", "Tally of the series",
                                 "Décompte de la série"};
constexpr ReaderName kOutcomeName{"Ergebnis der letzten Station", "Outcome of the last station",
                                  "Résultat de la dernière station"};

// The build date in the short format of the locale, with the year in four
// digits whatever that format's year is ("24.02.2014", not "24.02.14").
QString BuildDateText() {
  const QLocale locale;
  QString format = locale.dateFormat(QLocale::ShortFormat);
  if (!format.contains("yyyy")) format.replace("yy", "yyyy");
  return locale.toString(kBuildDate, format);
}

QString WithoutAccessKey(QString text) {
  return text.remove('&');
}

// The controls a series holds disabled: every command that starts a run,
// changes the line or changes the language.
// clang-format off
constexpr Control kHeldBySeries[] = {
    Control::tbStart,           Control::tbSelectPort,       Control::tbSetTime,
    Control::tbReadStation,     Control::Master,             Control::btnSelectPort,
    Control::btnStart,          Control::btnSetBaud,         Control::mnuCommandInitComm,
    Control::mnuCommandSetTime, Control::mnuCommandStartUpdate, Control::mnuCommandReadStation,
    Control::mnuGerman,         Control::mnuEnglish,         Control::mnuFrench,
    Control::mnuFileOpen};
// clang-format on

// The session table's columns: serial, hardware, firmware, battery, outcome, time.
constexpr int kSessionColumns = 6;
constexpr int kOutcomeColumn = 4;

QString WithoutColon(QString text) {
  text = text.trimmed();
  if (text.endsWith(':')) text.chop(1);
  return text;
}

QAction* AddItem(QMenu* menu, const char* name, const QString& caption, int helpContextId = 0) {
  QAction* item = menu->addAction(caption);
  item->setObjectName(name);
  if (helpContextId > 0) item->setProperty(kHelpContextId, helpContextId);
  return item;
}

QMenu* AddMenu(QMenuBar* bar, const char* name, const QString& caption, int helpContextId = 0) {
  QMenu* menu = bar->addMenu(caption);
  menu->setObjectName(name);
  if (helpContextId > 0) menu->menuAction()->setProperty(kHelpContextId, helpContextId);
  return menu;
}

template <class W>
W* Make(QWidget* parent, const char* name, const char* tag = nullptr) {
  auto* widget = new W(parent);
  widget->setObjectName(name);
  if (tag) widget->setProperty(kTag, tag);
  return widget;
}

}  // namespace

MainWindow::MainWindow(MainWindowOptions options)
    : programFolder_(options.programFolder.empty() ? S(QCoreApplication::applicationDirPath())
                                                   : options.programFolder),
      Timer1(std::make_unique<QtTimer>()),
      Timer2(std::make_unique<QtTimer>()),
      Timer3(std::make_unique<QtTimer>()),
      TimerEfi(std::make_unique<QtTimer>()),
      TimerKeyWait(std::make_unique<QtTimer>()),
      clock_(std::make_unique<QtClock>()),
      ini_(this, options.environment),
      bus_(options.bus) {
  serial_ = std::make_unique<QtSerialComm>(
      options.ports ? *options.ports : SystemPortMap(),
      [this](std::string_view name) { return NamedText(*ctx_, name); });
  record_ = std::make_unique<RunRecordEvents>([this] { return clock_->monotonicMs(); });
  front_ = std::make_unique<RunEventsFanOut>(std::vector<RunEvents*>{&outcome_, record_.get()});
  seriesTimer_ = std::make_unique<QtTimer>();
  series_ = std::make_unique<Series>(*seriesTimer_, *front_);
  boxes_ = std::make_unique<MessageBoxHost>(this, [this] { return serial_->CommPort(); });
  ctx_ = std::make_unique<Context>(Platform{.MSComm = serial_.get(),
                                            .Timer1 = Timer1.get(),
                                            .Timer2 = Timer2.get(),
                                            .Timer3 = Timer3.get(),
                                            .TimerEfi = TimerEfi.get(),
                                            .TimerKeyWait = TimerKeyWait.get(),
                                            .clock = clock_.get(),
                                            .view = this,
                                            .replies = &StationReplies(),
                                            .events = series_.get()});
  series_->Attach(*ctx_);
  outcome_.changed = [this] { ShowOutcome(); };
  record_->ended = [this](RunKind kind, StationRecordRow& row) { RecordRun(kind, row); };
  // The series' mode frame went unanswered: the line is free for the
  // operator's commands again.
  series_->onGaveUp = [this] {
    set_ButtonsAktiv(*ctx_, true);
    ShowSeries();
  };
  ctx_->link.bNoSerialPort = options.bNoSerialPort;
  WireEngine(*ctx_);

  setObjectName("frmMain");
  BuildMenus();
  BuildToolbar();
  BuildControls();
  ConnectCommands();
  resize(600, 460);
}

MainWindow::~MainWindow() {
  if (ctx_) ClosePort(*ctx_);
}

void MainWindow::Load() {
  // The platform window gives the frame; the position is restored by the
  // frame's outer edges.
  winId();
  settingsFile_ = LoadMainWindow(*ctx_, ini_, *this, programFolder_);
  loaded_ = true;
}

// Made on first use and kept, so its lists keep the operator's picks.
bool MainWindow::ShowPortSettings() {
  if (!dlgInitCom_) dlgInitCom_ = std::make_unique<DlgInitCom>(*ctx_, this);
  return dlgInitCom_->ShowModal();
}

// ---- building the window ----

void MainWindow::BuildMenus() {
  QMenuBar* bar = menuBar();
  mnuFile = AddMenu(bar, "mnuFile", "&File", 1000);
  mnuFileOpen = AddItem(mnuFile, "mnuFileOpen", "&Open", 1002);
  mnuFileRecord = AddItem(mnuFile, "mnuFileRecord", "Open station &record");
  mnuFileExport = AddItem(mnuFile, "mnuFileExport", "Export &session...");
  mnuFile->addSeparator()->setObjectName("dash2");
  mnuExit = AddItem(mnuFile, "mnuExit", "&Exit", 1018);

  mnuCommands = AddMenu(bar, "mnuCommands", "&Commands", 1220);
  mnuCommandInitComm = AddItem(mnuCommands, "mnuCommandInitComm", "&Select serial port");
  mnuCommands->addSeparator()->setObjectName("mnuTZ");
  mnuCommandStartUpdate = AddItem(mnuCommands, "mnuCommandStartUpdate", "&Start");
  mnuCommandSetTime = AddItem(mnuCommands, "mnuCommandSetTime", "&Set time");
  mnuCommandReadStation = AddItem(mnuCommands, "mnuCommandReadStation", "&Read station");
  mnuCommandStop = AddItem(mnuCommands, "mnuCommandStop", "&Cancel");
  mnuCommands->addSeparator()->setObjectName("mnuSeriesDash");
  mnuCommandSeries = AddItem(mnuCommands, "mnuCommandSeries", "Start s&eries");
  mnuCommandClockSeries = AddItem(mnuCommands, "mnuCommandClockSeries", "Set &time in series");

  mnuLanguage = AddMenu(bar, "mnuLanguage", "&Language", 1013);
  mnuEnglish = AddItem(mnuLanguage, "mnuEnglish", "&English");
  mnuFrench = AddItem(mnuLanguage, "mnuFrench", "&Francais");
  mnuGerman = AddItem(mnuLanguage, "mnuGerman", "&Deutsch");
  for (QAction* item : {mnuEnglish, mnuFrench, mnuGerman}) item->setCheckable(true);

  mnuHilfe = AddMenu(bar, "mnuHilfe", "&?");
  mnuShowHelp = AddItem(mnuHilfe, "mnuShowHelp", "Inf&o ", 1016);
}

void MainWindow::BuildToolbar() {
  tbGross = addToolBar("tbGross");
  tbGross->setObjectName("tbGross");
  tbGross->setMovable(false);
  tbGross->setIconSize(QSize(32, 32));
  tbGross->setToolButtonStyle(Qt::ToolButtonIconOnly);
  const auto add = [this](const char* key, const char* tag, QStyle::StandardPixmap picture) {
    QAction* button = tbGross->addAction(style()->standardIcon(picture), QString());
    button->setObjectName(key);
    if (tag) button->setProperty(kTag, tag);
    return button;
  };
  tbInitComm = add("InitComm", "1101", QStyle::SP_ComputerIcon);
  tbGross->addSeparator();
  tbStartBoot = add("StartBoot", "1100", QStyle::SP_MediaPlay);
  tbTime = add("Time", "1102", QStyle::SP_BrowserReload);
  // Its tooltip is a named text (RefreshCaptions): no tag.
  tbReadStation = add("ReadStation", nullptr, QStyle::SP_FileDialogInfoView);
  tbGross->addSeparator();
  tbCancelUpdate = add("btnCancelUpdate", "1105", QStyle::SP_MediaStop);
  tbGross->addSeparator();
  // Its tooltip follows the series (ShowSeries): no tag.
  tbSeries = add("Series", nullptr, QStyle::SP_MediaSeekForward);
  tbClockSeries = add("ClockSeries", nullptr, QStyle::SP_MediaSkipForward);
  tbGross->addSeparator();
  tbExit = add("Exit", "1110", QStyle::SP_DialogCloseButton);
}

void MainWindow::BuildControls() {
  auto* central = new QWidget(this);
  central->setObjectName("central");
  setCentralWidget(central);

  PicBanner = Make<QLabel>(central, "PicBanner");
  PicBanner->setPixmap(style()->standardIcon(QStyle::SP_DriveHDIcon).pixmap(48, 48));
  lblVersion = Make<QLabel>(central, "lblVersion");
  lblWarning = Make<QLabel>(central, "lblWarning", "1234");
  lblWarning->setWordWrap(true);
  lblWarning->setStyleSheet("color: #a00000; font-weight: bold;");
  lblStationsInfo = Make<QLabel>(central, "lblStationsInfo");
  lblStationsInfo->setWordWrap(true);
  lblStationsInfo->setMinimumHeight(48);
  lblStationsInfo->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  // Readable from a step away: the operator's eyes are on the next station.
  lblOutcome = Make<QLabel>(central, "lblOutcome");
  lblOutcome->setWordWrap(true);
  QFont large = lblOutcome->font();
  large.setBold(true);
  large.setPointSizeF(large.pointSizeF() * 1.6);
  lblOutcome->setFont(large);
  lblOutcome->setTextInteractionFlags(Qt::TextSelectableByMouse);
  lblSeries = Make<QLabel>(central, "lblSeries");
  lblSeries->hide();

  fraPortSettings = Make<QGroupBox>(central, "fraPortSettings");
  lblPort = Make<QLabel>(fraPortSettings, "lblPort");
  lblCOM = Make<QLabel>(fraPortSettings, "lblCOM");
  btnSelectPort = Make<QPushButton>(fraPortSettings, "btnSelectPort", "1150");
  lblMode = Make<QLabel>(fraPortSettings, "lblMode");
  Master = Make<QComboBox>(fraPortSettings, "Master");
  Master->addItems({QString(), QString()});
  Master->setCurrentIndex(-1);
  Master->installEventFilter(this);
  lblBaudText = Make<QLabel>(fraPortSettings, "lblBaudText");
  lblBaudrate = Make<QLabel>(fraPortSettings, "lblBaudrate");
  btnSetBaud = Make<QPushButton>(fraPortSettings, "btnSetBaud", "1106");
  imgBaudWarning = Make<QLabel>(fraPortSettings, "imgBaudWarning");
  imgBaudWarning->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(24, 24));
  lblDescConn = Make<QLabel>(fraPortSettings, "lblDescConn", "1221");
  imgBaudWarning->hide();
  lblDescConn->hide();
  txtHilfFuerFokus = Make<QLineEdit>(fraPortSettings, "txtHilfFuerFokus");
  txtHilfFuerFokus->hide();

  auto* grid = new QGridLayout(fraPortSettings);
  grid->addWidget(lblPort, 0, 0);
  grid->addWidget(lblCOM, 0, 1);
  grid->addWidget(btnSelectPort, 0, 2);
  grid->addWidget(lblMode, 1, 0);
  grid->addWidget(Master, 1, 1);
  grid->addWidget(lblBaudText, 2, 0);
  grid->addWidget(lblBaudrate, 2, 1);
  grid->addWidget(btnSetBaud, 2, 2);
  auto* warning = new QHBoxLayout;
  warning->addWidget(imgBaudWarning);
  warning->addWidget(lblDescConn, 1);
  grid->addLayout(warning, 3, 0, 1, 3);
  grid->setColumnStretch(1, 1);

  lblFile = Make<QLabel>(central, "lblFile", "1209");
  LabelFileLoad = Make<QLabel>(central, "LabelFileLoad");
  LabelFileLoad->setMinimumWidth(200);
  LabelFileLoad->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  ProgressBar = Make<QProgressBar>(central, "ProgressBar");
  ProgressBar->setRange(0, 100);
  ProgressBar->setValue(0);
  ProgressBar->setTextVisible(false);
  labProgress = Make<QLabel>(central, "labProgress");
  labProgress->setMinimumWidth(60);
  labProgress->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  btnStart = Make<QPushButton>(central, "btnStart", "1100");
  btnCancel = Make<QPushButton>(central, "btnCancel", "1105");
  btnStart->setDefault(true);

  auto* top = new QHBoxLayout;
  top->addWidget(PicBanner);
  top->addWidget(lblStationsInfo, 1);
  auto* file = new QHBoxLayout;
  file->addWidget(lblFile);
  file->addWidget(LabelFileLoad, 1);
  auto* progress = new QHBoxLayout;
  progress->addWidget(ProgressBar, 1);
  progress->addWidget(labProgress);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(lblVersion, 1);
  buttons->addWidget(btnStart);
  buttons->addWidget(btnCancel);
  auto* layout = new QVBoxLayout(central);
  layout->addLayout(top);
  layout->addWidget(lblOutcome);
  layout->addWidget(lblSeries);
  layout->addWidget(fraPortSettings);
  layout->addLayout(file);
  layout->addWidget(lblWarning);
  layout->addLayout(progress);
  layout->addStretch(1);
  layout->addLayout(buttons);

  // The session's rows below the window, once there is one.
  auto* dock = new QDockWidget(this);
  dock->setObjectName("dockSession");
  dock->setFeatures(QDockWidget::DockWidgetClosable | QDockWidget::DockWidgetMovable);
  tblSession = Make<QTableWidget>(dock, "tblSession");
  tblSession->setColumnCount(kSessionColumns);
  tblSession->setEditTriggers(QAbstractItemView::NoEditTriggers);
  tblSession->setSelectionBehavior(QAbstractItemView::SelectRows);
  tblSession->verticalHeader()->hide();
  tblSession->horizontalHeader()->setStretchLastSection(true);
  dock->setWidget(tblSession);
  addDockWidget(Qt::BottomDockWidgetArea, dock);
  dock->hide();

  StatusPanel = Make<QLabel>(statusBar(), "StatusPanel");
  statusBar()->setObjectName("sbStatusBar");
  statusBar()->addWidget(StatusPanel, 1);
}

void MainWindow::ConnectCommands() {
  Context& ctx = *ctx_;
  const auto run = [&ctx](Command command) { return [&ctx, command] { command(ctx); }; };
  connect(btnStart, &QPushButton::clicked, this, run(mnuCommandStartUpdate_Click));
  connect(btnCancel, &QPushButton::clicked, this, run(mnuCommandStop_Click));
  connect(btnSelectPort, &QPushButton::clicked, this, run(mnuCommandInitComm_Click));
  connect(btnSetBaud, &QPushButton::clicked, this, run(btnSetBaud_Click));
  connect(Master, &QComboBox::activated, this,
          [&ctx](int index) { SelectMasterEntry(ctx, index); });

  connect(mnuFile, &QMenu::aboutToShow, this, &MainWindow::mnuFile_Click);
  connect(mnuFileOpen, &QAction::triggered, this, run(mnuFileOpen_Click));
  connect(mnuExit, &QAction::triggered, this, &MainWindow::mnuExit_Click);
  connect(mnuCommandInitComm, &QAction::triggered, this, run(mnuCommandInitComm_Click));
  connect(mnuCommandStartUpdate, &QAction::triggered, this, run(mnuCommandStartUpdate_Click));
  connect(mnuCommandSetTime, &QAction::triggered, this, run(mnuCommandSetTime_Click));
  connect(mnuCommandReadStation, &QAction::triggered, this, run(ReadStation_Click));
  connect(mnuCommandStop, &QAction::triggered, this, run(mnuCommandStop_Click));
  connect(mnuCommandSeries, &QAction::triggered, this, &MainWindow::mnuCommandSeries_Click);
  connect(mnuCommandClockSeries, &QAction::triggered, this,
          &MainWindow::mnuCommandClockSeries_Click);
  connect(mnuFileRecord, &QAction::triggered, this, &MainWindow::mnuFileRecord_Click);
  connect(mnuFileExport, &QAction::triggered, this, &MainWindow::mnuFileExport_Click);
  connect(mnuGerman, &QAction::triggered, this,
          [this] { ChangeLanguage(*ctx_, *this, kLangGerman); });
  connect(mnuEnglish, &QAction::triggered, this,
          [this] { ChangeLanguage(*ctx_, *this, kLangEnglish); });
  connect(mnuFrench, &QAction::triggered, this,
          [this] { ChangeLanguage(*ctx_, *this, kLangFrench); });
  connect(mnuShowHelp, &QAction::triggered, this, &MainWindow::mnuShowHelp_Click);
  connect(tbGross, &QToolBar::actionTriggered, this, &MainWindow::tbGross_ButtonClick);
}

// ---- commands ----

void MainWindow::mnuExit_Click() {
  close();
}

void MainWindow::mnuShowHelp_Click() {
  const std::string file = FindHelpFile(ini_, programFolder_);
  if (file.empty()) {
    AppBox(*ctx_, kMsgNoHelp, vbInformation,
           GetMlString(*ctx_, kMsgNoHelp,
                       "Hilfeinhalt konnte nicht angezeigt werden. Dieser Anwendung ist keine "
                       "Hilfedatei zugeordnet."));
    return;
  }
  OpenDocument(this, file, [this, file] {
    AppBox(*ctx_, 0, vbInformation, FillPlaceholders(NamedText(*ctx_, "help.notOpened"), {file}));
  });
}

void MainWindow::mnuFile_Click() {
  // Asked afresh each time: the folder may come or go while the program runs.
  // A series holds the folder as it found it.
  if (!series_->running())
    mnuFileOpen->setEnabled(!UpgradeFolderBesideProgram(ini_, programFolder_));
  mnuFileExport->setEnabled(!session_.empty());
}

void MainWindow::mnuCommandSeries_Click() {
  if (!series_->running()) return StartSeries(mnuCommandStartUpdate_Click, 0);
  series_->Stop();
  // A stopped run has given the commands back; a poll on its way gives
  // nothing back, and the series asks nothing more of the line.
  if (!ctx_->report.active || ctx_->report.kind == RunKind::Poll) set_ButtonsAktiv(*ctx_, true);
  ShowSeries();
}

void MainWindow::mnuCommandClockSeries_Click() {
  if (series_->running()) return mnuCommandSeries_Click();
  StartSeries(mnuCommandSetTime_Click, kMsgSetStationTime);
}

void MainWindow::StartSeries(Series::Command command, int askedOnce) {
  series_->Start(command, askedOnce);
  for (const Control control : kHeldBySeries) setEnabled(control, false);
  ShowSeries();
}

bool MainWindow::HeldBySeries(Control control) {
  return std::find(std::begin(kHeldBySeries), std::end(kHeldBySeries), control) !=
         std::end(kHeldBySeries);
}

void MainWindow::ShowSeries() {
  const bool running = series_->running();
  const QString caption =
      Q(NamedText(*ctx_, running ? "window.series.stop" : "window.series.start"));
  mnuCommandSeries->setText(caption);
  tbSeries->setToolTip(WithoutAccessKey(caption));
  tbSeries->setIcon(
      style()->standardIcon(running ? QStyle::SP_BrowserStop : QStyle::SP_MediaSeekForward));
  if (QWidget* button = tbGross->widgetForAction(tbSeries))
    button->setAccessibleName(tbSeries->toolTip());
  const bool enabled = running || mnuCommandStartUpdate->isEnabled();
  mnuCommandSeries->setEnabled(enabled);
  tbSeries->setEnabled(enabled);
  // Stop series ends a clock series too; its own command waits meanwhile.
  const QString clockCaption = Q(NamedText(*ctx_, "window.series.clockStart"));
  mnuCommandClockSeries->setText(clockCaption);
  tbClockSeries->setToolTip(WithoutAccessKey(clockCaption));
  if (QWidget* button = tbGross->widgetForAction(tbClockSeries))
    button->setAccessibleName(tbClockSeries->toolTip());
  const bool clockEnabled = !running && mnuCommandSetTime->isEnabled();
  mnuCommandClockSeries->setEnabled(clockEnabled);
  tbClockSeries->setEnabled(clockEnabled);
  // The tally of the running series, or of the last one.
  const Series::Tally& tally = series_->tally();
  const bool clock = series_->stationCommand() == mnuCommandSetTime_Click;
  const std::string done = std::to_string(tally.done), refused = std::to_string(tally.refused),
                    failed = std::to_string(tally.failed);
  lblSeries->setText(Q(
      clock ? FillPlaceholders(NamedText(*ctx_, "window.series.clockTally"),
                               {done, std::to_string(tally.unchanged), refused, failed})
            : FillPlaceholders(NamedText(*ctx_, "window.series.tally"), {done, refused, failed})));
  lblSeries->setVisible(running || tally.done + tally.unchanged + tally.refused + tally.failed > 0);
  // The launcher's one number: the stations this series has updated or
  // whose clock it set; told only when it changes, as the entry keeps it.
  const int count = running ? tally.done : -1;
  if (ctx_->window.bTaskbarAvailable && TaskBarList && count != launcherCount_) {
    launcherCount_ = count;
    TaskBarList->SetCount(count);
  }
}

// ---- the station record ----

void MainWindow::ShowSessionOutcomes() {
  const std::int32_t lang = ctx_->settings.InitLang;
  const int rows = static_cast<int>(session_.size());
  for (int i = 0; i < rows && i < tblSession->rowCount(); ++i) {
    const SessionRow& entry = session_[static_cast<std::size_t>(rows - 1 - i)];
    if (QTableWidgetItem* item = tblSession->item(i, kOutcomeColumn))
      item->setText(Q(OutcomeWords(lang, entry.kind, entry.row.outcome, entry.row.messageId)));
  }
}

void MainWindow::RecordRun(RunKind kind, StationRecordRow& row) {
  row.time = UtcTimestamp();
  row.port = S(lblCOM->text());
  if (kind == RunKind::Update && row.bytes > 0) {
    row.file = ctx_->image.FoundFileName;
    row.fileChecksum = StoredFileChecksum(row.file);
  }
  row.message = S(lblOutcome->text());
  session_.push_back({kind, row});

  tblSession->insertRow(0);
  const QString firmware =
      Q(row.firmwareBefore) + (row.firmwareAfter.empty() ? "" : " → " + Q(row.firmwareAfter));
  const QString time =
      QDateTime::fromString(Q(row.time), Qt::ISODateWithMs).toLocalTime().toString("HH:mm:ss");
  const QString cells[kSessionColumns] = {
      Q(row.serial),
      Q(row.hardware),
      firmware,
      Q(row.battery),
      Q(OutcomeWords(ctx_->settings.InitLang, kind, row.outcome, row.messageId)),
      time};
  for (int column = 0; column < kSessionColumns; ++column) {
    auto* item = new QTableWidgetItem(cells[column]);
    item->setToolTip(Q(row.message));
    tblSession->setItem(0, column, item);
  }
  if (auto* dock = findChild<QDockWidget*>("dockSession")) dock->show();

  // The run is over whatever becomes of its row.
  const std::string why = AppendStationRecord(StationRecordPath(ini_), row);
  if (why.empty()) {
    recordFailureSaid_ = false;
  } else if (!recordFailureSaid_) {
    recordFailureSaid_ = true;
    StatusPanel->setText(Q(FillPlaceholders(NamedText(*ctx_, "window.record.notWritten"), {why})));
  }
  ShowSeries();
}

void MainWindow::mnuFileRecord_Click() {
  const std::string path = StationRecordPath(ini_);
  const auto notOpened = [this, path] {
    AppBox(*ctx_, 0, vbInformation,
           FillPlaceholders(NamedText(*ctx_, "window.record.notOpened"), {path}));
  };
  std::error_code error;
  if (path.empty() || !std::filesystem::exists(path, error)) return notOpened();
  OpenDocument(this, path, notOpened);
}

void MainWindow::mnuFileExport_Click() {
  const QString path = QFileDialog::getSaveFileName(
      this, WithoutAccessKey(mnuFileExport->text()).remove("..."), QString(), "CSV (*.csv)");
  if (!path.isEmpty()) ExportSession(path);
}

// The same header and fields as the record, this session's rows only.
// Written whole or not at all: a file chosen to be replaced keeps its old
// contents when the new ones cannot be written.
void MainWindow::ExportSession(const QString& path) {
  std::string text = CsvLine({kStationRecordColumns.begin(), kStationRecordColumns.end()});
  for (const SessionRow& entry : session_) text += CsvLine(RecordFields(entry.row));
  QSaveFile file(path);
  const bool written = file.open(QIODevice::WriteOnly) &&
                       file.write(text.data(), static_cast<qint64>(text.size())) ==
                           static_cast<qint64>(text.size()) &&
                       file.commit();
  if (!written)
    StatusPanel->setText(Q(FillPlaceholders(NamedText(*ctx_, "window.record.notExported"),
                                            {S(path), S(file.errorString())})));
}

void MainWindow::tbGross_ButtonClick(QAction* button) {
  ResetClockState(*ctx_);
  if (button == tbSeries) return mnuCommandSeries_Click();
  if (button == tbClockSeries) return mnuCommandClockSeries_Click();
  const std::string key = S(button->objectName());
  for (const ToolbarRoute& route : kToolbarRoutes) {
    if (key != route.key) continue;
    if (route.run)
      route.run(*ctx_);
    else
      mnuExit_Click();
    return;
  }
}

// ---- closing ----

void MainWindow::closeEvent(QCloseEvent* event) {
  event->accept();
  if (!loaded_ || unloaded_) return;
  unloaded_ = true;
  if (series_->running()) series_->Stop();
  CloseMainWindow(*ctx_, ini_, *this);
}

void MainWindow::CloseOtherWindows() {
  const QList<QDialog*> dialogs = findChildren<QDialog*>();
  for (auto it = dialogs.rbegin(); it != dialogs.rend(); ++it) {
    if ((*it)->isVisible()) (*it)->close();
  }
}

// Every way of stepping through the mode list picks an entry and locks the
// list a moment, so that holding a key or turning the wheel does not flood
// the station with mode commands: Up or Down the other entry, Home and Page Up
// (or the wheel turned up) the first, End and Page Down (or down) the last.
// Typed characters choose nothing. The list stays locked even when the
// station answers meanwhile, and has the focus again afterwards.
bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched != Master) return QMainWindow::eventFilter(watched, event);
  int entry = -2;  // -1: the other one
  if (event->type() == QEvent::Wheel) {
    const int delta = static_cast<QWheelEvent*>(event)->angleDelta().y();
    if (delta == 0) return true;
    entry = delta > 0 ? 0 : 1;
  } else if (event->type() == QEvent::KeyPress) {
    const auto* key = static_cast<QKeyEvent*>(event);
    switch (key->key()) {
      case Qt::Key_Up:
      case Qt::Key_Down:
        entry = -1;
        break;
      case Qt::Key_Home:
      case Qt::Key_PageUp:
        entry = 0;
        break;
      case Qt::Key_End:
      case Qt::Key_PageDown:
        entry = 1;
        break;
      default:
        // Discarded, as the list takes no typed input.
        if (!key->text().isEmpty() && key->text().at(0).isPrint()) return true;
        return QMainWindow::eventFilter(watched, event);
    }
  } else {
    return QMainWindow::eventFilter(watched, event);
  }
  if (entry == -1)
    MasterArrowKey(*ctx_);
  else if (!MasterKeyEntry(*ctx_, entry))
    return true;
  masterLocked_ = true;
  QTimer::singleShot(kArrowKeyLockMs, this, [this] {
    masterLocked_ = false;
    Master->setEnabled(true);
    Master->setFocus();
  });
  return true;
}

// ---- View ----

QWidget* MainWindow::WidgetOf(Control control) const {
  const std::pair<Control, QWidget*> widgets[] = {
      {Control::Master, Master},
      {Control::btnStart, btnStart},
      {Control::btnCancel, btnCancel},
      {Control::btnSelectPort, btnSelectPort},
      {Control::btnSetBaud, btnSetBaud},
      {Control::labProgress, labProgress},
      {Control::ProgressBar, ProgressBar},
      {Control::lblStationsInfo, lblStationsInfo},
      {Control::LabelFileLoad, LabelFileLoad},
      {Control::lblCOM, lblCOM},
      {Control::lblBaudrate, lblBaudrate},
      {Control::imgBaudWarning, imgBaudWarning},
      {Control::lblDescConn, lblDescConn},
      {Control::StatusPanel, StatusPanel},
  };
  for (const auto& [name, widget] : widgets) {
    if (name == control) return widget;
  }
  return nullptr;
}

QAction* MainWindow::ActionOf(Control control) const {
  const std::pair<Control, QAction*> actions[] = {
      {Control::mnuCommandInitComm, mnuCommandInitComm},
      {Control::mnuCommandSetTime, mnuCommandSetTime},
      {Control::mnuCommandStartUpdate, mnuCommandStartUpdate},
      {Control::mnuCommandStop, mnuCommandStop},
      {Control::mnuCommandReadStation, mnuCommandReadStation},
      {Control::mnuFileOpen, mnuFileOpen},
      {Control::mnuGerman, mnuGerman},
      {Control::mnuEnglish, mnuEnglish},
      {Control::mnuFrench, mnuFrench},
      {Control::tbStart, tbStartBoot},
      {Control::tbSelectPort, tbInitComm},
      {Control::tbSetTime, tbTime},
      {Control::tbReadStation, tbReadStation},
      {Control::tbCancel, tbCancelUpdate},
      {Control::tbExit, tbExit},
  };
  for (const auto& [name, action] : actions) {
    if (name == control) return action;
  }
  return nullptr;
}

void MainWindow::setEnabled(Control control, bool enabled) {
  if (control == Control::Master && enabled && masterLocked_) return;
  if (enabled && series_->running() && HeldBySeries(control)) return;
  if (control == Control::mnuCommandStartUpdate && mnuCommandSeries && !series_->running()) {
    // A series is a run of updates: it may start when Start may.
    mnuCommandSeries->setEnabled(enabled);
    tbSeries->setEnabled(enabled);
  }
  if (control == Control::mnuCommandSetTime && mnuCommandClockSeries && !series_->running()) {
    // And a clock series when Set time may.
    mnuCommandClockSeries->setEnabled(enabled);
    tbClockSeries->setEnabled(enabled);
  }
  if (QAction* action = ActionOf(control)) return action->setEnabled(enabled);
  if (QWidget* widget = WidgetOf(control)) widget->setEnabled(enabled);
}

bool MainWindow::isEnabled(Control control) const {
  if (const QAction* action = ActionOf(control)) return action->isEnabled();
  if (const QWidget* widget = WidgetOf(control)) return widget->isEnabled();
  return true;
}

void MainWindow::setText(Control control, const std::string& text) {
  const QString value = Q(text);
  if (control == Control::Caption) return setWindowTitle(value);
  if (control == Control::Master) {
    // Text that is no entry (the empty text while a mode command is on its
    // way) shows with no entry selected.
    const int index = value.isEmpty() ? -1 : Master->findText(value, Qt::MatchExactly);
    Master->setCurrentIndex(index);
    Master->setPlaceholderText(index < 0 ? value : QString());
    return;
  }
  if (QAction* action = ActionOf(control)) return action->setText(value);
  QWidget* widget = WidgetOf(control);
  if (auto* label = qobject_cast<QLabel*>(widget)) return label->setText(value);
  if (auto* button = qobject_cast<QPushButton*>(widget)) button->setText(value);
}

std::string MainWindow::text(Control control) const {
  if (control == Control::Caption) return S(windowTitle());
  if (control == Control::Master)
    return S(Master->currentIndex() >= 0 ? Master->currentText() : Master->placeholderText());
  if (const QAction* action = ActionOf(control)) return S(action->text());
  const QWidget* widget = WidgetOf(control);
  if (const auto* label = qobject_cast<const QLabel*>(widget)) return S(label->text());
  if (const auto* button = qobject_cast<const QPushButton*>(widget)) return S(button->text());
  return {};
}

void MainWindow::setVisible(Control control, bool visible) {
  if (QAction* action = ActionOf(control)) return action->setVisible(visible);
  if (QWidget* widget = WidgetOf(control)) widget->setVisible(visible);
}

void MainWindow::setToolTip(Control control, const std::string& text) {
  if (QAction* action = ActionOf(control)) return action->setToolTip(Q(text));
  if (QWidget* widget = WidgetOf(control)) widget->setToolTip(Q(text));
}

void MainWindow::DropDown(Control control) {
  if (control == Control::Master) Master->showPopup();
}

std::string MainWindow::CompactPath(Control control, const std::string& path) {
  const auto* label = qobject_cast<const QLabel*>(WidgetOf(control));
  if (!label) return path;
  const QFontMetrics metrics(label->font());
  return S(metrics.elidedText(Q(path), Qt::ElideMiddle, label->contentsRect().width()));
}

std::string MainWindow::BrowseForFolder(const std::string& prompt) {
  return qv::BrowseForFolder(this, prompt);
}

void MainWindow::setProgressMaximum(std::int32_t maximum) {
  ProgressBar->setMaximum(std::max(maximum, ProgressBar->minimum()));
}

void MainWindow::ShowProgress(std::int32_t value) {
  ProgressBar->setValue(std::clamp(value, ProgressBar->minimum(), ProgressBar->maximum()));
  if (!ctx_->window.bTaskbarAvailable || !TaskBarList) return;
  if (value <= 0) {
    TaskBarList->SetProgressState(this, TBPF_NOPROGRESS);
    return;
  }
  TaskBarList->SetProgressState(this, TBPF_NORMAL);
  TaskBarList->SetProgressValue(this, static_cast<std::uint32_t>(value),
                                static_cast<std::uint32_t>(ProgressBar->maximum()));
}

char MainWindow::DecimalSeparator() const {
  const QString point = QLocale::system().decimalPoint();
  return point.isEmpty() ? '.' : point.at(0).toLatin1();
}

int MainWindow::HookedMsgBox(int, const std::string& prompt, int style, std::string& title) {
  return boxes_->HookedMsgBox(prompt, style, title);
}

// ---- WindowShell ----

bool MainWindow::CreateTaskbarProgress() {
  TaskBarList = std::make_unique<ITaskBarList3>(bus_ ? *bus_ : QDBusConnection::sessionBus());
  if (!TaskBarList->Available()) {
    TaskBarList.reset();
    return false;
  }
  TaskBarList->SetProgressState(this, TBPF_NOPROGRESS);
  return true;
}

WindowRect MainWindow::WindowGeometry() const {
  const TwipsRect twips = FrameGeometryTwips(*this);
  return {static_cast<float>(twips.Left), static_cast<float>(twips.Top),
          static_cast<float>(twips.Width), static_cast<float>(twips.Height)};
}

ScreenSize MainWindow::Screen() const {
  const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
  if (!screen) return {};
  const TwipsPerPixel factors = ScreenTwipsPerPixel(this);
  const QSize size = screen->geometry().size();
  return {static_cast<float>(size.width() * factors.x),
          static_cast<float>(size.height() * factors.y)};
}

void MainWindow::MoveWindow(float left, float top) {
  TwipsRect twips = FrameGeometryTwips(*this);
  twips.Left = left;
  twips.Top = top;
  SetFrameGeometryTwips(*this, twips);
}

void MainWindow::CheckLanguage(std::int32_t initLang) {
  mnuGerman->setChecked(initLang == kLangGerman);
  mnuFrench->setChecked(initLang == kLangFrench);
  mnuEnglish->setChecked(initLang != kLangGerman && initLang != kLangFrench);
}

void MainWindow::ApplyLanguageTexts() {
  qv::ApplyLanguageTexts(*this, ctx_->settings.InitLang);
  // Standard buttons in the language of the box's text.
  UseQtTranslations(LocaleOfLanguage(ctx_->settings.InitLang));
}

QString MainWindow::Ml(int id, const char* fallback) const {
  return Q(GetMlString(*ctx_, id, fallback));
}

void MainWindow::RefreshCaptions() {
  setWindowTitle(Q(MainWindowTitle(ctx_->settings.InitLang)));
  mnuLanguage->menuAction()->setText(Ml(1013));
  mnuShowHelp->setText(Ml(1015) + "...");
  fraPortSettings->setTitle(Ml(1007, "Settings"));
  lblPort->setText(Ml(1152) + ":");
  lblMode->setText(Ml(1148) + ":");
  lblBaudText->setText(Ml(1159) + ":");
  lblVersion->setText(Ml(kMsgWindowTitle) + "\nv" + Q(VersionNumber()) + " (" + BuildDateText() +
                      ")");
  StatusPanel->setText(Ml(1126));
  tbReadStation->setToolTip(Q(NamedText(*ctx_, "window.readStation")));
  ShowOutcome();
  if (auto* dock = findChild<QDockWidget*>("dockSession"))
    dock->setWindowTitle(Q(NamedText(*ctx_, "window.record.title")));
  tblSession->setHorizontalHeaderLabels(Q(NamedText(*ctx_, "window.record.columns")).split('|'));
  ShowSessionOutcomes();
  ctx_->texts.RemoteText = GetMlString(*ctx_, kMsgRemote, "remote");
  ctx_->texts.DirectText = GetMlString(*ctx_, kMsgDirect, "direkt");
  Master->setItemText(0, Q(ctx_->texts.DirectText));
  Master->setItemText(1, Q(ctx_->texts.RemoteText));
  CommandMenuCaptions();
  NameControlsForScreenReaders();
}

void MainWindow::CommandMenuCaptions() {
  mnuCommandStartUpdate->setText("&" + tbStartBoot->toolTip());
  mnuCommandStop->setText("&" + tbCancelUpdate->toolTip());
  mnuCommandSetTime->setText("&" + tbTime->toolTip());
  mnuCommandInitComm->setText("&" + tbInitComm->toolTip());
  mnuCommandReadStation->setText(Q(NamedText(*ctx_, "window.readStation.menu")));
  mnuFileRecord->setText(Q(NamedText(*ctx_, "window.record.open")));
  mnuFileExport->setText(Q(NamedText(*ctx_, "window.record.export")));
  ShowSeries();
}

void MainWindow::ShowOutcome() {
  lblOutcome->setText(Q(outcome_.Text(ctx_->settings.InitLang, DecimalSeparator())));
}

// Labels and buttons with a caption are read by their caption; these show a
// value, a picture or nothing while idle, so they are named for what they are.
void MainWindow::NameControlsForScreenReaders() {
  const std::int32_t lang = ctx_->settings.InitLang;
  for (QAction* button : tbGross->actions()) {
    if (QWidget* widget = tbGross->widgetForAction(button))
      widget->setAccessibleName(button->toolTip());
  }
  lblCOM->setAccessibleName(WithoutColon(lblPort->text()));
  Master->setAccessibleName(WithoutColon(lblMode->text()));
  txtHilfFuerFokus->setAccessibleName(WithoutColon(lblMode->text()));
  lblBaudrate->setAccessibleName(WithoutColon(lblBaudText->text()));
  LabelFileLoad->setAccessibleName(WithoutColon(Ml(1209, "Datei:")));
  StatusPanel->setAccessibleName(Ml(1126, "Status"));
  imgBaudWarning->setToolTip(Ml(1221));
  imgBaudWarning->setAccessibleName(Ml(1221));
  PicBanner->setToolTip(windowTitle());
  PicBanner->setAccessibleName(windowTitle());
  ProgressBar->setAccessibleName(kProgressName.pick(lang));
  labProgress->setAccessibleName(kProgressTextName.pick(lang));
  lblStationsInfo->setAccessibleName(kStationName.pick(lang));
  lblOutcome->setAccessibleName(kOutcomeName.pick(lang));
  lblSeries->setAccessibleName(kSeriesName.pick(lang));
  tblSession->setAccessibleName(Q(NamedText(*ctx_, "window.record.title")));
}

void MainWindow::PlainBox(const std::string& prompt, int style, const std::string& title) {
  PlainMsgBox(prompt, style, title);
}

void MainWindow::SetMasterEntries(const std::string& direct, const std::string& remote,
                                  bool clear) {
  if (clear) {
    Master->clear();
    Master->addItems({Q(direct), Q(remote)});
    Master->setCurrentIndex(-1);
    Master->setPlaceholderText(QString());
    return;
  }
  Master->setItemText(0, Q(direct));
  Master->setItemText(1, Q(remote));
}

void MainWindow::BringBannerToFront() {
  PicBanner->raise();
}

void MainWindow::SayRenumberedPorts(const std::vector<PortEntry>& entries) {
  QStringList notes;
  for (const PortEntry& entry : entries) {
    if (!entry.renumbered) continue;
    notes << Q(FillPlaceholders(NamedText(*ctx_, "portmap.renumbered"),
                                {"COM" + std::to_string(entry.number), entry.path}));
  }
  if (!notes.isEmpty()) StatusPanel->setText(notes.join(' '));
}

// ---- the entry procedure ----

int Main(MainWindowOptions options) {
  // The stored port keeps its device: no device new to the machine takes its
  // number, also in this first listing.
  PortMap ports = options.ports ? *options.ports : SystemPortMap();
  {
    IniAccess ini(nullptr, options.environment);
    LocateSettingsFile(ini);
    const int stored = PortNumberOf(ini.ReadEntry(kSectionComCtrl, "Port", ""));
    if (stored > 0) ports.Hold({stored});
  }
  options.ports = ports;
  // A port the operator's map names (a station simulator on a
  // pseudo-terminal, say) is a serial port too.
  const std::vector<PortEntry> entries = ports.List();
  const bool mapped = std::any_of(entries.begin(), entries.end(),
                                  [](const PortEntry& entry) { return entry.present; });
  options.bNoSerialPort = EnumSystemSerialPorts() == 0 && !mapped;
  if (!IsOsAtLeast(5, 0)) {
    PlainMsgBox("Windows 2000 or later is required to run this software.", vbCritical,
                "Quorvex Boot");
    return 1;
  }
  MainWindow frmMain(std::move(options));
  frmMain.Load();
  frmMain.show();
  frmMain.SayRenumberedPorts(entries);
  const SignalClose closer(frmMain);
  return QApplication::exec();
}

}  // namespace qv
