#pragma once
// A pseudo-terminal for tests of the real serial port: the port map file
// names its slave side COM5, the test plays the far end on the master side.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>

#include "app/NamedTexts.h"
#include "core/Errors.h"
#include "serial/PortMap.h"
#include "serial/qt/QtSerialComm.h"
#include "support/QtApp.h"

namespace qv::test {

// The error a call throws; number 0 when it throws none.
inline PlatformError Failure(const std::function<void()>& call) {
  try {
    call();
  } catch (const PlatformError& e) {
    return e;
  }
  return PlatformError(0, "");
}

class PtyPortTest : public ::testing::Test {
 protected:
  void SetUp() override {
    EnsureQtApp();
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_TRUE(master_ >= 0 && ::grantpt(master_) == 0 && ::unlockpt(master_) == 0);
    slave_ = ::ptsname(master_);
    char dir[] = "/tmp/qv-serial-XXXXXX";
    ASSERT_NE(::mkdtemp(dir), nullptr);
    dir_ = dir;
    mapFile_ = (dir_ / "ports.conf").string();
    WriteMap("# test bench\nCOM5 = " + slave_ + "\n");
  }

  void TearDown() override {
    comm_.reset();
    if (master_ >= 0) ::close(master_);
    std::filesystem::remove_all(dir_);
  }

  void WriteMap(const std::string& text) { std::ofstream(mapFile_) << text; }
  // No real devices: only what the map file names.
  PortMap Map() const { return PortMap(mapFile_, FileSystemPortSystem()); }

  // The port under test on the given number, opened unless settings is empty.
  QtSerialComm& Comm(int port = 5, const std::string& settings = "38400,n,8,1") {
    comm_.emplace(Map(), [](std::string_view name) { return NamedText(1000, name); });
    comm_->setCommPort(port);
    if (settings.empty()) return *comm_;
    comm_->setSettings(settings);
    comm_->setPortOpen(true);
    return *comm_;
  }

  void WriteMaster(const Bytes& bytes) {
    ASSERT_EQ(::write(master_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  }

  // Reads from the master side until count bytes came or the time is up;
  // the event loop does not run meanwhile.
  Bytes ReadMaster(std::size_t count) {
    Bytes got;
    QElapsedTimer elapsed;
    elapsed.start();
    while (got.size() < count && elapsed.elapsed() < 1000) {
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

  int master_ = -1;
  std::string slave_;
  std::filesystem::path dir_;
  std::string mapFile_;
  std::optional<QtSerialComm> comm_;
};

}  // namespace qv::test
