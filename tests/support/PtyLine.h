#pragma once
// A pseudo-terminal standing in for a serial line: a port map file names its
// slave side COM5, the test plays the far end on the master side.
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

#include "core/Bytes.h"
#include "serial/PortMap.h"

namespace qv::test {

class PtyLine {
 public:
  PtyLine() {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) {
      throw std::runtime_error("no pseudo-terminal");
    }
    slave_ = ::ptsname(master_);
    char dir[] = "/tmp/qv-serial-XXXXXX";
    if (::mkdtemp(dir) == nullptr) throw std::runtime_error("no temporary folder");
    dir_ = dir;
    mapFile_ = (dir_ / "ports.conf").string();
    WriteMap("# test bench\nCOM5 = " + slave_ + "\n");
  }
  ~PtyLine() {
    CloseMaster();
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }
  PtyLine(const PtyLine&) = delete;
  PtyLine& operator=(const PtyLine&) = delete;

  void WriteMap(const std::string& text) const { std::ofstream(mapFile_) << text; }
  // No real devices: only what the map file names.
  PortMap Map() const { return PortMap(mapFile_, FileSystemPortSystem()); }

  // False when the master side did not take every byte.
  bool Write(const Bytes& bytes) const {
    return ::write(master_, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
  }

  // Reads from the master side until count bytes came or the time is up;
  // the event loop does not run meanwhile.
  Bytes Read(std::size_t count, int timeoutMs = 1000) const {
    Bytes got;
    QElapsedTimer elapsed;
    elapsed.start();
    while (got.size() < count && elapsed.elapsed() < timeoutMs) {
      pollfd p{master_, POLLIN, 0};
      std::uint8_t buffer[512];
      const ssize_t n = ::poll(&p, 1, 20) > 0 ? ::read(master_, buffer, sizeof buffer) : 0;
      if (n > 0) got.insert(got.end(), buffer, buffer + n);
    }
    return got;
  }

  termios SlaveTermios() const {
    termios tio{};
    ::tcgetattr(master_, &tio);  // a pty master reports its slave's settings
    return tio;
  }

  // What unplugging the adapter looks like from the slave side.
  void CloseMaster() {
    if (master_ >= 0) ::close(master_);
    master_ = -1;
  }

  const std::string& slave() const { return slave_; }
  const std::filesystem::path& dir() const { return dir_; }
  const std::string& mapFile() const { return mapFile_; }

 private:
  int master_ = -1;
  std::string slave_;
  std::filesystem::path dir_;
  std::string mapFile_;
};

}  // namespace qv::test
