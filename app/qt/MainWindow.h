#pragma once
// frmMain: the program's one main window. It owns the serial port, the
// timers and every display, shows the engine's states through View, and
// routes the operator's menu, toolbar and button commands to the engine.
// Start-up, language change and closing run in app/Startup over WindowShell.
#include <QDBusConnection>
#include <QMainWindow>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/Startup.h"
#include "app/qt/RunOutcome.h"
#include "app/qt/RunRecord.h"
#include "config/IniAccess.h"
#include "core/Context.h"
#include "core/View.h"
#include "serial/PortMap.h"
#include "update/Series.h"

class QAction;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QProgressBar;
class QPushButton;
class QTableWidget;
class QToolBar;

namespace qv {

class DlgInitCom;

class ITaskBarList3;
class MessageBoxHost;
class QtClock;
class QtSerialComm;
class QtTimer;

struct MainWindowOptions {
  std::string programFolder;  // empty: the folder of the executable
  bool bNoSerialPort = false;
  std::optional<PortMap> ports;  // empty: the operator's map and the system's devices
  // Where the settings folder is looked up ($XDG_DATA_HOME).
  IniAccess::Environment environment = IniAccess::ProcessEnvironment;
  std::optional<QDBusConnection> bus;  // the launcher's bus; empty: the session bus
};

class MainWindow : public QMainWindow, public View, public WindowShell {
  Q_OBJECT

 public:
  explicit MainWindow(MainWindowOptions options = {});
  ~MainWindow() override;

  // The load procedure; Main runs it before the window is shown.
  void Load();
  // The status bar names each number that leads to another device than at
  // the last start (the listing marks them once).
  void SayRenumberedPorts(const std::vector<PortEntry>& entries);
  // Every showing of the port-settings dialog goes through here; false when
  // the operator cancelled it.
  virtual bool ShowPortSettings();

  Context& context() { return *ctx_; }
  const std::string& settingsFile() const { return settingsFile_; }
  const std::string& programFolder() const { return programFolder_; }

  // The commands of the window itself.
  void mnuExit_Click();
  void mnuShowHelp_Click();
  void mnuFile_Click();  // the File menu opens
  void tbGross_ButtonClick(QAction* button);
  // Start series, or Stop series while one runs (either series).
  void mnuCommandSeries_Click();
  // A series of Set time: each station's clock read and set when it differs;
  // whether to set it is asked of the first station only.
  void mnuCommandClockSeries_Click();
  void mnuFileRecord_Click();  // opens the station record
  void mnuFileExport_Click();  // the session's rows into a file of the operator's choice
  const Series& series() const { return *series_; }

  // View; the widget's own members of the same names stay usable.
  using QMainWindow::isEnabled;
  using QMainWindow::setEnabled;
  using QMainWindow::setToolTip;
  using QMainWindow::setVisible;
  void setEnabled(Control control, bool enabled) override;
  bool isEnabled(Control control) const override;
  void setText(Control control, const std::string& text) override;
  std::string text(Control control) const override;
  void setVisible(Control control, bool visible) override;
  void setToolTip(Control control, const std::string& text) override;
  void DropDown(Control control) override;
  bool ShowPortDialog() override { return ShowPortSettings(); }
  std::string CompactPath(Control control, const std::string& path) override;
  std::string BrowseForFolder(const std::string& prompt) override;
  void setProgressMaximum(std::int32_t maximum) override;
  void ShowProgress(std::int32_t value) override;
  char DecimalSeparator() const override;
  int HookedMsgBox(int messageId, const std::string& prompt, int style,
                   std::string& title) override;

  // WindowShell
  bool CreateTaskbarProgress() override;
  WindowRect WindowGeometry() const override;
  ScreenSize Screen() const override;
  void MoveWindow(float left, float top) override;
  bool IsMinimized() const override { return isMinimized(); }
  void CheckLanguage(std::int32_t initLang) override;
  void ApplyLanguageTexts() override;
  void RefreshCaptions() override;
  void CommandMenuCaptions() override;
  void ShowWindow() override { show(); }
  void PlainBox(const std::string& prompt, int style, const std::string& title) override;
  void SetMasterEntries(const std::string& direct, const std::string& remote, bool clear) override;
  void BringBannerToFront() override;
  void CloseOtherWindows() override;

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildMenus();
  void BuildToolbar();
  void BuildControls();
  void ConnectCommands();
  void NameControlsForScreenReaders();
  QString Ml(int id, const char* fallback = "") const;
  QWidget* WidgetOf(Control control) const;
  QAction* ActionOf(Control control) const;
  // The last run's outcome, in the window's language.
  void ShowOutcome();
  // Controls a series keeps disabled while it runs, whatever a run's end
  // enables: another command would break into the series.
  static bool HeldBySeries(Control control);
  void StartSeries(Series::Command command, int askedOnce);
  // The series commands' captions and states, the tally and the launcher's count.
  void ShowSeries();
  // The session table's outcome column, in the window's language.
  void ShowSessionOutcomes();
  // The ended run's row: filled in, appended to the record, shown in the table.
  void RecordRun(RunKind kind, StationRecordRow& row);
  void ExportSession(const QString& path);

  std::string programFolder_;
  std::unique_ptr<QtSerialComm> serial_;
  std::unique_ptr<QtTimer> Timer1, Timer2, Timer3, TimerEfi, TimerKeyWait;
  std::unique_ptr<QtClock> clock_;
  std::unique_ptr<MessageBoxHost> boxes_;
  RunOutcomeEvents outcome_;
  std::unique_ptr<RunRecordEvents> record_;
  std::unique_ptr<RunEventsFanOut> front_;  // the outcome label, then the record
  std::unique_ptr<QtTimer> seriesTimer_;
  std::unique_ptr<Series> series_;
  struct SessionRow {
    RunKind kind;
    StationRecordRow row;
  };
  std::vector<SessionRow> session_;  // the rows of this session, oldest first
  bool recordFailureSaid_ = false;
  int launcherCount_ = -1;  // the count on the launcher entry; -1: none shown
  std::unique_ptr<Context> ctx_;
  IniAccess ini_;
  std::optional<QDBusConnection> bus_;
  std::unique_ptr<ITaskBarList3> TaskBarList;
  std::unique_ptr<DlgInitCom> dlgInitCom_;
  std::string settingsFile_;
  bool loaded_ = false;
  bool unloaded_ = false;
  bool masterLocked_ = false;  // a key or the wheel chose an entry a moment ago

  // Menus.
  QMenu* mnuFile = nullptr;
  QAction *mnuFileOpen = nullptr, *mnuExit = nullptr;
  QAction *mnuFileRecord = nullptr, *mnuFileExport = nullptr;
  QMenu* mnuCommands = nullptr;
  QAction *mnuCommandInitComm = nullptr, *mnuCommandStartUpdate = nullptr,
          *mnuCommandSetTime = nullptr, *mnuCommandReadStation = nullptr, *mnuCommandStop = nullptr,
          *mnuCommandSeries = nullptr, *mnuCommandClockSeries = nullptr;
  QMenu* mnuLanguage = nullptr;
  QAction *mnuEnglish = nullptr, *mnuFrench = nullptr, *mnuGerman = nullptr;
  QMenu* mnuHilfe = nullptr;
  QAction* mnuShowHelp = nullptr;
  // Toolbar tbGross, by key.
  QToolBar* tbGross = nullptr;
  QAction *tbInitComm = nullptr, *tbStartBoot = nullptr, *tbTime = nullptr,
          *tbReadStation = nullptr, *tbCancelUpdate = nullptr, *tbExit = nullptr,
          *tbSeries = nullptr, *tbClockSeries = nullptr;
  // Controls.
  QLabel *PicBanner = nullptr, *lblVersion = nullptr, *lblWarning = nullptr;
  QLabel* lblStationsInfo = nullptr;
  QLabel* lblOutcome = nullptr;        // what became of the last station, in large letters
  QLabel* lblSeries = nullptr;         // the series' tally
  QTableWidget* tblSession = nullptr;  // the session's record rows, newest first
  QGroupBox* fraPortSettings = nullptr;
  QLabel *lblPort = nullptr, *lblCOM = nullptr, *lblMode = nullptr;
  QLabel *lblBaudText = nullptr, *lblBaudrate = nullptr;
  QLabel *imgBaudWarning = nullptr, *lblDescConn = nullptr;
  QLabel *lblFile = nullptr, *LabelFileLoad = nullptr;
  QPushButton *btnSelectPort = nullptr, *btnSetBaud = nullptr;
  QPushButton *btnStart = nullptr, *btnCancel = nullptr;
  QComboBox* Master = nullptr;
  QLineEdit* txtHilfFuerFokus = nullptr;
  QProgressBar* ProgressBar = nullptr;
  QLabel* labProgress = nullptr;
  QLabel* StatusPanel = nullptr;  // first panel of sbStatusBar
};

// The entry procedure: counts the serial ports, checks the system, creates
// the main window, loads and shows it, and runs the program until it closes.
// Needs the QApplication to exist. Returns the program's exit code.
int Main(MainWindowOptions options = {});

}  // namespace qv
