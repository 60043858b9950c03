// qvstation: a simulated station on a pseudo-terminal. The loader opens the
// printed (or linked) terminal like a serial port; the station reads the
// speed the loader sets there, answers at the line's pace and, at the end,
// reports what it received, per-block turnaround and throughput.
//
// A station on its own USB interface drops off the bus while it restarts
// after an update and comes back as a new device, often under another name.
// --restart-as plays that on the pseudo-terminal: the terminal closes and
// its link goes away for the restart, then a new terminal appears under the
// other name. A pseudo-terminal has no USB identity, so --by-id stands in
// for the system's /dev/serial/by-id link: one name that always leads to the
// station's present terminal, which is what the loader's port map recognises
// a USB device by when it has no serial number.
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <deque>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "sim/station/Station.h"
#include "sim/station/StationClock.h"
#include "sim/station/StationCodec.h"
#include "sim/station/StationImage.h"
#include "sim/station/UpgradeImage.h"

namespace {

using namespace qv;
using namespace qv::sim;

volatile std::sig_atomic_t gStop = 0;

void OnSignal(int) {
  gStop = 1;
}

constexpr const char* kHelp = R"(usage: qvstation [options]

Serves a simulated station on a pseudo-terminal and prints its path.

Output:
  --link PATH                 also make PATH a symbolic link to the terminal
  --restart-as PATH           restart like a USB station: the terminal and its link go away
                              while restarting, then a new terminal comes back linked as
                              PATH (the next restart goes back to the --link name)
  --by-id PATH                a link to the present terminal, away while restarting
  --transcript FILE           protocol trace, "-" for standard output
  --report FILE               end report (default: standard output)
  --dump-image FILE           write the image the station holds at the end
  --idle-exit SECONDS         end after this long without a byte from the loader
  --strict                    report every breach of the transfer's rules (block sizes after
                              a fault, resumes at a page start, the key after every byte) on
                              standard error at once and end with status 3 if there was one
Identity and state:
  --serial N  --hardware 0xHHHH  --boot 0xHHHH  --firmware NNN
  --production-date YYYY-MM-DD  --battery RAW | --volts V  --code-number N
  --usb | --interface-bits 0xNN   --baud 4800|38400   --mode M|S
  --clock-offset-ms MS        station clock minus PC clock
What a correct transfer gives:
  --expect FILE.pupd          image of this upgrade file, key from the key file beside it
  --expect-key TEXT           the key (overrides the key file)
  --new-firmware NNN          firmware after the update when the image has no header
Timing (milliseconds):
  --reply-delay-ms T  --block-ms T  --init-ms T  --restart-ms T
Faults:
  --nak-block ROW[:TIMES]     NAK blocks in 128-byte row ROW (0 = first) TIMES times
  --nak-probability P  --seed N
  --silent CODE[:N]           no reply the N-th time (0: always) CODE is answered
  --bad-checksum CODE[:N]     corrupt that reply's checksum
  --cut-short CODE[:N]        send only the first half of that reply
  --nak CODE[:N]              take that command frame as damaged: NAK it, do nothing
  --wrong-address N           the N-th block acknowledgement names another address
  --silent-after-block N      answer nothing after the N-th accepted block
  --disappear-after-block N   close the line after the N-th accepted block
  --swap-serial SERIAL[:N]    from the N-th identification (default 2) report SERIAL
  --restart-firmware NNN      restart with this firmware whatever the image holds
  --max-baud 4800             refuse 38400: the baud reply says the station stays at 4800
CODE is a reply code such as 0x70, 0x7E, 0x80, 0x83, 0x8F, 0xF6, 0xF7.
)";

struct FrontOptions {
  std::string link;
  std::string restartAs;
  std::string byId;
  std::string transcript;
  std::string report;
  std::string dumpImage;
  double idleExitSeconds = 0;
  bool strict = false;
};

class SystemClock : public Clock {
 public:
  LocalDateTime now() const override {
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    tm local{};
    localtime_r(&ts.tv_sec, &local);
    LocalDateTime t;
    t.year = local.tm_year + 1900;
    t.month = local.tm_mon + 1;
    t.day = local.tm_mday;
    t.hour = local.tm_hour;
    t.minute = local.tm_min;
    t.second = local.tm_sec;
    t.millisecond = static_cast<int>(ts.tv_nsec / 1'000'000);
    t.dayOfWeek = local.tm_wday;
    return t;
  }
  std::int64_t monotonicMs() const override {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<std::int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1'000'000;
  }
  void sleep(int milliseconds) override { usleep(static_cast<useconds_t>(milliseconds) * 1000); }
  void processEvents() override {}
};

// Removes `path` only when it is a symbolic link: an operator's mistyped
// --link must never cost a real file.
bool RemoveLink(const std::string& path) {
  struct stat info {};
  if (lstat(path.c_str(), &info) != 0) return errno == ENOENT;
  if (!S_ISLNK(info.st_mode)) return false;
  return unlink(path.c_str()) == 0;
}

TimeUs MonotonicUs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<TimeUs>(ts.tv_sec) * 1'000'000 + ts.tv_nsec / 1000;
}

std::uint32_t BaudOf(speed_t speed) {
  static const std::map<speed_t, std::uint32_t> kSpeeds = {
      {B1200, 1200},   {B2400, 2400},   {B4800, 4800},   {B9600, 9600},
      {B19200, 19200}, {B38400, 38400}, {B57600, 57600}, {B115200, 115200}};
  const auto it = kSpeeds.find(speed);
  return it == kSpeeds.end() ? 0 : it->second;
}

unsigned long Number(const std::string& text) {
  std::size_t used = 0;
  const unsigned long value = std::stoul(text, &used, 0);
  if (used != text.size()) throw std::invalid_argument(text);
  return value;
}

// A decimal number within [low, high]; converting anything else (NaN, a
// negative time, a value beyond the target type) would be undefined.
double Real(const std::string& text, double low, double high) {
  std::size_t used = 0;
  const double value = std::stod(text, &used);
  if (used != text.size() || !(value >= low && value <= high)) throw std::invalid_argument(text);
  return value;
}

TimeUs Milliseconds(const std::string& text) {
  return static_cast<TimeUs>(Real(text, 0.0, 86'400'000.0) * 1000.0);
}

std::pair<unsigned long, int> NumberAndCount(const std::string& text, int defaultCount) {
  const std::size_t colon = text.find(':');
  if (colon == std::string::npos) return {Number(text), defaultCount};
  return {Number(text.substr(0, colon)), static_cast<int>(Number(text.substr(colon + 1)))};
}

void SetDate(StationIdentity& identity, const std::string& text) {
  int y = 0, m = 0, d = 0;
  if (std::sscanf(text.c_str(), "%d-%d-%d", &y, &m, &d) != 3 || y < 1930 || y > 2029) {
    throw std::invalid_argument("production date " + text);
  }
  identity.productionYear = y;
  identity.productionMonth = m;
  identity.productionDay = d;
}

void ExpectFile(StationOptions& options, const std::string& path) {
  const auto file = ReadWholeFile(path);
  if (!file) throw std::runtime_error("cannot read " + path);
  const auto parts = SplitUpgradeFile(*file);
  if (!parts) throw std::runtime_error(path + " is shorter than its trailer");
  options.expectedImage = parts->image;
  if (!options.newFirmware) options.newFirmware = FirmwareFromFileName(path);
  if (options.expectedKey) return;
  if (const auto key = ReadWholeFile(KeyFilePath(path))) options.expectedKey = TextOf(*key);
}

void ApplyOption(const std::string& name, const std::string& value, StationOptions& o,
                 FrontOptions& f) {
  StationIdentity& id = o.identity;
  const auto fault = [&](ReplyFaultKind kind) {
    const auto [code, occurrence] = NumberAndCount(value, 1);
    o.faults.replyFaults.push_back({kind, static_cast<std::uint8_t>(code), occurrence});
  };
  if (name == "--link")
    f.link = value;
  else if (name == "--restart-as")
    f.restartAs = value;
  else if (name == "--by-id")
    f.byId = value;
  else if (name == "--transcript")
    f.transcript = value;
  else if (name == "--report")
    f.report = value;
  else if (name == "--dump-image")
    f.dumpImage = value;
  else if (name == "--idle-exit")
    f.idleExitSeconds = Real(value, 0.0, 86'400.0 * 365);
  else if (name == "--serial")
    id.serial = static_cast<std::uint32_t>(Number(value));
  else if (name == "--hardware")
    id.hardware = static_cast<std::uint16_t>(Number(value));
  else if (name == "--boot") {
    id.boot = static_cast<std::uint16_t>(Number(value));
    if ((id.boot >> 8) > 0xCF || (id.boot & 0xFF) > 0xCF)
      throw std::invalid_argument("boot bytes above 0xCF");
  } else if (name == "--firmware")
    id.firmware = value;
  else if (name == "--production-date")
    SetDate(id, value);
  else if (name == "--battery")
    id.battery = static_cast<std::uint16_t>(Number(value));
  else if (name == "--volts")
    id.battery = static_cast<std::uint16_t>(Real(value, 0.0, 65535 / 13100.0) * 13100.0 + 0.5);
  else if (name == "--code-number")
    id.codeNumber = static_cast<std::uint16_t>(Number(value) & 0x3FF);
  else if (name == "--interface-bits")
    id.interfaceBits = static_cast<std::uint8_t>(Number(value));
  else if (name == "--baud")
    o.baud = static_cast<std::uint32_t>(Number(value));
  else if (name == "--mode")
    o.mode = value.empty() ? 0 : value[0];
  else if (name == "--clock-offset-ms")
    o.clockOffsetMs = std::stoll(value);
  else if (name == "--expect")
    ExpectFile(o, value);
  else if (name == "--expect-key")
    o.expectedKey = value;
  else if (name == "--new-firmware")
    o.newFirmware = value;
  else if (name == "--reply-delay-ms")
    o.timing.replyDelayUs = Milliseconds(value);
  else if (name == "--block-ms")
    o.timing.blockProgramUs = Milliseconds(value);
  else if (name == "--init-ms")
    o.timing.initUpdateUs = Milliseconds(value);
  else if (name == "--restart-ms")
    o.timing.restartUs = Milliseconds(value);
  else if (name == "--nak-block") {
    const auto [row, times] = NumberAndCount(value, 1);
    o.faults.nakBlocks.push_back({row, times});
  } else if (name == "--nak-probability")
    o.faults.nakProbability = std::stod(value);
  else if (name == "--seed")
    o.faults.seed = static_cast<std::uint32_t>(Number(value));
  else if (name == "--silent")
    fault(ReplyFaultKind::Silent);
  else if (name == "--bad-checksum")
    fault(ReplyFaultKind::CorruptChecksum);
  else if (name == "--cut-short")
    fault(ReplyFaultKind::CutShort);
  else if (name == "--nak")
    fault(ReplyFaultKind::Nak);
  else if (name == "--wrong-address") {
    o.faults.replyFaults.push_back(
        {ReplyFaultKind::WrongAddress, wire::WRITE_BLOCK, static_cast<int>(Number(value))});
  } else if (name == "--silent-after-block")
    o.faults.silentAfterBlock = static_cast<int>(Number(value));
  else if (name == "--disappear-after-block")
    o.faults.disappearAfterBlock = static_cast<int>(Number(value));
  else if (name == "--restart-firmware")
    o.faults.firmwareAfterRestart = value;
  else if (name == "--max-baud")
    o.faults.maxBaud = static_cast<std::uint32_t>(Number(value));
  else if (name == "--swap-serial") {
    const auto [serial, from] = NumberAndCount(value, 2);
    o.faults.swappedSerial = static_cast<std::uint32_t>(serial);
    o.faults.swapFrom = from;
  } else
    throw std::invalid_argument("unknown option " + name);
}

bool ParseArguments(int argc, char** argv, StationOptions& options, FrontOptions& front) {
  for (int i = 1; i < argc; ++i) {
    const std::string name = argv[i];
    if (name == "--help" || name == "-h") {
      std::cout << kHelp;
      return false;
    }
    if (name == "--usb") {
      options.identity.interfaceBits = 0x30;
      continue;
    }
    if (name == "--strict") {
      front.strict = true;
      continue;
    }
    if (i + 1 >= argc) throw std::invalid_argument(name + " needs a value");
    ApplyOption(name, argv[++i], options, front);
  }
  return true;
}

// The station's side of the line: pending output bytes, each due when it has
// fully left at the station's speed.
struct PendingByte {
  TimeUs dueUs;
  std::uint32_t baud;
  std::uint8_t byte;
};

class Server {
 public:
  Server(Station& station, const FrontOptions& front)
      : station_(station), front_(front), link_(front.link), otherLink_(front.restartAs) {}

  bool open() {
    if (!plugIn()) return false;
    if (front_.transcript == "-") {
      transcript_ = &std::cout;
    } else if (!front_.transcript.empty()) {
      transcriptFile_.open(front_.transcript);
      transcript_ = &transcriptFile_;
    }
    return true;
  }

  void run() {
    t0_ = MonotonicUs();
    TimeUs lastInput = 0;
    while (!gStop && (master_ >= 0 || away_)) {
      const TimeUs now = MonotonicUs() - t0_;
      station_.advanceTo(now);
      queue(station_.takeTransmissions());
      if (!away_) flushDue(now);
      writeLog();
      if (station_.gone() && pending_.empty()) return closeLine();
      if (!front_.restartAs.empty() && !away_ && station_.restarting() && pending_.empty()) {
        unplug();
        continue;
      }
      if (away_ && !station_.restarting() && !plugIn()) return;
      if (front_.idleExitSeconds > 0 &&
          now - lastInput > static_cast<TimeUs>(front_.idleExitSeconds * 1e6))
        return;
      if (away_) {
        usleep(static_cast<useconds_t>(waitFor(now)));
        lastInput = now;  // a station away has nothing to hear
        continue;
      }
      if (readInput(waitFor(now))) lastInput = MonotonicUs() - t0_;
    }
  }

  void finish() {
    station_.advanceTo(MonotonicUs() - t0_);
    writeLog();
    if (master_ >= 0) closeLine();
    removeLinks();
  }

 private:
  // A new terminal, linked under the present name.
  bool plugIn() {
    char name[256] = {};
    if (openpty(&master_, &slave_, name, nullptr, nullptr) != 0) {
      std::cerr << "qvstation: cannot open a pseudo-terminal: " << std::strerror(errno) << "\n";
      return false;
    }
    termios raw{};
    tcgetattr(slave_, &raw);
    cfmakeraw(&raw);
    cfsetispeed(&raw, B4800);
    cfsetospeed(&raw, B4800);
    tcsetattr(slave_, TCSANOW, &raw);
    path_ = name;
    away_ = false;
    for (const std::string& link : {link_, front_.byId}) {
      if (link.empty()) continue;
      if (!RemoveLink(link) || symlink(path_.c_str(), link.c_str()) != 0) {
        std::cerr << "qvstation: cannot make " << link << " a link to " << path_
                  << " (an existing file that is no link stays)\n";
        return false;
      }
    }
    std::cout << "qvstation: serving " << path_ << (link_.empty() ? "" : " as " + link_)
              << std::endl;
    return true;
  }

  // The station restarts: its terminal and links go away, and it comes back
  // under the other name.
  void unplug() {
    closeLine();
    removeLinks();
    std::swap(link_, otherLink_);
    away_ = true;
    std::cout << "qvstation: restarting, away until it comes back as " << link_ << std::endl;
  }

  void removeLinks() {
    for (const std::string& link : {link_, front_.byId}) {
      if (!link.empty()) RemoveLink(link);
    }
  }

  std::uint32_t lineBaud() const {
    termios settings{};
    if (tcgetattr(master_, &settings) != 0) return 0;
    return BaudOf(cfgetospeed(&settings));
  }

  void queue(const std::vector<Transmission>& transmissions) {
    for (const Transmission& t : transmissions) {
      const TimeUs byteTime = ByteTimeUs(t.baud);
      for (std::size_t i = 0; i < t.bytes.size(); ++i) {
        pending_.push_back({t.startUs + byteTime * static_cast<TimeUs>(i + 1), t.baud, t.bytes[i]});
      }
    }
  }

  void flushDue(TimeUs now) {
    Bytes chunk;
    const std::uint32_t baud = lineBaud();
    std::size_t lost = 0;
    while (!pending_.empty() && pending_.front().dueUs <= now) {
      // A loader listening at another speed receives nothing it can read.
      if (pending_.front().baud == baud)
        chunk.push_back(pending_.front().byte);
      else
        ++lost;
      pending_.pop_front();
    }
    if (lost > 0) noteUnreadable(now, lost, baud);
    if (!chunk.empty() && write(master_, chunk.data(), chunk.size()) < 0) closeLine();
  }

  void noteUnreadable(TimeUs now, std::size_t count, std::uint32_t baud) {
    if (!transcript_) return;
    LogEntry entry{now,
                   LogKind::Event,
                   {},
                   std::to_string(count) + " bytes not readable: the loader listens at " +
                       std::to_string(baud) + " baud"};
    *transcript_ << FormatLogEntry(entry) << std::endl;
  }

  // Until the next output byte is due, at most 20 ms.
  TimeUs waitFor(TimeUs now) const {
    if (pending_.empty()) return 20'000;
    return std::clamp<TimeUs>(pending_.front().dueUs - now, 0, 20'000);
  }

  bool readInput(TimeUs timeoutUs) {
    pollfd fd{master_, POLLIN, 0};
    const timespec timeout{static_cast<time_t>(timeoutUs / 1'000'000),
                           static_cast<long>(timeoutUs % 1'000'000) * 1000};
    if (ppoll(&fd, 1, &timeout, nullptr) <= 0 || !(fd.revents & POLLIN)) return false;
    std::uint8_t buffer[512];
    const ssize_t count = read(master_, buffer, sizeof buffer);
    if (count <= 0) return false;
    const TimeUs now = MonotonicUs() - t0_;
    station_.receive(now, Bytes(buffer, buffer + count), lineBaud());
    return true;
  }

  void writeLog() {
    const auto& log = station_.log();
    if (transcript_) {
      for (; logged_ < log.size(); ++logged_) *transcript_ << FormatLogEntry(log[logged_]) << '\n';
      transcript_->flush();
    }
    logged_ = log.size();
    if (!front_.strict) return;
    const auto& breaches = station_.breaches();
    for (; breachesShown_ < breaches.size(); ++breachesShown_)
      std::cerr << "qvstation: breach: " << breaches[breachesShown_] << std::endl;
  }

  void closeLine() {
    close(master_);
    close(slave_);
    master_ = slave_ = -1;
    if (!link_.empty()) RemoveLink(link_);
  }

  Station& station_;
  const FrontOptions& front_;
  std::string link_;       // the name the terminal has now
  std::string otherLink_;  // the name it comes back under after a restart
  bool away_ = false;      // restarting, no terminal
  int master_ = -1;
  int slave_ = -1;
  std::string path_;
  TimeUs t0_ = 0;
  std::deque<PendingByte> pending_;
  std::size_t logged_ = 0;
  std::size_t breachesShown_ = 0;
  std::ofstream transcriptFile_;
  std::ostream* transcript_ = nullptr;
};

std::string Report(const Station& station, const StationOptions& options) {
  std::ostringstream out;
  out << "station: firmware " << station.firmware() << ", " << station.baud() << " baud, mode "
      << (station.mode() ? std::string(1, station.mode()) : std::string("none")) << "\n";
  out << "image: " << station.image().size() << " bytes, checksum "
      << HexWord(StationChecksum(station.image()));
  if (options.expectedImage) {
    out << ", matches expected: " << (station.image() == *options.expectedImage ? "yes" : "no");
  }
  out << "\n" << FormatSummary(station.summary());
  for (const std::string& breach : station.breaches()) out << "breach: " << breach << "\n";
  return out.str();
}

}  // namespace

int main(int argc, char** argv) {
  StationOptions options;
  FrontOptions front;
  try {
    if (!ParseArguments(argc, argv, options, front)) return 0;
  } catch (const std::exception& e) {
    std::cerr << "qvstation: " << e.what() << " (see --help)\n";
    return 2;
  }
  std::signal(SIGINT, OnSignal);
  std::signal(SIGTERM, OnSignal);
  std::signal(SIGPIPE, SIG_IGN);

  const StationOptions kept = options;
  SystemClock clock;
  Station station(std::move(options), clock);
  Server server(station, front);
  if (!server.open()) return 1;
  server.run();
  server.finish();

  const std::string report = Report(station, kept);
  if (front.report.empty()) {
    std::cout << report;
  } else {
    std::ofstream(front.report) << report;
  }
  if (!front.dumpImage.empty() && !WriteWholeFile(front.dumpImage, station.image())) {
    std::cerr << "qvstation: cannot write " << front.dumpImage << "\n";
    return 1;
  }
  if (front.strict && !station.breaches().empty()) {
    std::cerr << "qvstation: the loader broke the transfer's rules " << station.breaches().size()
              << " time(s)\n";
    return 3;
  }
  return 0;
}
