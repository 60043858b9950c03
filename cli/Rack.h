#pragma once
// The stations of one command, each run in a thread of its own: the ports
// named on the command line, and with a watch the stations plugged in while
// it goes. A watched port is taken on when its link appears and given up when
// the link has gone while no station is in hand; a link that goes away while
// its station restarts after the key keeps its run.
#include <QObject>
#include <QTimer>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "cli/StationRun.h"

class QThread;

namespace qv::cli {

class Console;

// The path with every link followed, or as given when it leads nowhere.
std::string ResolvedPath(const std::string& path);

// What is linked in `folder` now and leads somewhere, as absolute paths in
// name order; nothing for a folder that is not there (yet).
std::vector<std::string> StationLinksIn(const std::string& folder);

class Rack : public QObject {
  Q_OBJECT
 public:
  // `watched` is each watched port's job, made from its link's path.
  using WatchedJob = std::function<JobSpec(const std::string& link)>;

  explicit Rack(Console& console);
  ~Rack() override;

  // A port named on the command line; before Run.
  void Add(const JobSpec& job);
  // Looks at `folder` about four times a second from the start of Run until
  // Ctrl-C. A link that leads to a port named on the command line is left to
  // that port's run.
  void Watch(const std::string& folder, WatchedJob watched);

  // Every run until all have ended (with a watch: until Ctrl-C, then all
  // have ended); the results in the order the stations finished on each
  // port, the ports in the order they were taken on.
  std::vector<StationResult> Run();

 private:
  struct Station {
    std::unique_ptr<StationRun> run;
    std::unique_ptr<QThread> thread;
    std::string link;  // empty for a port named on the command line
    int index = 0;
    bool started = false;
    std::vector<StationResult> results;
  };

  Station& Take(const JobSpec& job);
  void Look();
  void Launch(Station& station);
  void Ended(Station* station);
  void QuitWhenDone();

  Console& console_;
  std::vector<std::unique_ptr<Station>> stations_;
  std::set<std::string> namedDevices_;       // the named ports, resolved
  std::map<std::string, Station*> watched_;  // link → its port, until the link goes
  std::string folder_;
  WatchedJob watchedJob_;
  QTimer look_;
  QTimer redraw_;
  int live_ = 0;  // runs not yet ended
};

}  // namespace qv::cli
