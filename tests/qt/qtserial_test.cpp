#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <fstream>

#include "app/PlatformError.h"
#include "pty_port.h"
#include "qt_app.h"
#include "serial/qt/QtSerialComm.h"

namespace qv {
namespace {

using test::PtyPortTest;
using test::RunEventsFor;
using test::RunEventsUntil;

Bytes AllByteValues() {
  Bytes bytes;
  for (int i = 0; i < 256; ++i) bytes.push_back(static_cast<std::uint8_t>(i));
  return bytes;
}

TEST_F(PtyPortTest, OutputArrivesByteExactWithoutTheEventLoop) {
  QtSerialComm comm(Map());
  comm.setCommPort(5);
  comm.setSettings("38400,n,8,1");
  comm.setPortOpen(true);
  ASSERT_TRUE(comm.PortOpen());
  EXPECT_EQ(comm.DevicePath(), slave_);

  const Bytes frame = AllByteValues();
  comm.Output(frame);
  EXPECT_EQ(ReadMaster(frame.size()), frame);

  const Bytes last = {0xFF, 0x02, 0x8F, 0x03, 0x0A, 0x0D, 0x00, 0x03};
  comm.Output(last);
  comm.setPortOpen(false);
  EXPECT_EQ(ReadMaster(last.size()), last);
}

TEST_F(PtyPortTest, BytesWrittenInPiecesRaiseReceiveEvents) {
  QtSerialComm comm(Map());
  comm.setCommPort(5);
  comm.setPortOpen(true);
  Bytes received;
  std::vector<int> events;
  comm.OnComm = [&] {
    events.push_back(comm.CommEvent());
    comm.setInputLen(0);
    ASSERT_GT(comm.InBufferCount(), 0);
    const Bytes chunk = comm.Input();
    received.insert(received.end(), chunk.begin(), chunk.end());
    EXPECT_EQ(comm.InBufferCount(), 0);
  };

  const std::vector<Bytes> pieces = {{0x02, 0x70}, {0x10, 0x03, 0x15, 0x00}, {0xFF, 0xFE, 0x03}};
  Bytes all;
  for (const auto& piece : pieces) {
    WriteMaster(piece);
    all.insert(all.end(), piece.begin(), piece.end());
    ASSERT_TRUE(RunEventsUntil([&] { return received.size() == all.size(); }, 1000));
  }
  EXPECT_EQ(received, all);
  EXPECT_EQ(events, std::vector<int>(events.size(), comEvReceive));
  EXPECT_GE(events.size(), pieces.size());
}

TEST_F(PtyPortTest, InputLenLimitsOneRead) {
  QtSerialComm comm(Map());
  comm.setCommPort(5);
  comm.setPortOpen(true);
  WriteMaster({1, 2, 3, 4, 5, 6});
  ASSERT_TRUE(RunEventsUntil([&] { return comm.InBufferCount() == 6; }, 1000));
  comm.setInputLen(4);
  EXPECT_EQ(comm.Input(), (Bytes{1, 2, 3, 4}));
  EXPECT_EQ(comm.InBufferCount(), 2);
  comm.setInputLen(0);
  EXPECT_EQ(comm.Input(), (Bytes{5, 6}));
  EXPECT_THROW(comm.setInputLen(-1), PlatformError);
}

// A handler that waits in a nested event loop (a message box) must not
// leave the bytes that arrived meanwhile unannounced.
TEST_F(PtyPortTest, BytesArrivingWhileAHandlerWaitsGetTheirOwnEvent) {
  QtSerialComm comm(Map());
  comm.setCommPort(5);
  comm.setPortOpen(true);
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
// 8 data bits without parity, which also shows how a refused setting is
// handled.
TEST_F(PtyPortTest, SettingsAndHandshakingReachTheLine) {
  QtSerialComm comm(Map());
  comm.setCommPort(5);
  comm.setSettings("4800,n,8,2");
  comm.setPortOpen(true);
  termios tio = SlaveTermios();
  EXPECT_EQ(cfgetospeed(&tio), static_cast<speed_t>(B4800));
  EXPECT_TRUE(tio.c_cflag & CSTOPB);

  comm.setSettings("38400,n,8,1");
  tio = SlaveTermios();
  EXPECT_EQ(cfgetospeed(&tio), static_cast<speed_t>(B38400));
  EXPECT_FALSE(tio.c_cflag & CSTOPB);
  EXPECT_EQ(comm.Settings(), "38400,n,8,1");

  try {
    comm.setSettings("9600,e,7,1");
    ADD_FAILURE() << "a pseudo-terminal took parity";
  } catch (const PlatformError& e) {
    EXPECT_EQ(e.number(), kErrPortFailed);
  }
  EXPECT_EQ(comm.Settings(), "38400,n,8,1");
  tio = SlaveTermios();
  EXPECT_EQ(cfgetospeed(&tio), static_cast<speed_t>(B38400));
  EXPECT_TRUE(comm.PortOpen());

  struct Case {
    int mode;
    bool rtsCts;
    bool xonXoff;
  };
  for (const Case c : {Case{1, false, true}, Case{2, true, false}, Case{3, true, true},
                       Case{0, false, false}}) {
    SCOPED_TRACE(c.mode);
    comm.setHandshaking(c.mode);
    tio = SlaveTermios();
    EXPECT_EQ((tio.c_cflag & CRTSCTS) != 0, c.rtsCts);
    EXPECT_EQ((tio.c_iflag & IXON) != 0, c.xonXoff);
    EXPECT_EQ((tio.c_iflag & IXOFF) != 0, c.xonXoff);
  }
}

TEST_F(PtyPortTest, SettingsTheDeviceRefusesLeaveThePortClosed) {
  QtSerialComm comm(Map());
  comm.setCommPort(5);
  comm.setSettings("4800,o,7,1");
  try {
    comm.setPortOpen(true);
    ADD_FAILURE() << "opened";
  } catch (const PlatformError& e) {
    EXPECT_EQ(e.number(), kErrPortFailed);
    EXPECT_NE(e.description().find("4800,o,7,1"), std::string::npos) << e.description();
  }
  EXPECT_FALSE(comm.PortOpen());
  comm.setSettings("4800,n,8,1");
  comm.setPortOpen(true);
  EXPECT_TRUE(comm.PortOpen());
}

TEST_F(PtyPortTest, InvalidValuesAreRefusedAndChangeNothing) {
  QtSerialComm comm(Map());
  comm.setSettings("4800,n,8,1");
  try {
    comm.setSettings("fast");
    ADD_FAILURE();
  } catch (const PlatformError& e) {
    EXPECT_EQ(e.number(), kErrInvalidValue);
  }
  EXPECT_EQ(comm.Settings(), "4800,n,8,1");
  EXPECT_THROW(comm.setHandshaking(4), PlatformError);
  EXPECT_EQ(comm.Handshaking(), 0);
}

TEST_F(PtyPortTest, CommPortOutsideOneToSixteenFailsWith8002) {
  QtSerialComm comm(Map());
  for (int number : {0, 17, -1, 256}) {
    try {
      comm.setCommPort(number);
      ADD_FAILURE() << number;
    } catch (const PlatformError& e) {
      EXPECT_EQ(e.number(), kErrInvalidPortNumber) << number;
    }
  }
  comm.setCommPort(16);
  EXPECT_EQ(comm.CommPort(), 16);
  comm.setCommPort(1);
  EXPECT_EQ(comm.CommPort(), 1);
}

TEST_F(PtyPortTest, OpeningAgainOrChoosingAnotherPortWhileOpenIsRefused) {
  QtSerialComm comm(Map());
  comm.setCommPort(5);
  comm.setPortOpen(true);
  comm.setCommPort(5);
  try {
    comm.setPortOpen(true);
    ADD_FAILURE() << "opened twice";
  } catch (const PlatformError& e) {
    EXPECT_EQ(e.number(), kErrPortOpen);
  }
  try {
    comm.setCommPort(6);
    ADD_FAILURE();
  } catch (const PlatformError& e) {
    EXPECT_EQ(e.number(), kErrPortOpen);
  }
  EXPECT_EQ(comm.CommPort(), 5);
  EXPECT_TRUE(comm.PortOpen());
}

PlatformError OpenError(QtSerialComm& comm, int number) {
  comm.setCommPort(number);
  try {
    comm.setPortOpen(true);
  } catch (const PlatformError& e) {
    EXPECT_FALSE(comm.PortOpen());
    return e;
  }
  ADD_FAILURE() << "COM" << number << " opened";
  return PlatformError(0, "");
}

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

TEST_F(PtyPortTest, MissingDeviceNamesItsPathAndTheMapFile) {
  const std::string gone = (dir_ / "unplugged-adapter").string();
  WriteMap("COM5 = " + slave_ + "\nCOM3 = " + gone + "\n");
  QtSerialComm comm(Map());

  const PlatformError mapped = OpenError(comm, 3);
  EXPECT_EQ(mapped.number(), kErrPortNotFound);
  EXPECT_TRUE(Contains(mapped.description(), gone)) << mapped.description();
  EXPECT_TRUE(Contains(mapped.description(), mapFile_ + " line 2")) << mapped.description();

  const PlatformError unmapped = OpenError(comm, 7);
  EXPECT_EQ(unmapped.number(), kErrPortNotFound);
  EXPECT_TRUE(Contains(unmapped.description(), "COM7 = /dev/")) << unmapped.description();
  EXPECT_TRUE(Contains(unmapped.description(), mapFile_)) << unmapped.description();
  EXPECT_TRUE(Contains(unmapped.description(), "COM5 is " + slave_)) << unmapped.description();
}

TEST_F(PtyPortTest, PortHeldByAnotherUserIsReportedInUse) {
  QtSerialComm first(Map());
  first.setCommPort(5);
  first.setPortOpen(true);
  QtSerialComm second(Map());
  const PlatformError e = OpenError(second, 5);
  EXPECT_EQ(e.number(), kErrPortOpen);
  EXPECT_TRUE(Contains(e.description(), "in use")) << e.description();
  EXPECT_TRUE(Contains(e.description(), slave_)) << e.description();

  first.setPortOpen(false);
  second.setPortOpen(true);
  EXPECT_TRUE(second.PortOpen());
}

// The open is tried in a child process under an unprivileged user, since
// root may open anything.
TEST_F(PtyPortTest, DeviceWithoutPermissionNamesTheDialoutGroup) {
  const std::string locked = (dir_ / "ttyLocked").string();
  std::ofstream(locked) << "";
  ASSERT_EQ(::chmod(locked.c_str(), 0600), 0);
  ASSERT_EQ(::chmod(dir_.c_str(), 0755), 0);
  WriteMap("COM2 = " + locked + "\n");

  int pipeFds[2];
  ASSERT_EQ(::pipe(pipeFds), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::close(pipeFds[0]);
    if (::getuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(2);
    std::string report;
    try {
      QtSerialComm comm(Map());
      comm.setCommPort(2);
      comm.setPortOpen(true);
      report = "opened";
    } catch (const PlatformError& e) {
      report = std::to_string(e.number()) + "\n" + e.description();
    }
    const ssize_t written = ::write(pipeFds[1], report.data(), report.size());
    ::_exit(written == static_cast<ssize_t>(report.size()) ? 0 : 3);
  }
  ::close(pipeFds[1]);
  std::string report;
  char buffer[1024];
  for (ssize_t n; (n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0;) report.append(buffer, n);
  ::close(pipeFds[0]);
  int status = 0;
  ::waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;

  EXPECT_EQ(report.substr(0, report.find('\n')), std::to_string(kErrPortDenied)) << report;
  EXPECT_TRUE(Contains(report, "'dialout'")) << report;
  EXPECT_TRUE(Contains(report, "usermod -aG dialout")) << report;
  EXPECT_TRUE(Contains(report, locked)) << report;
}

TEST_F(PtyPortTest, LostDeviceRaisesALineErrorAndClosesThePort) {
  QtSerialComm comm(Map());
  comm.setCommPort(5);
  comm.setPortOpen(true);
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
