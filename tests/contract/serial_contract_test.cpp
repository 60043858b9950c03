// What the engine may rely on from the serial port, on QSerialPort and on the
// virtual port alike.
#include <gtest/gtest.h>

#include <optional>

#include "Seams.h"
#include "support/PlatformFailure.h"

namespace qv::test {
namespace {

template <class Rig>
class SerialContract : public ::testing::Test {
 protected:
  SerialComm& Open(const std::string& settings = "38400,n,8,1") {
    rig_.port().setSettings(settings);
    rig_.port().setPortOpen(true);
    return rig_.port();
  }
  Rig rig_;
};
TYPED_TEST_SUITE(SerialContract, Rigs, RigNames);

Bytes EveryByteValue() {
  Bytes frame;
  for (int i = 0; i < 256; ++i) frame.push_back(static_cast<std::uint8_t>(i));
  return frame;
}

// Settings are checked when given, open or not; a refused text leaves the old
// one in place. The port shows the settings in one spelling.
TYPED_TEST(SerialContract, SettingsTextsAcceptedOrRefused) {
  SerialComm& port = this->rig_.port();
  const struct {
    const char* text;
    const char* shown;  // null: refused with 380
  } rows[] = {
      {"38400,n,8,1", "38400,n,8,1"},
      {" 4800 , E , 7 , 2 ", "4800,e,7,2"},
      {"9600,o,8,1.5", "9600,o,8,1.5"},
      {"19200,M,5,1", "19200,m,5,1"},
      {"fast", nullptr},
      {"", nullptr},
      {"38400,n,8", nullptr},
      {"38400,n,8,1,", nullptr},
      {"38400,x,8,1", nullptr},
      {"38400,ne,8,1", nullptr},
      {"0,n,8,1", nullptr},
      {"-9600,n,8,1", nullptr},
      {"38400,n,9,1", nullptr},
      {"38400,n,4,1", nullptr},
      {"38400,n,8,3", nullptr},
      {"38400baud,n,8,1", nullptr},
  };
  port.setSettings("1200,n,8,1");
  std::string expected = port.Settings();
  for (const auto& row : rows) {
    const int error = Failure([&] { port.setSettings(row.text); }).number();
    if (row.shown) expected = row.shown;
    EXPECT_EQ(error, row.shown ? 0 : kErrInvalidValue) << "'" << row.text << "'";
    EXPECT_EQ(port.Settings(), expected) << "'" << row.text << "'";
  }
}

TYPED_TEST(SerialContract, RefusedValuesChangeNothing) {
  SerialComm& port = this->rig_.port();
  const struct {
    std::function<void()> call;
    int error;
  } closed[] = {
      {[&] { port.setCommPort(0); }, kErrInvalidPortNumber},
      {[&] { port.setCommPort(17); }, kErrInvalidPortNumber},
      {[&] { port.setCommPort(-1); }, kErrInvalidPortNumber},
      {[&] { port.setHandshaking(-1); }, kErrInvalidValue},
      {[&] { port.setHandshaking(4); }, kErrInvalidValue},
      {[&] { port.setInputLen(-1); }, kErrInvalidValue},
  };
  for (std::size_t i = 0; i < std::size(closed); ++i) {
    EXPECT_EQ(Failure(closed[i].call).number(), closed[i].error) << "closed, row " << i;
  }
  EXPECT_EQ(std::tuple(port.CommPort(), port.Handshaking(), port.InputLen()), std::tuple(5, 0, 0));
  port.setCommPort(16);
  port.setCommPort(5);
  port.setInputLen(7);

  this->Open();
  const struct {
    std::function<void()> call;
    int error;
  } open[] = {
      {[&] { port.setCommPort(6); }, kErrPortOpen},
      {[&] { port.setCommPort(0); }, kErrInvalidPortNumber},
      {[&] { port.setCommPort(5); }, 0},  // the same port is no change
      {[&] { port.setPortOpen(true); }, kErrPortOpen},
      {[&] { port.setHandshaking(4); }, kErrInvalidValue},
  };
  for (std::size_t i = 0; i < std::size(open); ++i) {
    EXPECT_EQ(Failure(open[i].call).number(), open[i].error) << "open, row " << i;
  }
  EXPECT_EQ(std::tuple(port.CommPort(), port.InputLen(), port.PortOpen()), std::tuple(5, 7, true));
  for (int mode : {1, 2, 3, 0}) {
    EXPECT_EQ(Failure([&] { port.setHandshaking(mode); }).number(), 0) << mode;
    EXPECT_EQ(port.Handshaking(), mode);
  }
}

// Each chunk from the far end raises event 2 with its bytes waiting; InputLen
// caps one read.
TYPED_TEST(SerialContract, ReceiveEventsAndInputLength) {
  SerialComm& port = this->Open();
  std::vector<int> events;
  Bytes read;
  port.OnComm = [&] {
    events.push_back(port.CommEvent());
    const Bytes bytes = port.Input();
    read.insert(read.end(), bytes.begin(), bytes.end());
  };
  this->rig_.FarEndSends({0x01, 0x02, 0x03});
  ASSERT_TRUE(this->rig_.RunUntil([&] { return read.size() == 3; }, 1000));
  this->rig_.FarEndSends({0x11, 0x13, 0xFF});  // the XON/XOFF bytes pass untouched
  ASSERT_TRUE(this->rig_.RunUntil([&] { return read.size() == 6; }, 1000));
  EXPECT_EQ(read, (Bytes{0x01, 0x02, 0x03, 0x11, 0x13, 0xFF}));
  EXPECT_GE(events.size(), 2u);
  EXPECT_EQ(events, std::vector<int>(events.size(), comEvReceive));
  EXPECT_EQ(port.CommEvent(), 0) << "outside an event";

  port.OnComm = nullptr;
  this->rig_.FarEndSends({1, 2, 3, 4, 5, 6});
  ASSERT_TRUE(this->rig_.RunUntil([&] { return port.InBufferCount() == 6; }, 1000));
  port.setInputLen(4);
  EXPECT_EQ(port.Input(), (Bytes{1, 2, 3, 4}));
  EXPECT_EQ(port.InBufferCount(), 2);
  port.setInputLen(0);
  EXPECT_EQ(port.Input(), (Bytes{5, 6}));
  EXPECT_EQ(port.InBufferCount(), 0);
  EXPECT_EQ(port.Input(), Bytes{});
}

// Waiting input goes with the close; what the far end sends meanwhile, and
// what the loader writes on a closed port, is lost.
TYPED_TEST(SerialContract, AClosedPortHearsAndSendsNothing) {
  SerialComm& port = this->Open();
  int events = 0;
  port.OnComm = [&] { ++events; };
  this->rig_.FarEndSends({1, 2, 3});
  ASSERT_TRUE(this->rig_.RunUntil([&] { return port.InBufferCount() == 3; }, 1000));
  port.setPortOpen(false);
  EXPECT_EQ(port.InBufferCount(), 0);
  EXPECT_EQ(port.Input(), Bytes{});
  port.Output({0x06, 0x07});
  EXPECT_EQ(this->rig_.FarEndReceived(1, 100), Bytes{});
  this->rig_.FarEndSends({4, 5});
  this->rig_.RunFor(50);
  port.setPortOpen(true);
  this->rig_.RunFor(50);
  EXPECT_EQ(port.InBufferCount(), 0);
  const int before = events;
  this->rig_.FarEndSends({8});
  ASSERT_TRUE(this->rig_.RunUntil([&] { return port.InBufferCount() == 1; }, 1000));
  EXPECT_GT(events, before);
}

// A frame written just before a close or a speed change leaves whole, at the
// speed it was written for.
TYPED_TEST(SerialContract, OutputLeavesBeforeACloseOrASpeedChange) {
  const Bytes frame = EveryByteValue();
  const std::pair<const char*, std::function<void(SerialComm&)>> rows[] = {
      {"close", [](SerialComm& port) { port.setPortOpen(false); }},
      {"speed change", [](SerialComm& port) { port.setSettings("38400,n,8,1"); }},
  };
  std::vector<int> expectedSpeeds;
  for (const auto& [name, after] : rows) {
    SerialComm& port = this->Open("4800,n,8,1");
    port.Output(frame);
    after(port);
    EXPECT_EQ(this->rig_.FarEndReceived(frame.size()), frame) << name;
    expectedSpeeds.push_back(4800);
    port.setPortOpen(false);
  }
  const Bytes tail = {0x02, 0x8F, 0x03};
  this->Open("38400,n,8,1").Output(tail);
  EXPECT_EQ(this->rig_.FarEndReceived(tail.size()), tail);
  expectedSpeeds.push_back(38400);
  if (const auto speeds = this->rig_.FarEndSpeeds()) {
    EXPECT_EQ(*speeds, expectedSpeeds);
  }
}

}  // namespace
}  // namespace qv::test
