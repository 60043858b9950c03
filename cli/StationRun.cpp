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
#include "cli/TracingComm.h"
#include "core/Errors.h"
#include "core/TextRules.h"
#include "platform/QtClock.h"
#include "platform/QtPortDevices.h"
#include "platform/QtSerialComm.h"
#include "platform/QtTimer.h"
#include "protocol/Commands.h"
#include "protocol/Identification.h"
#include "protocol/QvBoot.h"
#include "protocol/ReceiveReply.h"
#include "texts/MlStringModule.h"
#include "update/ClockCommand.h"
#include "update/Engine.h"
#include "update/ModeSwitching.h"
#include "update/ReplyHandlers.h"
#include "update/UpdateRun.h"

namespace qv::cli {

namespace {

// Set by a signal handler, read by every station's thread.
std::atomic<bool> interruptRequested{false};
static_assert(std::atomic<bool>::is_always_lock_free);

constexpr int kPollMs = 100;
// All five timers must stay off this many polls in a row: a procedure that
// re-arms one does so within the same event.
constexpr int kIdlePolls = 3;
// Some frames go out with no watchdog running (the mode frame after the speed
// switch): the run waits for their reply, however long a busy machine delays
// it, up to the engine's own longest wait for a reply.
constexpr double kReplySeconds = kModeReplyTimeoutMs / 1000.0;
constexpr double kRestoreSeconds = 1.5;

char SystemDecimalSeparator() {
  const QString point = QLocale::system().decimalPoint();
  return point.isEmpty() ? '.' : point.at(0).toLatin1();
}

std::string TwoDigits(int value) {
  return (value < 10 ? "0" : "") + std::to_string(value);
}

// The last two bytes of the upgrade file: the checksum its trailer carries.
std::string StoredChecksum(const std::string& path) {
  std::ifstream file(path, std::ios::binary | std::ios::ate);
  if (!file || file.tellg() < 2) return {};
  file.seekg(-2, std::ios::end);
  char bytes[2] = {};
  file.read(bytes, 2);
  return LongToHex(static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[0]) << 8 |
                                              static_cast<unsigned char>(bytes[1])),
                   2);
}

// Identification alone: the mode reply asks for the system data (never for a
// new speed), and the identification reply ends the conversation.
ReplyTable IdentifyReplies() {
  ReplyTable table = StationReplies();
  table.byCode[SET_MODE] = [](Context& ctx) {
    if (ctx.rx.RxCount < 2) return ReplyOutcome::Continue;
    ctx.Timer3.setEnabled(false);
    ctx.link.ModeRetryCount = 0;
    ctx.link.CurrentBaud = PortSpeed(ctx);
    if (ctx.link.StartBaud == 0) ctx.link.StartBaud = ctx.link.CurrentBaud;
    ctx.view.setText(Control::Master,
                     ctx.rx.RxBuffer[1] == 'M' ? ctx.texts.DirectText : ctx.texts.RemoteText);
    RequestSystemData(ctx, kFullIdentification);
    return ReplyOutcome::Continue;
  };
  table.byCode[READ_SYSDATA] = [](Context& ctx) {
    if (ctx.rx.RxBuffer[0] != kIdentificationLength || ctx.rx.RxBuffer[3] != 0)
      return ReplyOutcome::Continue;  // the watchdog asks again
    ctx.Timer2.setEnabled(false);
    ClosePort(ctx);
    return ReplyOutcome::EndEvent;
  };
  return table;
}

}  // namespace

void InterruptStations() {
  interruptRequested.store(true);
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
  comm_ = std::make_unique<TracingComm>(*serial_);
  comm_->onSent = [this](std::uint8_t code, const Bytes& frame) { Sent(code, frame); };
  for (auto& timer : timers_) timer = std::make_unique<QtTimer>();
  clock_ = std::make_unique<QtClock>();
  view_ = std::make_unique<CliView>(lang, job_.yes, SystemDecimalSeparator());
  view_->onBox = [this](const BoxRecord& box) { Box(box); };
  view_->onProgress = [this](std::int32_t value) { Progress(value); };
  identifyReplies_ = IdentifyReplies();
  probeReplies_.byCode[SET_MODE] = [this](Context& ctx) {
    if (ctx.rx.RxCount < 2) return ReplyOutcome::Continue;
    ctx.Timer3.setEnabled(false);
    ctx.link.ModeRetryCount = 0;
    stationAnswered_ = true;
    return ReplyOutcome::EndEvent;
  };
  replies_ = RecordingReplies();
  stage_ = &StationReplies();
  ctx_ = std::make_unique<Context>(Platform{.MSComm = comm_.get(),
                                            .Timer1 = timers_[0].get(),
                                            .Timer2 = timers_[1].get(),
                                            .Timer3 = timers_[2].get(),
                                            .TimerEfi = timers_[3].get(),
                                            .TimerKeyWait = timers_[4].get(),
                                            .clock = clock_.get(),
                                            .view = view_.get(),
                                            .replies = &replies_});
  Context& ctx = *ctx_;
  ctx.settings.InitLang = lang;
  ctx.settings.UpgradeFolder = job_.folder;
  try {
    SetUpEngine(ctx, {.comNumber = job_.comNumber, .baud = "4800", .open = true});
  } catch (const PlatformError& e) {
    Finish(e.description());
    return false;
  }
  ctx.link.MasterListIndex = job_.remote ? 1 : 0;
  ctx.view.setText(Control::Master, job_.remote ? ctx.texts.RemoteText : ctx.texts.DirectText);
  return true;
}

void StationRun::Start() {
  poll_ = new QTimer(this);
  connect(poll_, &QTimer::timeout, this, [this] { Poll(); });
  if (!MakePlatform()) return;
  startedAt_ = Now();
  SetPhase("contact");
  poll_->start(kPollMs);
  if (job_.command != Command::Update) {
    StartCommand();
    return;
  }
  // The window starts an update at the speed its settings remember, and its
  // start watchdog gives up before the speed search would try the other
  // one. Without settings to go by, the station's speed is found first.
  probing_ = true;
  stage_ = &probeReplies_;
  ctx_->run.OperationMode = 0;
  Master_Click(*ctx_);
}

void StationRun::StartCommand() {
  Context& ctx = *ctx_;
  probing_ = false;
  // The mode frame clears the list's text until a mode reply fills it, and
  // the start command will not run without it.
  ctx.view.setText(Control::Master, job_.remote ? ctx.texts.RemoteText : ctx.texts.DirectText);
  switch (job_.command) {
    case Command::Update:
      stage_ = &StationReplies();
      mnuCommandStartUpdate_Click(ctx);
      break;
    case Command::Time:
      stage_ = &StationReplies();
      mnuCommandSetTime_Click(ctx);
      break;
    default:
      stage_ = &identifyReplies_;
      ctx.run.OperationMode = 0;
      Master_Click(ctx);
      break;
  }
}

ReplyTable StationRun::RecordingReplies() {
  ReplyTable table;
  for (std::size_t code = 0; code < table.byCode.size(); ++code) {
    table.byCode[code] = [this, code](Context& ctx) {
      Before(static_cast<std::uint8_t>(code));
      const ReplyHandler& handler = stage_->byCode[code];
      const ReplyOutcome outcome = handler ? handler(ctx) : ReplyOutcome::Continue;
      After(static_cast<std::uint8_t>(code));
      return outcome;
    };
  }
  table.onTransferLineError = [this](Context& ctx) {
    if (stage_->onTransferLineError) stage_->onTransferLineError(ctx);
  };
  return table;
}

void StationRun::Before(std::uint8_t code) {
  const Context& ctx = *ctx_;
  awaitingReply_ = false;
  const auto& rx = ctx.rx.RxBuffer;
  Bytes reply{code};
  if (code != kNak)
    reply.insert(reply.end(), rx.begin(), rx.begin() + std::clamp<int>(ctx.rx.RxCount, 0, 257));
  sink_.Frame(job_.port, false, code, reply);
  if (code == GET_TIME) clockRead_ = true;
  if (code == SET_TIME) clockSet_ = true;
  if (code != READ_SYSDATA) return;
  if (ctx.timeSet.bVerifyAfterUpgrade && rx[0] >= 11) {
    result_.firmwareAfter = {static_cast<char>(rx[9]), static_cast<char>(rx[10]),
                             static_cast<char>(rx[11])};
    return;
  }
  if (result_.identified || rx[0] != kIdentificationLength || rx[3] != 0) return;
  NoteStation(ReadStationInfo(rx));
}

// The station as its first full identification describes it: what the
// record and the table show as "before".
void StationRun::NoteStation(const StationInfo& info) {
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

void StationRun::After(std::uint8_t code) {
  if (code != WRITE_BLOCK) return;
  const Context& ctx = *ctx_;
  const auto acknowledged = ctx.run.bAllDataAcknowledged
                                ? static_cast<std::int64_t>(ctx.image.UpgradeData.size())
                                : std::int64_t{ctx.run.TransferOffset};
  result_.bytes = std::max(result_.bytes, acknowledged);
  live_.bytes = std::max(live_.bytes, result_.bytes);
  sink_.Live(index_, live_);
  if (firstBlockAt_ >= 0) result_.seconds = Now() - firstBlockAt_;
}

void StationRun::Sent(std::uint8_t code, const Bytes& frame) {
  sink_.Frame(job_.port, true, code, frame);
  awaitingReply_ = true;
  sentAt_ = Now();
  switch (code) {
    case WRITE_BLOCK:
      if (firstBlockAt_ < 0) {
        firstBlockAt_ = Now();
        result_.file = ctx_->image.FoundFileName;
        result_.fileChecksum = StoredChecksum(result_.file);
        live_.total = static_cast<std::int64_t>(ctx_->image.UpgradeData.size());
      }
      SetPhase("transfer");
      break;
    case READ_SYSDATA:
      SetPhase(ctx_->timeSet.TimeReplyState > 0 ? "confirm" : "identify");
      break;
    case INIT_UPDATE:
      keySent_ = true;
      SetPhase("key");
      break;
    case SET_TIME:
    case GET_TIME:
      SetPhase("clock");
      break;
    default:
      break;
  }
}

void StationRun::Box(const BoxRecord& box) {
  const std::string line = Named(OneLine(box.prompt));
  result_.message = line;
  QJsonObject event = EventJson(box.question ? "question" : "message", job_.port);
  event.insert("text", QString::fromStdString(line));
  if (box.question) {
    const Question* q = FindQuestion(box.question);
    event.insert("id", box.question);
    event.insert("answer", box.answer);
    event.insert("default", q && box.answer == q->defaultAnswer);
  }
  Emit(event);
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

void StationRun::Poll() {
  if (done_) return;
  Context& ctx = *ctx_;
  if (restoreUntil_ >= 0) {
    if (PortSpeed(ctx) == ctx.link.StartBaud || Now() > restoreUntil_) Finish();
    return;
  }
  if (interruptRequested.load()) {
    Interrupt();
    return;
  }
  if (probing_ && stationAnswered_) {
    StartCommand();
    return;
  }
  const double limit = 120.0 + static_cast<double>(view_->progressMaximum()) / 200.0;
  if (Now() - startedAt_ > limit) {
    Finish(NamedText(job_.initLang, "cli.timedOut"));
    return;
  }
  // A frame out on an open port with its reply still to come is the run going
  // on, watchdog or none.
  bool idle = !(awaitingReply_ && ctx.MSComm.PortOpen() && Now() - sentAt_ < kReplySeconds);
  for (const auto& timer : timers_) idle = idle && !timer->Enabled();
  idlePolls_ = idle ? idlePolls_ + 1 : 0;
  if (idlePolls_ >= kIdlePolls) RestoreLink();
}

// No further block and no key; a station that has the key already is left to
// restart. Either way the next run starts from the beginning.
void StationRun::Interrupt() {
  interrupted_ = true;
  SetPhase("interrupted");
  StopUpdateRun(*ctx_);
  RestoreLink();
}

// As the window does when it closes: the station goes back to the speed it
// was found at.
void StationRun::RestoreLink() {
  Context& ctx = *ctx_;
  if (ctx.link.StartBaud == 0 || PortSpeed(ctx) == ctx.link.StartBaud) {
    Finish();
    return;
  }
  SetPhase("restore");
  ctx.window.bClosing = true;
  EnsurePortOpen(ctx);
  SelectMasterEntry(ctx, 0);
  restoreUntil_ = Now() + kRestoreSeconds;
}

bool StationRun::Completed() const {
  const Context& ctx = *ctx_;
  switch (job_.command) {
    case Command::Identify:
      return result_.identified;
    case Command::Time: {
      // Read and, where the clocks disagree, set when asked to.
      const bool asked = std::ranges::any_of(view_->boxes(),
                                             [](const BoxRecord& b) { return b.question == 1208; });
      return clockRead_ && (!asked || clockSet_);
    }
    default:
      break;
  }
  // Only the station's own word after its restart confirms the firmware; told
  // to leave the clock alone (--yes 1226), the run never asks for it.
  return ctx.view.text(Control::Caption).ends_with(" ok");
}

// The key went out and neither the station's refusal nor its firmware after
// the restart came back.
bool StationRun::KeyPending() const {
  const std::uint8_t verdict = ctx_->run.KeyResult;
  return keySent_ && result_.firmwareAfter.empty() && (verdict == 0 || verdict == '0');
}

std::string StationRun::Named(const std::string& text) const {
  return job_.mapFile.empty() ? text : NameByPath(text, job_.comNumber, job_.device);
}

void StationRun::Finish(const std::string& reason) {
  if (done_) return;
  done_ = true;
  const std::int32_t lang = job_.initLang;
  if (poll_) poll_->stop();
  if (ctx_) {
    Context& ctx = *ctx_;
    for (auto& timer : timers_) timer->setEnabled(false);
    ClosePort(ctx);
    result_.boxes = view_->boxes();
    const bool completed = reason.empty() && !interrupted_ && Completed();
    result_.outcome = Classify(completed, firstBlockAt_ >= 0, KeyPending(), result_.boxes);
  } else {
    result_.outcome = Outcome::Failed;
  }
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
  live_.ended = true;
  live_.phase = OutcomeName(result_.outcome);
  sink_.Live(index_, live_);
  Emit(ResultJson(result_));
  ctx_.reset();
  view_.reset();
  clock_.reset();
  for (auto& timer : timers_) timer.reset();
  comm_.reset();
  serial_.reset();
  std::error_code ignored;
  if (!job_.mapFile.empty()) std::filesystem::remove(job_.mapFile, ignored);
  emit finished();
}

}  // namespace qv::cli
