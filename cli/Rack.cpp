#include "cli/Rack.h"

#include <QCoreApplication>
#include <QThread>
#include <algorithm>
#include <filesystem>

#include "cli/Console.h"

namespace qv::cli {

namespace {

namespace fs = std::filesystem;

constexpr int kLookMs = 250;

}  // namespace

std::string ResolvedPath(const std::string& path) {
  std::error_code error;
  const fs::path resolved = fs::canonical(path, error);
  return error ? path : resolved.string();
}

std::vector<std::string> StationLinksIn(const std::string& folder) {
  std::vector<std::string> links;
  std::error_code error;
  const fs::path where = fs::absolute(folder, error);
  for (fs::directory_iterator it(where, error), end; !error && it != end; it.increment(error)) {
    std::error_code gone;
    if (fs::exists(it->path(), gone)) links.push_back(it->path().string());
  }
  std::ranges::sort(links);
  return links;
}

Rack::Rack(Console& console) : console_(console) {
  connect(&redraw_, &QTimer::timeout, this, [this] { console_.Redraw(); });
  connect(&look_, &QTimer::timeout, this, [this] { Look(); });
}

Rack::~Rack() {
  for (auto& station : stations_)
    if (station->thread) station->thread->wait();
}

Rack::Station& Rack::Take(const JobSpec& job) {
  auto station = std::make_unique<Station>();
  station->index = console_.AddStation(job.port);
  station->run = std::make_unique<StationRun>(station->index, job, console_);
  stations_.push_back(std::move(station));
  return *stations_.back();
}

void Rack::Add(const JobSpec& job) {
  if (!job.device.empty()) namedDevices_.insert(ResolvedPath(job.device));
  Take(job);
}

void Rack::Watch(const std::string& folder, WatchedJob watched) {
  folder_ = folder;
  watchedJob_ = std::move(watched);
}

void Rack::Launch(Station& station) {
  station.thread = std::make_unique<QThread>();
  station.run->moveToThread(station.thread.get());
  connect(station.thread.get(), &QThread::started, station.run.get(), &StationRun::Start);
  connect(station.run.get(), &StationRun::finished, station.thread.get(), &QThread::quit);
  Station* s = &station;
  connect(station.thread.get(), &QThread::finished, this, [this, s] { Ended(s); });
  station.started = true;
  ++live_;
  station.thread->start();
}

// A port's run has ended and its thread with it.
void Rack::Ended(Station* station) {
  station->thread->wait();
  station->results = station->run->results();
  // A watched port stays taken until its link goes: a station that stays
  // plugged in after its run (or whose port failed) is not started again.
  if (!station->link.empty()) console_.DropStation(station->index);
  // Objects of a thread that has ended may go from here.
  station->run.reset();
  station->thread.reset();
  --live_;
  QuitWhenDone();
}

void Rack::Look() {
  if (StationsInterrupted()) {
    look_.stop();
    QuitWhenDone();
    return;
  }
  const std::vector<std::string> links = StationLinksIn(folder_);
  for (const std::string& link : links) {
    if (watched_.contains(link) || namedDevices_.contains(ResolvedPath(link))) continue;
    Station& station = Take(watchedJob_(link));
    station.link = link;
    watched_[link] = &station;
    console_.Event(EventJson("added", link));
    Launch(station);
  }
  // Asked again on every look while the link is away: the run gives its port
  // up only between stations. Once its run has ended, a link that comes back
  // is a station plugged in anew.
  for (auto it = watched_.begin(); it != watched_.end();) {
    const auto& [link, station] = *it;
    if (std::ranges::binary_search(links, link)) {
      ++it;
    } else if (station->run) {
      QMetaObject::invokeMethod(station->run.get(), &StationRun::Retire, Qt::QueuedConnection);
      ++it;
    } else {
      it = watched_.erase(it);
    }
  }
}

void Rack::QuitWhenDone() {
  if (live_ == 0 && !look_.isActive()) QCoreApplication::quit();
}

std::vector<StationResult> Rack::Run() {
  redraw_.start(200);
  if (!folder_.empty()) {
    QJsonObject watching = EventJson("watching", "");
    watching.insert("folder", QString::fromStdString(folder_));
    console_.Event(watching);
    look_.start(kLookMs);
    Look();
  }
  for (auto& station : stations_)
    if (!station->started) Launch(*station);
  if (live_ > 0 || look_.isActive()) QCoreApplication::exec();
  redraw_.stop();
  std::vector<StationResult> results;
  for (const auto& station : stations_)
    results.insert(results.end(), station->results.begin(), station->results.end());
  return results;
}

}  // namespace qv::cli
