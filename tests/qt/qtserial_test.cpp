// The real serial port on a pseudo-terminal: what the contract tables cannot
// see from the far end (line settings, the operator's error texts).
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <optional>

#include "platform/QtSerialComm.h"
#include "support/PlatformFailure.h"
#include "support/PtyLine.h"
#include "support/QtApp.h"
#include "texts/NamedTexts.h"

namespace qv::test {
namespace {

using ::testing::AllOf;
using ::testing::HasSubstr;

// "number description" of what a call throws.
std::string ErrorOf(const std::function<void()>& call) {
  const PlatformError e = Failure(call);
  return std::to_string(e.number()) + " " + e.description();
}
auto Number(int number) {
  return ::testing::StartsWith(std::to_string(number) + " ");
}

class PtyPortTest : public ::testing::Test {
 protected:
  // The port under test on the given number, opened with these settings.
  QtSerialComm& Comm(int port = 5, const std::string& settings = "38400,n,8,1") {
    comm_.emplace(line_.Map(), [](std::string_view name) { return NamedText(1000, name); });
    comm_->setCommPort(port);
    comm_->setSettings(settings);
    comm_->setPortOpen(true);
    return *comm_;
  }
  // Speed, two stop bits, RTS/CTS, XON and XOFF as the line has them.
  std::tuple<speed_t, bool, bool, bool, bool> Line() const {
    const termios tio = line_.SlaveTermios();
    return {cfgetospeed(&tio), (tio.c_cflag & CSTOPB) != 0, (tio.c_cflag & CRTSCTS) != 0,
            (tio.c_iflag & IXON) != 0, (tio.c_iflag & IXOFF) != 0};
  }

  QApplication& app_ = EnsureQtApp();
  PtyLine line_;
  std::optional<QtSerialComm> comm_;
};

// A pseudo-terminal keeps speed, stop bits and handshaking but insists on
// 8 data bits without parity, which shows how a refused setting is handled.
TEST_F(PtyPortTest, SettingsAndHandshakingReachTheLineOrAreRefused) {
  EXPECT_THAT(ErrorOf([&] { Comm(5, "4800,o,7,1"); }),
              AllOf(Number(kErrPortFailed), HasSubstr("4800,o,7,1")));
  QtSerialComm& comm = *comm_;
  EXPECT_FALSE(comm.PortOpen());
  comm.setSettings("4800,n,8,2");
  comm.setPortOpen(true);
  EXPECT_EQ(Line(), std::tuple(B4800, true, false, false, false));
  comm.setSettings("38400,n,8,1");
  EXPECT_THAT(ErrorOf([&] { comm.setSettings("9600,e,7,1"); }), Number(kErrPortFailed));
  EXPECT_EQ(comm.Settings(), "38400,n,8,1");
  EXPECT_TRUE(comm.PortOpen());
  // clang-format off
  const std::pair<int, std::tuple<speed_t, bool, bool, bool, bool>> modes[] = {
      {1, {B38400, false, false, true, true}}, {2, {B38400, false, true, false, false}},
      {3, {B38400, false, true, true, true}},  {0, {B38400, false, false, false, false}}};
  // clang-format on
  for (const auto& [mode, line] : modes) {
    comm.setHandshaking(mode);
    EXPECT_EQ(Line(), line) << mode;
  }
}

// Each failed open names the device and what the operator can do about it.
// The locked device is tried in a child process under an unprivileged user,
// since root may open anything.
TEST_F(PtyPortTest, FailedOpensNameTheDeviceAndTheCause) {
  const std::string gone = (line_.dir / "unplugged-adapter").string();
  const std::string locked = (line_.dir / "ttyLocked").string();
  std::ofstream(locked) << "";
  ASSERT_EQ(::chmod(locked.c_str(), 0600) | ::chmod(line_.dir.c_str(), 0755), 0);
  line_.WriteMap("COM5 = " + line_.slave + "\nCOM3 = " + gone + "\nCOM2 = " + locked + "\n");
  EXPECT_THAT(ErrorOf([&] { Comm(3); }), AllOf(Number(kErrPortNotFound), HasSubstr(gone),
                                               HasSubstr(line_.mapFile + " line 2")));
  EXPECT_THAT(ErrorOf([&] { Comm(7); }),
              AllOf(Number(kErrPortNotFound), HasSubstr("COM7 = /dev/"), HasSubstr(line_.mapFile),
                    HasSubstr("COM5 is " + line_.slave)));
  QtSerialComm first(line_.Map());
  first.setCommPort(5);
  first.setPortOpen(true);
  EXPECT_THAT(ErrorOf([&] { Comm(); }),
              AllOf(Number(kErrPortOpen), HasSubstr("in use"), HasSubstr(line_.slave)));
  first.setPortOpen(false);
  comm_->setPortOpen(true);  // free again

  const pid_t child = ::fork();
  if (child == 0) {
    if (::getuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(2);
    const auto denied =
        AllOf(Number(kErrPortDenied), HasSubstr("usermod -aG dialout"), HasSubstr(locked));
    ::_exit(::testing::Value(ErrorOf([&] { Comm(2); }), denied) ? 0 : 3);
  }
  int status = -1;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_EQ(status, 0) << "exit 2: no unprivileged user; 3: another error or text";
}

TEST_F(PtyPortTest, LostDeviceRaisesALineErrorAndClosesThePort) {
  QtSerialComm& comm = Comm();
  std::vector<int> events;
  comm.OnComm = [&] { events.push_back(comm.CommEvent()); };
  line_.CloseMaster();  // what unplugging the adapter looks like from here
  ASSERT_TRUE(QTest::qWaitFor([&] { return !comm.PortOpen(); }, 1000));
  QTest::qWait(50);
  ASSERT_EQ(events.size(), 1u) << "one event, not one per pass of the event loop";
  EXPECT_TRUE(events[0] == comEventRxOver || events[0] == comEventDCB) << events[0];
}

}  // namespace
}  // namespace qv::test
