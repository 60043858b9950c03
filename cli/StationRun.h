#pragma once
// One station's run of a command, in a thread of its own: its own context,
// port, timers and clock, all made in that thread so their events stay
// there, and the engine's procedures exactly as the window calls them.
#include <QJsonObject>
#include <QObject>
#include <QTimer>
#include <cstdint>
#include <memory>
#include <set>
#include <string>

#include "cli/Options.h"
#include "cli/Report.h"
#include "core/Context.h"
#include "core/RunEvents.h"
#include "serial/PortMap.h"

namespace qv {
class QtSerialComm;
class QtTimer;
class QtClock;
}  // namespace qv

namespace qv {
class Series;
}  // namespace qv

namespace qv::cli {

class CliView;

struct JobSpec {
  Command command = Command::Identify;
  std::string port;    // as the operator gave it
  std::string device;  // the device path behind it
  int comNumber = 1;   // the number the engine knows it by for this run
  std::string folder;
  bool remote = false;
  bool series = false;
  std::set<int> yes;
  std::int32_t initLang = 1000;
  std::string mapFile;  // a device path's own port map; empty for a COM number
};

// Where the runs report; called from their threads.
// Asks every station's run to end early: a transfer stops where it is, the
// link is put back as found and the result says what became of the station
// (before the key: a new run is needed; after it: unconfirmed).
// Safe to call from a signal handler.
void InterruptStations();
bool StationsInterrupted();

class Sink {
 public:
  virtual ~Sink() = default;
  virtual void Event(const QJsonObject& event) = 0;
  virtual void Live(int index, const LiveStatus& status) = 0;
  virtual void Frame(const std::string& port, bool out, std::uint8_t code, const Bytes& bytes) = 0;
  // A station's run is over: its result, as it will stand.
  virtual void StationDone(const StationResult& result) = 0;
};

// The run reports from the engine's run events alone: what it says of the
// station, its blocks, its boxes and its end.
class StationRun : public QObject, private RunEvents {
  Q_OBJECT
 public:
  StationRun(int index, JobSpec job, Sink& sink);
  ~StationRun() override;

  // Valid once finished() was emitted: the port's station, or in a series
  // each station that finished on it, in order.
  const std::vector<StationResult>& results() const { return results_; }

  // Starts the run; call it in the run's thread.
  void Start();
  // The port's link has gone (a watched station unplugged): between
  // stations the port is given up without a word to it; a station in hand is
  // left to its run, which goes on through a restart or ends by itself.
  // Call it in the run's thread.
  void Retire();

 signals:
  void finished();

 private:
  // What the engine is running for this station: the identification that
  // finds the station's speed before an update, the command itself, or a
  // series of stations; then the station put back at the speed it was found
  // at.
  enum class Stage { Probe, Command, Series, Restore };

  // RunEvents
  void RunBegun(RunKind kind) override;
  void PhaseEntered(RunPhase phase) override;
  void StationIdentified(const StationInfo& info) override;
  void StationAnswered(double serial) override;
  void FirmwareReported(const std::string& firmware) override;
  void BlockAcknowledged(std::int64_t bytes, std::int64_t total) override;
  void BoxShown(const BoxEvent& box) override;
  void FrameSent(const Bytes& frame) override;
  void ReplyReceived(std::uint8_t code, const Bytes& data) override;
  void RunEnded(RunOutcome outcome, int messageId) override;
  void RunStalled() override;

  PortMap MapOfPort() const;
  bool MakePlatform();
  void Begin(Stage stage, void (*command)(Context&));
  void StartCommand();
  void Restore();
  void Progress(std::int32_t value);
  void ReportProgress();
  void Emit(const QJsonObject& event);
  void SetPhase(const std::string& phase);
  void Watch();
  void Interrupt();
  void CloseResult(const std::string& reason);
  void Finish(const std::string& failure = {});
  std::string Named(const std::string& text) const;
  double Now() const;

  int index_;
  JobSpec job_;
  Sink& sink_;
  StationResult result_;
  std::vector<StationResult> results_;
  LiveStatus live_;
  std::size_t boxesFrom_ = 0;  // the station in hand's first box
  bool stationInHand_ = false;

  std::unique_ptr<QtSerialComm> serial_;
  std::unique_ptr<QtTimer> timers_[5];
  std::unique_ptr<QtClock> clock_;
  std::unique_ptr<CliView> view_;
  std::unique_ptr<QtTimer> seriesTimer_;
  std::unique_ptr<Series> series_;
  std::unique_ptr<Context> ctx_;
  QTimer* watch_ = nullptr;
  // Started when the engine reports a stall; any later word from it stops it.
  QTimer* stall_ = nullptr;

  Stage stage_ = Stage::Probe;
  bool runBegun_ = false;
  bool runEnded_ = false;
  RunOutcome outcome_ = RunOutcome::Failed;
  int messageId_ = 0;  // the box the engine named with that outcome
  double startedAt_ = 0;
  double firstBlockAt_ = -1;
  double restoreUntil_ = -1;
  double restoreWhenIdleUntil_ = -1;  // interrupted between stations: the poll ends first
  double progressReportedAt_ = -1;
  bool progressPending_ = false;
  bool done_ = false;
  bool interrupted_ = false;
};

}  // namespace qv::cli
