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
#include "serial/PortMap.h"

namespace qv {
struct StationInfo;
class QtSerialComm;
class QtTimer;
class QtClock;
}  // namespace qv

namespace qv::cli {

class CliView;
class TracingComm;

struct JobSpec {
  Command command = Command::Identify;
  std::string port;    // as the operator gave it
  std::string device;  // the device path behind it
  int comNumber = 1;   // the number the engine knows it by for this run
  std::string folder;
  bool remote = false;
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

class Sink {
 public:
  virtual ~Sink() = default;
  virtual void Event(const QJsonObject& event) = 0;
  virtual void Live(int index, const LiveStatus& status) = 0;
  virtual void Frame(const std::string& port, bool out, std::uint8_t code, const Bytes& bytes) = 0;
};

class StationRun : public QObject {
  Q_OBJECT
 public:
  StationRun(int index, JobSpec job, Sink& sink);
  ~StationRun() override;

  // Valid once finished() was emitted.
  const StationResult& result() const { return result_; }

  // Starts the run; call it in the run's thread.
  void Start();

 signals:
  void finished();

 private:
  PortMap MapOfPort() const;
  bool MakePlatform();
  ReplyTable RecordingReplies();
  void StartCommand();
  void Before(std::uint8_t code);
  void NoteStation(const StationInfo& info);
  void After(std::uint8_t code);
  void Sent(std::uint8_t code, const Bytes& frame);
  void Box(const BoxRecord& box);
  void Progress(std::int32_t value);
  void ReportProgress();
  void Emit(const QJsonObject& event);
  void SetPhase(const std::string& phase);
  void Poll();
  void Interrupt();
  void RestoreLink();
  void Finish(const std::string& failure = {});
  bool Completed() const;
  bool KeyPending() const;
  std::string Named(const std::string& text) const;
  double Now() const;

  int index_;
  JobSpec job_;
  Sink& sink_;
  StationResult result_;
  LiveStatus live_;

  std::unique_ptr<QtSerialComm> serial_;
  std::unique_ptr<TracingComm> comm_;
  std::unique_ptr<QtTimer> timers_[5];
  std::unique_ptr<QtClock> clock_;
  std::unique_ptr<CliView> view_;
  // The context's table records each reply, then hands it to the handlers
  // of the present stage: the speed probe, or the command's own.
  ReplyTable replies_;
  ReplyTable probeReplies_;
  ReplyTable identifyReplies_;
  const ReplyTable* stage_ = nullptr;
  std::unique_ptr<Context> ctx_;
  QTimer* poll_ = nullptr;

  int idlePolls_ = 0;
  double startedAt_ = 0;
  double firstBlockAt_ = -1;
  double restoreUntil_ = -1;
  double progressReportedAt_ = -1;
  bool progressPending_ = false;
  bool clockRead_ = false;
  bool clockSet_ = false;
  bool probing_ = false;
  bool stationAnswered_ = false;
  bool done_ = false;
  bool interrupted_ = false;
  bool keySent_ = false;
  bool awaitingReply_ = false;
  double sentAt_ = 0;
};

}  // namespace qv::cli
