#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include "pty_port.h"

namespace qv {
namespace {

using test::Failure;
using test::PtyPortTest;
using test::RunEventsFor;
using test::RunEventsUntil;
using ::testing::HasSubstr;
using ::testing::StartsWith;

// A pseudo-terminal keeps speed, stop bits and handshaking but insists on
// 8 data bits without parity, which shows how a refused setting is handled.
TEST_F(PtyPortTest, SettingsAndHandshakingReachTheLineOrAreRefused) {
  QtSerialComm& comm = Comm(5, "");
  comm.setSettings("4800,o,7,1");
  const PlatformError e = Failure([&] { comm.setPortOpen(true); });
  EXPECT_EQ(e.number(), kErrPortFailed);
  EXPECT_THAT(e.description(), HasSubstr("4800,o,7,1"));
  EXPECT_FALSE(comm.PortOpen());

  comm.setSettings("4800,n,8,2");
  comm.setPortOpen(true);
  termios tio = SlaveTermios();
  EXPECT_EQ(cfgetospeed(&tio), static_cast<speed_t>(B4800));
  EXPECT_TRUE(tio.c_cflag & CSTOPB);
  comm.setSettings("38400,n,8,1");
  EXPECT_EQ(Failure([&] { comm.setSettings("9600,e,7,1"); }).number(), kErrPortFailed);
  EXPECT_EQ(comm.Settings(), "38400,n,8,1");
  tio = SlaveTermios();
  EXPECT_EQ(cfgetospeed(&tio), static_cast<speed_t>(B38400));
  EXPECT_FALSE(tio.c_cflag & CSTOPB);
  EXPECT_TRUE(comm.PortOpen());

  const std::tuple<int, bool, bool> modes[] = {
      {1, false, true}, {2, true, false}, {3, true, true}, {0, false, false}};
  for (const auto& [mode, rtsCts, xonXoff] : modes) {
    comm.setHandshaking(mode);
    tio = SlaveTermios();
    EXPECT_EQ((tio.c_cflag & CRTSCTS) != 0, rtsCts) << mode;
    EXPECT_EQ((tio.c_iflag & IXON) != 0, xonXoff) << mode;
    EXPECT_EQ((tio.c_iflag & IXOFF) != 0, xonXoff) << mode;
  }
}

TEST_F(PtyPortTest, MissingDeviceNamesItsPathAndTheMapFile) {
  const std::string gone = (dir_ / "unplugged-adapter").string();
  WriteMap("COM5 = " + slave_ + "\nCOM3 = " + gone + "\n");
  const PlatformError mapped = Failure([&] { Comm(3); });
  EXPECT_EQ(mapped.number(), kErrPortNotFound);
  EXPECT_THAT(mapped.description(), HasSubstr(gone));
  EXPECT_THAT(mapped.description(), HasSubstr(mapFile_ + " line 2"));

  const PlatformError unmapped = Failure([&] { Comm(7); });
  EXPECT_EQ(unmapped.number(), kErrPortNotFound);
  EXPECT_THAT(unmapped.description(), HasSubstr("COM7 = /dev/"));
  EXPECT_THAT(unmapped.description(), HasSubstr(mapFile_));
  EXPECT_THAT(unmapped.description(), HasSubstr("COM5 is " + slave_));
  EXPECT_FALSE(comm_->PortOpen());
}

TEST_F(PtyPortTest, PortHeldByAnotherUserIsReportedInUse) {
  QtSerialComm first(Map());
  first.setCommPort(5);
  first.setPortOpen(true);
  const PlatformError e = Failure([&] { Comm(); });
  EXPECT_EQ(e.number(), kErrPortOpen);
  EXPECT_THAT(e.description(), HasSubstr("in use"));
  EXPECT_THAT(e.description(), HasSubstr(slave_));
  first.setPortOpen(false);
  comm_->setPortOpen(true);
  EXPECT_TRUE(comm_->PortOpen());
}

// The open is tried in a child process under an unprivileged user, since
// root may open anything.
TEST_F(PtyPortTest, DeviceWithoutPermissionNamesTheDialoutGroup) {
  const std::string locked = (dir_ / "ttyLocked").string();
  std::ofstream(locked) << "";
  ASSERT_EQ(::chmod(locked.c_str(), 0600), 0);
  ASSERT_EQ(::chmod(dir_.c_str(), 0755), 0);
  WriteMap("COM2 = " + locked + "\n");

  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  if (::fork() == 0) {
    if (::getuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(2);
    const PlatformError e = Failure([&] { Comm(2); });
    const std::string report = std::to_string(e.number()) + " " + e.description();
    ::_exit(::write(fds[1], report.data(), report.size()) > 0 ? 0 : 3);
  }
  ::close(fds[1]);
  std::string report;
  char buffer[1024];
  for (ssize_t n; (n = ::read(fds[0], buffer, sizeof buffer)) > 0;) report.append(buffer, n);
  ::close(fds[0]);
  int status = 0;
  ::wait(&status);
  EXPECT_THAT(report, StartsWith(std::to_string(kErrPortDenied) + " "));
  EXPECT_THAT(report, HasSubstr("'dialout'"));
  EXPECT_THAT(report, HasSubstr("usermod -aG dialout"));
  EXPECT_THAT(report, HasSubstr(locked));
}

TEST_F(PtyPortTest, LostDeviceRaisesALineErrorAndClosesThePort) {
  QtSerialComm& comm = Comm();
  std::vector<int> events;
  comm.OnComm = [&] {
    events.push_back(comm.CommEvent());
    comm.setInputLen(0);
    comm.Input();
  };
  line_->CloseMaster();  // what unplugging the adapter looks like from here
  ASSERT_TRUE(RunEventsUntil([&] { return !comm.PortOpen(); }, 1000));
  RunEventsFor(50);
  ASSERT_EQ(events.size(), 1u) << "one event, not one per pass of the event loop";
  EXPECT_TRUE(events[0] == comEventRxOver || events[0] == comEventDCB) << events[0];
  comm.Output({0x01});  // ignored on the closed port
}

}  // namespace
}  // namespace qv
