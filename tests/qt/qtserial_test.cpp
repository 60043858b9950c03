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

TEST_F(PtyPortTest, OutputArrivesByteExactWithoutTheEventLoop) {
  QtSerialComm& comm = Comm();
  EXPECT_EQ(comm.DevicePath(), slave_);
  Bytes frame;
  for (int i = 0; i < 256; ++i) frame.push_back(static_cast<std::uint8_t>(i));
  comm.Output(frame);
  EXPECT_EQ(ReadMaster(frame.size()), frame);

  const Bytes last = {0xFF, 0x02, 0x8F, 0x03, 0x0A, 0x0D, 0x00, 0x03};
  comm.Output(last);
  comm.setPortOpen(false);  // closing does not drop what is still on its way
  EXPECT_EQ(ReadMaster(last.size()), last);
}

TEST_F(PtyPortTest, InputLenLimitsOneRead) {
  QtSerialComm& comm = Comm();
  std::vector<int> events;
  comm.OnComm = [&] { events.push_back(comm.CommEvent()); };
  WriteMaster({1, 2, 3, 4, 5, 6});
  ASSERT_TRUE(RunEventsUntil([&] { return comm.InBufferCount() == 6; }, 1000));
  EXPECT_EQ(events, std::vector<int>(events.size(), comEvReceive));
  EXPECT_FALSE(events.empty());
  comm.setInputLen(4);
  EXPECT_EQ(comm.Input(), (Bytes{1, 2, 3, 4}));
  EXPECT_EQ(comm.InBufferCount(), 2);
  comm.setInputLen(0);
  EXPECT_EQ(comm.Input(), (Bytes{5, 6}));
}

// A handler that waits in a nested event loop (a message box) must not
// leave the bytes that arrived meanwhile unannounced.
TEST_F(PtyPortTest, BytesArrivingWhileAHandlerWaitsGetTheirOwnEvent) {
  QtSerialComm& comm = Comm();
  std::vector<Bytes> reads;
  comm.OnComm = [&] {
    comm.setInputLen(0);
    reads.push_back(comm.Input());
    if (reads.size() != 1) return;
    WriteMaster({0xAA, 0xBB});
    RunEventsFor(150);
  };
  WriteMaster({0x01});
  ASSERT_TRUE(RunEventsUntil([&] { return reads.size() >= 2; }, 1000));
  EXPECT_EQ(reads[0], Bytes{0x01});
  EXPECT_EQ(reads[1], (Bytes{0xAA, 0xBB}));
}

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

TEST_F(PtyPortTest, RefusedValuesChangeNothing) {
  QtSerialComm& comm = Comm();
  const std::pair<std::function<void()>, int> cases[] = {
      {[&] { comm.setSettings("fast"); }, kErrInvalidValue},
      {[&] { comm.setHandshaking(4); }, kErrInvalidValue},
      {[&] { comm.setInputLen(-1); }, kErrInvalidValue},
      {[&] { comm.setCommPort(0); }, kErrInvalidPortNumber},
      {[&] { comm.setCommPort(17); }, kErrInvalidPortNumber},
      {[&] { comm.setCommPort(-1); }, kErrInvalidPortNumber},
      {[&] { comm.setPortOpen(true); }, kErrPortOpen},  // already open
      {[&] { comm.setCommPort(6); }, kErrPortOpen},     // another port while open
  };
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    EXPECT_EQ(Failure(cases[i].first).number(), cases[i].second) << "case " << i;
  }
  EXPECT_EQ(comm.Settings(), "38400,n,8,1");
  EXPECT_EQ(comm.Handshaking(), 0);
  EXPECT_EQ(comm.CommPort(), 5);
  EXPECT_TRUE(comm.PortOpen());
  comm.setCommPort(5);  // the same port while open is no change
  comm.setPortOpen(false);
  comm.setCommPort(16);
  EXPECT_EQ(comm.CommPort(), 16);
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
  ::close(master_);  // what unplugging the adapter looks like from here
  master_ = -1;
  ASSERT_TRUE(RunEventsUntil([&] { return !comm.PortOpen(); }, 1000));
  RunEventsFor(50);
  ASSERT_EQ(events.size(), 1u) << "one event, not one per pass of the event loop";
  EXPECT_TRUE(events[0] == comEventRxOver || events[0] == comEventDCB) << events[0];
  comm.Output({0x01});  // ignored on the closed port
}

}  // namespace
}  // namespace qv
