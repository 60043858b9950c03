#include "cli/StationRun.h"

#include <QLocale>
#include <atomic>
#include <cmath>
#include <filesystem>
#include <fstream>

#include "cli/CliTexts.h"
#include "cli/CliView.h"
#include "cli/Questions.h"
#include "cli/Reasons.h"
#include "core/Errors.h"
#include "core/TextRules.h"
#include "platform/QtClock.h"
#include "platform/QtPortDevices.h"
#include "platform/QtSerialComm.h"
#include "platform/QtTimer.h"
#include "protocol/Identification.h"
#include "protocol/QvBoot.h"
#include "protocol/ReceiveReply.h"
#include "protocol/stdFunc.h"
#include "update/ClockCommand.h"
#include "update/Engine.h"
#include "update/ModeSwitching.h"
#include "update/ReplyHandlers.h"
#include "update/Series.h"
#include "update/UpdateRun.h"
#include "update/UpgradeFile.h"

namespace qv::cli {

namespace {

// Set by a signal handler, read by every station's thread.
std::atomic<bool> interruptRequested{false};
static_assert(std::atomic<bool>::is_always_lock_free);

// How often the run looks for Ctrl-C and its own time limit.
constexpr int kWatchMs = 100;
// A stalled engine gets the engine's own longest wait for a reply before the
// run is called failed: the reply may still come.
constexpr int kStallGraceMs = kModeReplyTimeoutMs;
constexpr double kRestoreSeconds = 1.5;

char SystemDecimalSeparator() {
  const QString point = QLocale::system().decimalPoint();
  return point.isEmpty() ? '.' : point.at(0).toLatin1();
}

std::string TwoDigits(int value) {
  return (value < 10 ? "0" : "") + std::to_string(value);
}

const char* PhaseName(RunPhase phase) {
  switch (phase) {
    case RunPhase::Contact:
      return "contact";
    case RunPhase::Identify:
      return "identify";
    case RunPhase::Transfer:
      return "transfer";
    case RunPhase::Key:
      return "key";
    case RunPhase::RestartWait:
      return "restart";
    case RunPhase::Clock:
      return "clock";
    case RunPhase::Confirm:
      break;
  }
  return "confirm";
}

}  // namespace

void InterruptStations() {
  interruptRequested.store(true);
}

bool StationsInterrupted() {
  return interruptRequested.load();
}

StationRun::StationRun(int index, JobSpec job, Sink& sink)
    : index_(index), job_(std::move(job)), sink_(sink) {
  result_.port = job_.port;
  result_.device = job_.device;
  live_.port = job_.port;
}

StationRun::~StationRun() = default;

double StationRun::Now() const {
  return static_cast<double>(clock_->monotonicMs()) / 1000.0;
}

// A COM number goes through the operator's port map, as in the window, so a
// USB station found again under another device after its restart is still
// reached; a device path has a map of its own for the run.
PortMap StationRun::MapOfPort() const {
  if (job_.mapFile.empty()) return SystemPortMap();
  std::ofstream(job_.mapFile) << "COM" << job_.comNumber << " = " << job_.device << "\n";
  return PortMap(job_.mapFile, FileSystemPortSystem());
}

bool StationRun::MakePlatform() {
  const std::int32_t lang = job_.initLang;
  if (const std::string problem = PortProblem(job_.device, !job_.mapFile.empty(), lang);
      !problem.empty()) {
    Finish(problem);
    return false;
  }
  serial_ = std::make_unique<QtSerialComm>(
      MapOfPort(), [lang](std::string_view name) { return NamedText(lang, name); });
  for (auto& timer : timers_) timer = std::make_unique<QtTimer>();
  clock_ = std::make_unique<QtClock>();
  view_ = std::make_unique<CliView>(job_.yes, SystemDecimalSeparator());
  view_->onProgress = [this](std::int32_t value) { Progress(value); };
  if (job_.series) {
    seriesTimer_ = std::make_unique<QtTimer>();
    RunEvents& front = *this;
    series_ = std::make_unique<Series>(
        *seriesTimer_, front, job_.command == Command::Time ? mnuCommandSetTime_Click : nullptr);
    // Nothing answered the mode frame, not even a master station: on a
    // direct line that is the time before the first station is placed, so
    // the series starts over until Ctrl-C (the box said what it found).
    series_->onGaveUp = [this] {
      QTimer::singleShot(kSeriesPollMs, this, [this] {
        if (!done_ && !interrupted_) series_->Start();
      });
    };
  }
  ctx_ = std::make_unique<Context>(Platform{.MSComm = serial_.get(),
                                            .Timer1 = timers_[0].get(),
                                            .Timer2 = timers_[1].get(),
                                            .Timer3 = timers_[2].get(),
                                            .TimerEfi = timers_[3].get(),
                                            .TimerKeyWait = timers_[4].get(),
                                            .clock = clock_.get(),
                                            .view = view_.get(),
                                            .replies = &StationReplies(),
                                            .events = series_ ? static_cast<RunEvents*>(series_.get())
                                                              : this});
  if (series_) series_->Attach(*ctx_);
  Context& ctx = *ctx_;
  ctx.settings.InitLang = lang;
  ctx.settings.UpgradeFolder = job_.folder;
  try {
    SetUpEngine(ctx, {.comNumber = job_.comNumber, .baud = "4800", .open = true,
                      .relayed = job_.remote});
  } catch (const PlatformError& e) {
    Finish(e.description());
    return false;
  }
  return true;
}

void StationRun::Start() {
  watch_ = new QTimer(this);
  connect(watch_, &QTimer::timeout, this, [this] { Watch(); });
  stall_ = new QTimer(this);
  stall_->setSingleShot(true);
  connect(stall_, &QTimer::timeout, this,
          [this] { Finish(NamedText(job_.initLang, "cli.engineFault")); });
  if (!MakePlatform()) return;
  startedAt_ = Now();
  watch_->start(kWatchMs);
  // The window starts an update at the speed its settings remember, and its
  // start watchdog gives up before the speed search would try the other
  // one. Without settings to go by, the station is read first, which finds
  // its speed.
  if (series_) {
    stage_ = Stage::Series;
    SetPhase("contact");
    series_->Start();
  } else if (job_.command == Command::Update) {
    Begin(Stage::Probe, IdentifyStation);
  } else {
    StartCommand();
  }
}

// Runs one engine command; a command that began no run (it had nothing to
// go on) is a failure, never a wait.
void StationRun::Begin(Stage stage, void (*command)(Context&)) {
  stage_ = stage;
  runBegun_ = false;
  runEnded_ = false;
  command(*ctx_);
  if (!runBegun_ && !done_) Finish(NamedText(job_.initLang, "cli.engineFault"));
}

void StationRun::StartCommand() {
  if (done_) return;
  if (interrupted_) {
    Restore();
    return;
  }
  // The start command will not run with an empty mode list, which the
  // read before it leaves as the station answered.
  view_->setText(Control::Master, job_.remote ? ctx_->texts.RemoteText : ctx_->texts.DirectText);
  switch (job_.command) {
    case Command::Update:
      Begin(Stage::Command, mnuCommandStartUpdate_Click);
      break;
    case Command::Time:
      Begin(Stage::Command, mnuCommandSetTime_Click);
      break;
    default:
      Begin(Stage::Command, ReadStation_Click);
      break;
  }
}

// As the window does when it closes: the station goes back to the speed it
// was found at.
void StationRun::Restore() {
  if (done_) return;
  restoreUntil_ = Now() + kRestoreSeconds;
  Begin(Stage::Restore, RestoreStationLink);
  if (!runEnded_) SetPhase("restore");
}

void StationRun::PhaseEntered(RunPhase phase) {
  runBegun_ = true;
  if (stage_ == Stage::Restore || interrupted_) return;
  SetPhase(PhaseName(phase));
}

// The station as its first full identification describes it: what the
// record and the table show as "before".
void StationRun::StationIdentified(const StationInfo& info) {
  if (result_.identified) return;
  result_.identified = true;
  result_.serial = PlainNumber(info.serial);
  result_.hardware = info.hardwareText;
  result_.boot = info.bootText;
  result_.firmwareBefore = info.firmware;
  const LocalDateTime& d = info.productionDate;
  result_.productionDate =
      std::to_string(d.year) + "-" + TwoDigits(d.month) + "-" + TwoDigits(d.day);
  result_.battery = VoltageText(info.voltage, '.');
  result_.codeNumber = info.codeNumber;
  result_.usb = info.bUsb;
  live_.serial = result_.serial;
  QJsonObject event = EventJson("station", job_.port);
  event.insert("serial", QString::fromStdString(result_.serial));
  event.insert("hardware", QString::fromStdString(result_.hardware));
  event.insert("boot", QString::fromStdString(result_.boot));
  event.insert("firmware", QString::fromStdString(result_.firmwareBefore));
  event.insert("productionDate", QString::fromStdString(result_.productionDate));
  event.insert("battery", QString::fromStdString(result_.battery));
  event.insert("codeNumber", result_.codeNumber);
  event.insert("usb", result_.usb);
  Emit(event);
  sink_.Live(index_, live_);
}

// A series names the station its run is for; a clock run never identifies
// it otherwise.
void StationRun::StationAnswered(double serial) {
  if (!stationInHand_ || result_.identified) return;
  result_.serial = PlainNumber(serial);
  live_.serial = result_.serial;
  sink_.Live(index_, live_);
}

void StationRun::FirmwareReported(const std::string& firmware) {
  result_.firmwareAfter = firmware;
}

void StationRun::BlockAcknowledged(std::int64_t bytes, std::int64_t total) {
  result_.bytes = std::max(result_.bytes, bytes);
  live_.bytes = std::max(live_.bytes, result_.bytes);
  live_.total = total;
  sink_.Live(index_, live_);
  if (firstBlockAt_ >= 0) result_.seconds = Now() - firstBlockAt_;
}

void StationRun::BoxShown(const BoxEvent& shown) {
  const BoxRecord& box = view_->boxes().back();
  const std::string line = Named(OneLine(box.prompt));
  result_.message = line;
  QJsonObject event = EventJson(box.question ? "question" : "message", job_.port);
  event.insert("text", QString::fromStdString(line));
  if (box.question) {
    const Question* q = FindQuestion(box.question);
    event.insert("id", box.question);
    event.insert("answer", shown.answer);
    event.insert("default", q && shown.answer == q->defaultAnswer);
  }
  Emit(event);
}

void StationRun::FrameSent(const Bytes& frame) {
  stall_->stop();
  const std::uint8_t code = FrameCode(frame);
  sink_.Frame(job_.port, true, code, frame);
  if (code == WRITE_BLOCK && firstBlockAt_ < 0) {
    firstBlockAt_ = Now();
    result_.file = ctx_->image.FoundFileName;
    result_.fileChecksum = StoredFileChecksum(result_.file);
    live_.total = static_cast<std::int64_t>(ctx_->image.UpgradeData.size());
  }
}

void StationRun::ReplyReceived(std::uint8_t code, const Bytes& data) {
  stall_->stop();
  Bytes reply{code};
  reply.insert(reply.end(), data.begin(), data.end());
  sink_.Frame(job_.port, false, code, reply);
}

void StationRun::RunBegun(RunKind) {
  if (stage_ == Stage::Series) stationInHand_ = true;  // the series passes on station runs alone
}

void StationRun::RunEnded(RunOutcome outcome, int messageId) {
  stall_->stop();
  runEnded_ = true;
  // The next step runs once the engine's event has returned.
  switch (stage_) {
    case Stage::Series:
      // A station finished: its line now, and the series goes on.
      outcome_ = outcome;
      messageId_ = messageId;
      CloseResult({});
      if (interrupted_) QTimer::singleShot(0, this, [this] { Restore(); });
      return;
    case Stage::Probe:
      if (outcome == RunOutcome::Ok) {
        QTimer::singleShot(0, this, [this] { StartCommand(); });
        return;
      }
      outcome_ = outcome;
      messageId_ = messageId;
      break;
    case Stage::Command:
      outcome_ = outcome;
      messageId_ = messageId;
      break;
    case Stage::Restore:
      QTimer::singleShot(0, this, [this] { Finish(); });
      return;
  }
  QTimer::singleShot(0, this, [this] { Restore(); });
}

void StationRun::RunStalled() {
  stall_->start(kStallGraceMs);
}

void StationRun::Progress(std::int32_t value) {
  if (firstBlockAt_ < 0) return;
  live_.bytes = std::max<std::int64_t>(value, result_.bytes);
  live_.transferSeconds = Now() - firstBlockAt_;
  sink_.Live(index_, live_);
  if (progressPending_) return;
  if (progressReportedAt_ >= 0 && Now() - progressReportedAt_ < 1.0) return;
  progressReportedAt_ = Now();
  // Progress is reported from inside the acknowledgement's handler, before
  // the next block is sent; writing the line there (JSON and text, flushed)
  // held that block back by about 0.1 ms once a second. It is written when
  // the handler has returned, or before any other event, whichever is first.
  progressPending_ = true;
  QTimer::singleShot(0, this, [this] { ReportProgress(); });
}

void StationRun::ReportProgress() {
  if (!progressPending_) return;
  progressPending_ = false;
  QJsonObject event = EventJson("progress", job_.port);
  event.insert("bytes", static_cast<qint64>(live_.bytes));
  event.insert("total", static_cast<qint64>(live_.total));
  event.insert("bytesPerSecond",
               std::round(live_.transferSeconds > 0
                              ? static_cast<double>(live_.bytes) / live_.transferSeconds
                              : 0.0));
  sink_.Event(event);
}

// Events keep the order in which they happened, a progress report waiting
// for its handler to return included.
void StationRun::Emit(const QJsonObject& event) {
  ReportProgress();
  sink_.Event(event);
}

void StationRun::SetPhase(const std::string& phase) {
  if (live_.phase == phase) return;
  live_.phase = phase;
  sink_.Live(index_, live_);
  QJsonObject event = EventJson("phase", job_.port);
  event.insert("phase", QString::fromStdString(phase));
  Emit(event);
}

// Ctrl-C, and the run's own limits: the whole run, and putting the station
// back.
void StationRun::Watch() {
  if (done_) return;
  if (stage_ == Stage::Restore) {
    if (Now() > restoreUntil_) Finish();
    return;
  }
  if (interruptRequested.load() && !interrupted_) {
    Interrupt();
    return;
  }
  if (restoreWhenIdleUntil_ >= 0) {
    if (!ctx_->report.active) {
      restoreWhenIdleUntil_ = -1;
      Restore();
    } else if (Now() > restoreWhenIdleUntil_) {
      Finish();  // the poll never ended: the link is left as it is
    }
    return;
  }
  const double limit = 120.0 + static_cast<double>(view_->progressMaximum()) / 200.0;
  if (!series_ && Now() - startedAt_ > limit) Finish(NamedText(job_.initLang, "cli.timedOut"));
}

// No further block and no key, as the window's Stop; a station that has the
// key already is left to restart. The engine then tells how the run ended.
void StationRun::Interrupt() {
  interrupted_ = true;
  SetPhase("interrupted");
  if (!series_) {
    mnuCommandStop_Click(*ctx_);
    return;
  }
  // A station's run is stopped and tells its end; a poll is let end (its
  // watchdog may still be armed), and the link is put back after it.
  const bool station = stationInHand_;
  series_->Stop();
  if (!station) restoreWhenIdleUntil_ = Now() + kModeReplyTimeoutMs / 1000.0 + 1.0;
}

void StationRun::Retire() {
  if (done_ || stationInHand_ || !series_) return;
  Emit(EventJson("retired", job_.port));
  Finish();
}

std::string StationRun::Named(const std::string& text) const {
  return job_.mapFile.empty() ? text : NameByPath(text, job_.comNumber, job_.device);
}

// The station in hand's result: told, and kept for the summary and the record.
void StationRun::CloseResult(const std::string& reason) {
  const std::int32_t lang = job_.initLang;
  if (view_) {
    const auto& boxes = view_->boxes();
    result_.boxes.assign(boxes.begin() + static_cast<std::ptrdiff_t>(boxesFrom_), boxes.end());
    boxesFrom_ = boxes.size();
  }
  result_.outcome = reason.empty() ? outcome_ : Outcome::Failed;
  result_.messageId = messageId_;
  // Ctrl-C is no answer to a question: a run it ends before the key is failed.
  if (interrupted_ && result_.outcome != Outcome::Unconfirmed) result_.outcome = Outcome::Failed;
  const RunFacts facts{job_.port, result_.hardware, job_.folder};
  switch (result_.outcome) {
    case Outcome::Ok:
      break;  // the station's last word: its new firmware
    case Outcome::Unconfirmed:
      result_.message = FillPlaceholders(NamedText(lang, "cli.unconfirmed"), {job_.port});
      break;
    default:
      if (!reason.empty())
        result_.message = Named(reason);
      else if (interrupted_)
        result_.message = NamedText(
            lang, job_.command == Command::Update ? "cli.interruptedUpdate" : "cli.interrupted");
      else
        result_.message = Named(FailureReason(result_.boxes, facts, lang));
      break;
  }
  live_.phase = OutcomeName(result_.outcome);
  sink_.Live(index_, live_);
  Emit(ResultJson(result_));
  sink_.StationDone(result_);
  results_.push_back(result_);
  // The next station of a series starts afresh on the same port.
  stationInHand_ = false;
  result_ = StationResult{};
  result_.port = job_.port;
  result_.device = job_.device;
  live_.serial.clear();
  live_.bytes = live_.total = 0;
  firstBlockAt_ = -1;
  outcome_ = RunOutcome::Failed;
  messageId_ = 0;
}

void StationRun::Finish(const std::string& reason) {
  if (done_) return;
  done_ = true;
  if (watch_) watch_->stop();
  if (stall_) stall_->stop();
  if (seriesTimer_) seriesTimer_->setEnabled(false);
  if (ctx_) {
    // The run's own port and timers, before they go.
    for (auto& timer : timers_) timer->setEnabled(false);
    ClosePort(*ctx_);
  }
  // A series has told each finished station already; one it was at when it
  // ended, or a failure of its own, is told now.
  if (!series_ || stationInHand_ || !reason.empty()) CloseResult(reason);
  live_.ended = true;
  sink_.Live(index_, live_);
  ctx_.reset();
  series_.reset();
  seriesTimer_.reset();
  view_.reset();
  clock_.reset();
  for (auto& timer : timers_) timer.reset();
  serial_.reset();
  std::error_code ignored;
  if (!job_.mapFile.empty()) std::filesystem::remove(job_.mapFile, ignored);
  emit finished();
}

}  // namespace qv::cli
