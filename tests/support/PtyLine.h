#pragma once
// A pseudo-terminal standing in for a serial line: a port map file names its
// slave side COM5, the test plays the far end on the master side.
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

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
    char folder[] = "/tmp/qv-serial-XXXXXX";
    if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0 || !::mkdtemp(folder))
      throw std::runtime_error("no pseudo-terminal or no temporary folder");
    slave = ::ptsname(master_);
    dir = folder;
    mapFile = (dir / "ports.conf").string();
    WriteMap("# test bench\nCOM5 = " + slave + "\n");
  }
  ~PtyLine() {
    CloseMaster();
    std::error_code ignored;
    std::filesystem::remove_all(dir, ignored);
  }

  void WriteMap(const std::string& text) const { std::ofstream(mapFile) << text; }
  // No real devices: only what the map file names.
  PortMap Map() const { return PortMap(mapFile, FileSystemPortSystem()); }

  // False when the master side did not take every byte.
  bool Write(const Bytes& bytes) const {
    return ::write(master_, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
  }

  // Reads from the master side until count bytes came or the line stayed
  // silent for the time given; the event loop does not run meanwhile.
  Bytes Read(std::size_t count, int silenceMs = 1000) const {
    Bytes got(count);
    std::size_t n = 0;
    for (pollfd p{master_, POLLIN, 0}; n<count&& ::poll(&p, 1, silenceMs)> 0;) {
      const ssize_t r = ::read(master_, got.data() + n, count - n);
      if (r <= 0) break;  // the slave side is closed
      n += static_cast<std::size_t>(r);
    }
    got.resize(n);
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

  std::string slave;
  std::filesystem::path dir;
  std::string mapFile;

 private:
  int master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
};

}  // namespace qv::test
