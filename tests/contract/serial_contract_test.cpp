// What the engine may rely on from the serial port, on QSerialPort and on the
// virtual port alike.
#include <gtest/gtest.h>

#include "Seams.h"
#include "support/PlatformFailure.h"

namespace qv::test {
namespace {

template <class Rig>
class SerialContract : public RigTest<Rig> {
 protected:
  SerialComm& Open(const std::string& settings = "38400,n,8,1") {
    this->rig_.port.setSettings(settings);
    this->rig_.port.setPortOpen(true);
    return this->rig_.port;
  }
};
TYPED_TEST_SUITE(SerialContract, Rigs, RigNames);

// A restarting station's port is missing (8012) until it is back, and then
// opens under the same number.
TYPED_TEST(SerialContract, AMissingPortFailsUntilItIsBack) {
  SerialComm& port = this->rig_.port;
  this->rig_.SetPortMissing(true);
  EXPECT_EQ(Failure([&] { port.setPortOpen(true); }).number(), kErrPortNotFound);
  EXPECT_FALSE(port.PortOpen());
  this->rig_.SetPortMissing(false);
  EXPECT_EQ(Failure([&] { port.setPortOpen(true); }).number(), 0);
  EXPECT_TRUE(port.PortOpen() && port.CommPort() == 5);
}

// An adapter pulled out under the open port: the port closes, one line event
// says so (not one per pass of the event loop), and it stays missing.
TYPED_TEST(SerialContract, AnUnpluggedPortClosesWithOneLineEvent) {
  SerialComm& port = this->rig_.port;
  ASSERT_EQ(Failure([&] { port.setPortOpen(true); }).number(), 0);
  std::vector<int> events;
  port.OnComm = [&] { events.push_back(port.CommEvent()); };
  this->rig_.Unplug();
  ASSERT_TRUE(this->rig_.RunUntil([&] { return !port.PortOpen(); }));
  this->rig_.RunFor(50);
  ASSERT_EQ(events.size(), 1u);
  EXPECT_TRUE(events[0] == comEventRxOver || events[0] == comEventDCB) << events[0];
  EXPECT_EQ(Failure([&] { port.setPortOpen(true); }).number(), kErrPortNotFound);
}

// Settings are checked when given, open or not; a refused text leaves the old
// one in place. The port shows the settings in one spelling.
TYPED_TEST(SerialContract, SettingsTextsAcceptedOrRefused) {
  SerialComm& port = this->rig_.port;
  // clang-format off
  const std::pair<const char*, const char*> accepted[] = {
      {"300,S,8,2", "300,s,8,2"}, {" 4800 , E , 7 , 2 ", "4800,e,7,2"},
      {"9600,o,8,1.5", "9600,o,8,1.5"}, {"19200,M,5,1", "19200,m,5,1"}};
  const char* const refused[] = {"", "38400,n,8", "38400,n,8,1,", "38400,x,8,1", "38400,,8,1", "0,n,8,1", "-9600,n,8,1",
      "38400,n,9,1", "38400,n,4,1", "38400,n,8,3", "38400baud,n,8,1", "38400,ne,8,1", "99999999999,n,8,1"};
  // clang-format on
  for (const auto& [text, shown] : accepted) {
    EXPECT_EQ(Failure([&] { port.setSettings(text); }).number(), 0) << text;
    EXPECT_EQ(port.Settings(), shown);
  }
  for (const char* text : refused) {
    EXPECT_EQ(Failure([&] { port.setSettings(text); }).number(), kErrInvalidValue) << text;
    EXPECT_EQ(port.Settings(), "19200,m,5,1") << text;
  }
}

// A refused value changes nothing, open or closed; the open port keeps its number.
TYPED_TEST(SerialContract, RefusedValuesChangeNothing) {
  SerialComm& port = this->rig_.port;
  // clang-format off
  const std::tuple<bool, std::function<void()>, int> rows[] = {
      {false, [&] { port.setCommPort(0); }, kErrInvalidPortNumber},
      {false, [&] { port.setCommPort(17); }, kErrInvalidPortNumber},
      {false, [&] { port.setCommPort(16); port.setCommPort(5); }, 0},
      {false, [&] { port.setHandshaking(4); }, kErrInvalidValue},
      {false, [&] { port.setInputLen(-1); }, kErrInvalidValue},
      {false, [&] { port.setInputLen(7); }, 0},
      {true, [&] { port.setCommPort(6); }, kErrPortOpen},
      {true, [&] { port.setCommPort(0); }, kErrInvalidPortNumber},
      {true, [&] { port.setCommPort(5); }, 0},  // the same port is no change
      {true, [&] { port.setPortOpen(true); }, kErrPortOpen},
      {true, [&] { port.setHandshaking(-1); }, kErrInvalidValue}};
  // clang-format on
  for (const auto& [open, call, error] : rows) {
    if (open && !port.PortOpen()) this->Open();
    EXPECT_EQ(Failure(call).number(), error) << open;
    EXPECT_EQ(std::tuple(port.CommPort(), port.Handshaking(), port.PortOpen()),
              std::tuple(5, 0, open));
  }
  EXPECT_EQ(port.InputLen(), 7);
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
  ASSERT_TRUE(this->rig_.RunUntil([&] { return read.size() == 3; }));
  this->rig_.FarEndSends({0x11, 0x13, 0xFF});  // the XON/XOFF bytes pass untouched
  ASSERT_TRUE(this->rig_.RunUntil([&] { return read.size() == 6; }));
  EXPECT_EQ(read, (Bytes{0x01, 0x02, 0x03, 0x11, 0x13, 0xFF}));
  EXPECT_EQ(events, std::vector<int>(events.size(), comEvReceive));
  EXPECT_EQ(port.CommEvent(), 0) << "outside an event";

  port.OnComm = nullptr;
  this->rig_.FarEndSends({1, 2, 3, 4, 5, 6});
  ASSERT_TRUE(this->rig_.RunUntil([&] { return port.InBufferCount() == 6; }));
  port.setInputLen(4);
  EXPECT_EQ(port.Input(), (Bytes{1, 2, 3, 4}));
  EXPECT_EQ(port.InBufferCount(), 2);
  port.setInputLen(0);
  EXPECT_EQ(port.Input(), (Bytes{5, 6}));
  EXPECT_EQ(port.Input(), Bytes{});
}

// Waiting input goes with the close; what the far end sends meanwhile, and
// what the loader writes on a closed port, is lost.
TYPED_TEST(SerialContract, AClosedPortHearsAndSendsNothing) {
  SerialComm& port = this->Open();
  int events = 0;
  port.OnComm = [&] { ++events; };
  this->rig_.FarEndSends({1, 2, 3});
  ASSERT_TRUE(this->rig_.RunUntil([&] { return port.InBufferCount() == 3; }));
  port.setPortOpen(false);
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
  ASSERT_TRUE(this->rig_.RunUntil([&] { return port.InBufferCount() == 1; }));
  EXPECT_GT(events, before);
}

// A frame written just before a close or a speed change leaves whole, at the
// speed it was written for.
TYPED_TEST(SerialContract, OutputLeavesBeforeACloseOrASpeedChange) {
  Bytes frame;
  for (int i = 0; i < 256; ++i) frame.push_back(static_cast<std::uint8_t>(i));
  const std::function<void(SerialComm&)> afterwards[] = {
      [](SerialComm& port) { port.setPortOpen(false); },
      [](SerialComm& port) { port.setSettings("38400,n,8,1"); }};
  for (const auto& after : afterwards) {
    SerialComm& port = this->Open("4800,n,8,1");
    port.Output(frame);
    after(port);
    EXPECT_EQ(this->rig_.FarEndReceived(frame.size()), frame);
    port.setPortOpen(false);
  }
  if (const auto speeds = this->rig_.FarEndSpeeds()) {
    EXPECT_EQ(*speeds, (std::vector<int>{4800, 4800}));
  }
}

}  // namespace
}  // namespace qv::test
