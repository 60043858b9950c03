#include <gtest/gtest.h>

#include "app/MlStringModule.h"
#include "protocol/ReceiveReply.h"
#include "sim/VirtualPlatform.h"
#include "support/HexBytes.h"

namespace qv {
namespace {

using test::Hex;

// Replies with checksums from the worked values, so a broken generator shows.
const Bytes kIdent116 = Hex("02 83 02 00 74 3D 2C 03");
const Bytes kIdent16 = Hex("02 83 02 00 10 BC 77 03");
const Bytes kTimeEmpty = Hex("02 F7 00 F7 00 03");

// An extended reply as the station sends it (no wake-up byte). The length
// byte is taken from `len` so that lengths the data do not match can be built.
Bytes Extended(std::uint8_t code, const Bytes& data, std::uint8_t len) {
  Bytes covered{code, len};
  covered.insert(covered.end(), data.begin(), data.end());
  const std::uint32_t crc = CalcCrc(covered);
  Bytes reply{kStx};
  reply.insert(reply.end(), covered.begin(), covered.end());
  reply.push_back(static_cast<std::uint8_t>(crc >> 8));
  reply.push_back(static_cast<std::uint8_t>(crc));
  reply.push_back(kEtx);
  return reply;
}
Bytes Extended(std::uint8_t code, const Bytes& data) {
  return Extended(code, data, static_cast<std::uint8_t>(data.size()));
}

struct Handled {
  int code;
  Bytes stored;  // RxBuffer[0 .. RxCount)
};

class ReceiveTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WireStationLink(ctx);
    ctx.StationSerial = 12345678;
    link.port.setSettings("38400,n,8,1");
    link.port.setPortOpen(true);
    for (const int code : {0x70, 0x71, 0x7E, 0x80, 0x83, 0x8F, 0xF6, 0xF7}) Handle(code, ReplyOutcome::Continue);
    ctx.handlers[kNak] = [this](Context& c) {
      handled.push_back({kNak, {}});
      return nakEndsEvent ? ReplyOutcome::EndEvent : ReplyOutcome::Continue;
      (void)c;
    };
  }

  void Handle(int code, ReplyOutcome outcome) {
    ctx.handlers[static_cast<std::size_t>(code)] = [this, code, outcome](Context& c) {
      handled.push_back({code, Bytes(c.RxBuffer.begin(), c.RxBuffer.begin() + c.RxCount)});
      return outcome;
    };
  }

  // Each chunk is one receive event, 10 ms apart.
  void Receive(std::initializer_list<Bytes> chunks) {
    sim::VirtualMs delay = 0;
    for (const Bytes& chunk : chunks) link.port.sendToLoader(chunk, delay += 10);
    link.scheduler.advanceBy(delay);
  }

  std::vector<int> Codes() const {
    std::vector<int> codes;
    for (const auto& h : handled) codes.push_back(h.code);
    return codes;
  }

  std::string CrcMessage() const { return GetMlString(ctx, kMsgCrcError, "Station responds with CRC error!"); }

  sim::VirtualPlatform link;
  Context& ctx = link.ctx;
  std::vector<Handled> handled;
  bool nakEndsEvent = false;
};

TEST_F(ReceiveTest, ReplySplitAtEveryPositionIsAssembledOnce) {
  for (std::size_t cut = 1; cut < kIdent116.size(); ++cut) {
    handled.clear();
    Receive({Bytes(kIdent116.begin(), kIdent116.begin() + static_cast<std::ptrdiff_t>(cut)),
             Bytes(kIdent116.begin() + static_cast<std::ptrdiff_t>(cut), kIdent116.end())});
    ASSERT_EQ(handled.size(), 1u) << "cut " << cut;
    EXPECT_EQ(handled[0].code, 0x83);
    EXPECT_EQ(handled[0].stored, Hex("02 00 74 3D 2C"));
  }
  EXPECT_TRUE(link.view.boxes().empty());
}

TEST_F(ReceiveTest, ReplyByteByByte) {
  std::vector<Bytes> chunks;
  for (const auto b : kIdent16) link.port.sendToLoader(Bytes{b}, 5);
  link.scheduler.advanceBy(5);
  ASSERT_EQ(Codes(), std::vector<int>{0x83});
  EXPECT_EQ(handled[0].stored, Hex("02 00 10 BC 77"));
}

TEST_F(ReceiveTest, ShortReplies) {
  struct Case {
    const char* wire;
    int code;
    const char* stored;
  } cases[] = {
      {"02 7E 10 01 03", 0x7E, "01"},
      {"02 70 4D 03", 0x70, "4D"},
      {"02 70 10 02 10 03 10 10 10 15 10 1F 20 03", 0x70, "02 03 10 15 1F 20"},
      {"02 02 02 71 03", 0x71, ""},  // repeated STX before the code is skipped
      {"41 42 02 70 53 03", 0x70, "53"},  // bytes before STX are overwritten by the reply
  };
  for (const auto& c : cases) {
    handled.clear();
    Receive({Hex(c.wire)});
    ASSERT_EQ(handled.size(), 1u) << c.wire;
    EXPECT_EQ(handled[0].code, c.code) << c.wire;
    EXPECT_EQ(BytesToHex(handled[0].stored), BytesToHex(Hex(c.stored))) << c.wire;
  }
}

TEST_F(ReceiveTest, ControlBytesInsideExtendedRepliesAreData) {
  const Bytes data{0x00, 0x01, 0x00, 0x02, 0x03, 0x10, 0x15, 0xFF};
  Receive({Extended(0x80, data)});
  ASSERT_EQ(Codes(), std::vector<int>{0x80});
  const Bytes& stored = handled[0].stored;
  ASSERT_EQ(stored.size(), data.size() + 3);
  EXPECT_EQ(stored[0], data.size());
  EXPECT_EQ(Bytes(stored.begin() + 1, stored.end() - 2), data);
  EXPECT_TRUE(link.view.boxes().empty());
}

TEST_F(ReceiveTest, Code0xC4IsAssembledShortButChecked) {
  ctx.bUpdateRun = true;
  Receive({Hex("02 C4 10 02 41 03")});
  EXPECT_TRUE(handled.empty());
  ASSERT_EQ(link.view.boxes().size(), 1u);
  EXPECT_EQ(link.view.boxes()[0].prompt, CrcMessage());
  EXPECT_FALSE(ctx.bUpdateRun);
}

TEST_F(ReceiveTest, WrongChecksumShowsOneMessageRunsNoHandlerAndDropsTheRead) {
  Bytes bad = kIdent116;
  bad[6] ^= 0x01;
  ctx.bUpdateRun = true;
  link.view.setEnabled(Control::Master, false);
  Receive({JoinBytes(bad, kTimeEmpty)});

  EXPECT_TRUE(handled.empty());
  ASSERT_EQ(link.view.boxes().size(), 1u);
  const auto& box = link.view.boxes()[0];
  EXPECT_EQ(box.prompt, CrcMessage());
  EXPECT_EQ(box.style, vbInformation | vbOKOnly);
  EXPECT_EQ(box.title, "QV-Boot 12345678");
  EXPECT_FALSE(ctx.bUpdateRun);
  EXPECT_TRUE(link.view.isEnabled(Control::Master));
  EXPECT_FALSE(ctx.bFrameComplete);

  Receive({kTimeEmpty});  // the link recovers with the next reply
  EXPECT_EQ(Codes(), std::vector<int>{0xF7});
}

TEST_F(ReceiveTest, NakActsAtOnceBetweenAndInsideShortReplies) {
  Receive({JoinBytes(JoinBytes(kIdent116, kNak), kTimeEmpty)});
  EXPECT_EQ(Codes(), (std::vector<int>{0x83, kNak, 0xF7}));

  handled.clear();
  Receive({Hex("15"), Hex("15 15")});
  EXPECT_EQ(Codes(), (std::vector<int>{kNak, kNak, kNak}));
  EXPECT_EQ(ctx.RxCommand, kNak);
}

TEST_F(ReceiveTest, NakThatEndsTheEventDropsTheRestOfTheRead) {
  nakEndsEvent = true;
  Receive({JoinBytes(kNak, kTimeEmpty)});
  EXPECT_EQ(Codes(), std::vector<int>{kNak});
}

TEST_F(ReceiveTest, TwoRepliesInOneReadUnlessTheFirstEndsTheEvent) {
  Receive({JoinBytes(kIdent116, kTimeEmpty)});
  EXPECT_EQ(Codes(), (std::vector<int>{0x83, 0xF7}));

  handled.clear();
  Handle(0x83, ReplyOutcome::EndEvent);
  Receive({JoinBytes(kIdent116, kTimeEmpty)});
  EXPECT_EQ(Codes(), std::vector<int>{0x83});
}

TEST_F(ReceiveTest, UnknownCodesAreDroppedSilently) {
  Receive({Hex("02 45 01 02 03"), Extended(0x99, {1, 2, 3}), kTimeEmpty});
  EXPECT_EQ(Codes(), std::vector<int>{0xF7});
  EXPECT_TRUE(link.view.boxes().empty());
}

TEST_F(ReceiveTest, CompleteReplyStopsTheNoReplyWatchdog) {
  link.timerEfi.setInterval(2000);
  link.timerEfi.setEnabled(true);
  Receive({kIdent16});
  EXPECT_FALSE(link.timerEfi.Enabled());
}

TEST_F(ReceiveTest, FullBufferClosesAnOverlongReplyOnce) {
  Bytes overlong{kStx, 0x70};
  overlong.insert(overlong.end(), 300, 0x41);
  overlong.push_back(kEtx);
  Receive({JoinBytes(overlong, kTimeEmpty)});
  ASSERT_EQ(Codes(), std::vector<int>{0x70});
  EXPECT_EQ(handled[0].stored, Bytes(kRxCapacity, 0x41));

  Receive({Hex("41"), Hex("42 43")});  // stray bytes do not close it again
  EXPECT_EQ(Codes(), std::vector<int>{0x70});
  Receive({kTimeEmpty});
  EXPECT_EQ(Codes(), (std::vector<int>{0x70, 0xF7}));
}

TEST_F(ReceiveTest, LongestStorableExtendedReplyPasses) {
  // Length 253: 256 stored bytes fill the buffer exactly, and 253 + 2 bytes to
  // come after the length byte must not be taken for the "length next" mark.
  Bytes data(253);
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i * 7);
  Receive({Extended(0x83, data)});
  ASSERT_EQ(Codes(), std::vector<int>{0x83});
  EXPECT_EQ(handled[0].stored.size(), 256u);
  EXPECT_TRUE(link.view.boxes().empty());
}

TEST_F(ReceiveTest, LengthBeyondTheBufferFailsTheChecksum) {
  for (const std::size_t len : {254u, 255u}) {
    handled.clear();
    link.view.clearBoxes();
    ctx.bUpdateRun = true;
    // A correct checksum over all the data: only the buffer's size may refuse it.
    Bytes data(len, 0x5A);
    Receive({JoinBytes(Extended(0x83, data), kTimeEmpty)});
    EXPECT_TRUE(handled.empty()) << len;
    ASSERT_EQ(link.view.boxes().size(), 1u) << len;
    EXPECT_EQ(link.view.boxes()[0].prompt, CrcMessage());
    EXPECT_FALSE(ctx.bUpdateRun);
    Receive({kTimeEmpty});
    EXPECT_EQ(Codes(), std::vector<int>{0xF7}) << len;
  }
}

TEST_F(ReceiveTest, ReceiveTimeoutClosesATruncatedReply) {
  // Bytes of an extended reply keep the timeout from expiring.
  link.port.sendToLoader(Hex("02 83 02"), 0);
  link.port.sendToLoader(Hex("00"), 900);
  link.port.sendToLoader(Hex("74"), 1800);
  link.scheduler.advanceBy(2700);
  EXPECT_EQ(link.timer1.tickCount(), 0);
  EXPECT_FALSE(ctx.bFrameComplete);

  link.port.preload(Hex("3D"));  // arrived but not yet read: the tick discards it
  link.scheduler.advanceBy(100);
  EXPECT_EQ(link.timer1.tickCount(), 1);
  EXPECT_TRUE(ctx.bFrameComplete);
  EXPECT_FALSE(ctx.bExpectCommand);
  EXPECT_EQ(ctx.RxRemaining, 0);
  EXPECT_EQ(link.port.InBufferCount(), 0);

  // The next byte that is not STX closes the truncated reply: it fails its checksum.
  Receive({Hex("2C")});
  EXPECT_TRUE(handled.empty());
  EXPECT_EQ(link.view.boxes().size(), 1u);
}

TEST_F(ReceiveTest, StxAfterTheTimeoutDropsTheTruncatedReply) {
  Receive({Hex("02 83 02 00")});
  link.scheduler.advanceBy(1000);
  EXPECT_TRUE(ctx.bFrameComplete);
  Receive({kIdent116});
  EXPECT_EQ(Codes(), std::vector<int>{0x83});
  EXPECT_TRUE(link.view.boxes().empty());
}

TEST_F(ReceiveTest, ReceiveTimerStopsAfterACompleteReplyAndTicksOnWhileLeftEnabled) {
  Receive({kIdent116});
  EXPECT_FALSE(link.timer1.Enabled());
  Receive({Hex("02 83 05 01")});
  link.scheduler.advanceBy(3500);
  EXPECT_EQ(link.timer1.tickCount(), 3);
}

struct LineErrorCase {
  int event;
  bool acts;
};

TEST_F(ReceiveTest, LineErrorEvents) {
  const LineErrorCase cases[] = {
      {comEventBreak, false}, {comEvCTS, false},       {comEvDSR, false},         {comEvCD, false},
      {9999, false},          {comEventFrame, true},   {comEventOverrun, true},   {comEventRxOver, true},
      {comEventRxParity, true}, {comEventTxFull, true}, {comEventDCB, true},       {comEvRing, true},
      {comEvSend, true},      {comEvEOF, true},
  };
  for (const auto& c : cases) {
    ctx.bUpdateRun = true;
    ctx.TransferOffset = 0x300;
    ctx.LastErrorOffset = 0x200;
    ctx.RetryCount = 5;
    link.view.setEnabled(Control::Master, false);
    link.port.preload(Hex("02 80"));
    link.port.injectEvent(c.event);
    link.scheduler.runDue();

    EXPECT_EQ(ctx.bUpdateRun, !c.acts) << c.event;
    EXPECT_EQ(link.port.InBufferCount(), c.acts ? 0 : 2) << c.event;
    EXPECT_EQ(link.view.isEnabled(Control::Master), c.acts) << c.event;
    EXPECT_EQ(ctx.LastErrorOffset, c.acts ? 0x300 : 0x200) << c.event;
    EXPECT_EQ(ctx.RetryCount, c.acts ? 0 : 5) << c.event;
    link.port.Input();
  }
  EXPECT_TRUE(link.view.boxes().empty());
  EXPECT_TRUE(handled.empty());
}

TEST_F(ReceiveTest, LineErrorsAtTheSameOffsetCountAsRetries) {
  ctx.TransferOffset = 0x1200;
  for (int i = 0; i < 3; ++i) link.port.injectEvent(comEventFrame, i);
  link.scheduler.advanceBy(5);
  EXPECT_EQ(ctx.LastErrorOffset, 0x1200);
  EXPECT_EQ(ctx.RetryCount, 2);
  ctx.TransferOffset = 0x1280;
  link.port.injectEvent(comEventRxParity);
  link.scheduler.runDue();
  EXPECT_EQ(ctx.RetryCount, 0);
  EXPECT_EQ(ctx.LastErrorOffset, 0x1280);
}

TEST_F(ReceiveTest, HandlerBoxLetsTheNextReplyInWhileOpen) {
  // A handler that asks the operator: the reply arriving meanwhile is handled inside.
  ctx.handlers[0x83] = [this](Context& c) {
    handled.push_back({0x83, {}});
    std::string title;
    c.view.HookedMsgBox("?", vbOKCancel, title);
    return ReplyOutcome::Continue;
  };
  link.view.openFor(50);
  link.port.sendToLoader(kIdent116, 0);
  link.port.sendToLoader(kTimeEmpty, 20);
  link.scheduler.advanceBy(10);
  EXPECT_EQ(Codes(), (std::vector<int>{0x83, 0xF7}));
}

TEST(PlainNumber, WritesSerialsWithoutFractionOrExponent) {
  EXPECT_EQ(PlainNumber(0), "0");
  EXPECT_EQ(PlainNumber(4294967295.0), "4294967295");
  EXPECT_EQ(PlainNumber(12.5), "12.5");
}

}  // namespace
}  // namespace qv

namespace qv {
namespace {

// A short frame the loader builds reads back unchanged: exactly the bytes
// below 0x20 travel behind DLE, and the receiver takes them back out.
TEST_F(ReceiveTest, ShortFrameRoundTrip) {
  Bytes payload{0x70};
  for (int b = 0; b < 0x40; ++b) payload.push_back(static_cast<std::uint8_t>(b));
  const Bytes frame = MakeFrame(payload);
  EXPECT_EQ(frame.size(), 3u + 0x40 + 0x20 + 1);
  Receive({Bytes(frame.begin() + 1, frame.end())});
  ASSERT_EQ(Codes(), std::vector<int>{0x70});
  EXPECT_EQ(handled[0].stored, Bytes(payload.begin() + 1, payload.end()));
}

}  // namespace
}  // namespace qv
