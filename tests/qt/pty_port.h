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
#include <string>

#include "protocol/stdFunc.h"
#include "qt_app.h"
#include "serial/PortMap.h"

namespace qv::test {

class PtyPortTest : public ::testing::Test {
 protected:
  void SetUp() override {
    EnsureQtApp();
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(master_, 0);
    ASSERT_EQ(::grantpt(master_), 0);
    ASSERT_EQ(::unlockpt(master_), 0);
    slave_ = ::ptsname(master_);
    dir_ = std::filesystem::temp_directory_path() /
           ("qv-serial-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir_);
    mapFile_ = (dir_ / "ports.conf").string();
    WriteMap("# test bench\nCOM5 = " + slave_ + "\n");
  }

  void TearDown() override {
    if (master_ >= 0) ::close(master_);
    std::filesystem::remove_all(dir_);
  }

  void WriteMap(const std::string& text) { std::ofstream(mapFile_) << text; }

  // No real devices: only what the map file names.
  PortMap Map() const { return PortMap(mapFile_, FileSystemPortSystem()); }

  void WriteMaster(const Bytes& bytes) {
    ASSERT_EQ(::write(master_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  }

  // Reads from the master side until count bytes came or the time is up;
  // the event loop does not run meanwhile.
  Bytes ReadMaster(std::size_t count, int timeoutMs = 1000) {
    Bytes got;
    QElapsedTimer elapsed;
    elapsed.start();
    while (got.size() < count && elapsed.elapsed() < timeoutMs) {
      pollfd p{master_, POLLIN, 0};
      if (::poll(&p, 1, 20) <= 0) continue;
      std::uint8_t buffer[512];
      const ssize_t n = ::read(master_, buffer, sizeof buffer);
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
};

}  // namespace qv::test
