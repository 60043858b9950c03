#include <gtest/gtest.h>

#include "app/MlStringModule.h"
#include "protocol/ReceiveReply.h"
#include "sim/virtual/VirtualPlatform.h"
#include "support/HexBytes.h"

namespace qv {
namespace {

using test::Hex;
using Codes = std::vector<int>;

// Replies with checksums from the worked values, so a broken generator shows.
const Bytes kIdent116 = Hex("02 83 02 00 74 3D 2C 03");
const Bytes kTimeEmpty = Hex("02 F7 00 F7 00 03");

// A reply as the station sends it: the loader's frame without the wake-up byte.
Bytes Reply(std::uint8_t code, const Bytes& data) {
  Bytes frame = MakeFrame(JoinBytes(code, data));
  frame.erase(frame.begin());
  return frame;
}

class ReceiveTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WireStationLink(ctx);
    ctx.station.StationSerial = 12345678;
    link.port.setSettings("38400,n,8,1");
    link.port.setPortOpen(true);
    for (const int code : {0x70, 0x71, 0x7E, 0x80, 0x83, 0x8F, 0xF6, 0xF7, int{kNak}}) Handle(code);
  }

  void Handle(int code, ReplyOutcome outcome = ReplyOutcome::Continue) {
    replies.byCode[static_cast<std::size_t>(code)] = [this, code, outcome](Context& c) {
      codes.push_back(code);
      stored.emplace_back(c.rx.RxBuffer.begin(), c.rx.RxBuffer.begin() + c.rx.RxCount);
      return outcome;
    };
  }

  // Each chunk is one receive event, 10 ms apart.
  void Receive(const std::vector<Bytes>& chunks) {
    sim::VirtualMs delay = 0;
    for (const Bytes& chunk : chunks) link.port.sendToLoader(chunk, delay += 10);
    link.scheduler.advanceBy(delay);
  }

  void Clear() {
    codes.clear();
    stored.clear();
    link.view.clearBoxes();
  }

  // One checksum message, the update stopped, no handler run.
  void ExpectChecksumFailure(const std::string& trace) {
    EXPECT_TRUE(codes.empty()) << trace;
    ASSERT_EQ(link.view.boxes().size(), 1u) << trace;
    EXPECT_EQ(link.view.boxes()[0].prompt, GetMlString(ctx, kMsgCrcError, "Station responds with CRC error!"));
    EXPECT_FALSE(ctx.run.bUpdateRun) << trace;
  }

  ReplyTable replies;
  sim::VirtualPlatform link{replies};
  Context& ctx = link.ctx;
  Codes codes;
  std::vector<Bytes> stored;  // RxBuffer[0 .. RxCount) at each handler
};

TEST_F(ReceiveTest, ReplySplitAtEveryPositionIsAssembledOnce) {
  for (std::size_t cut = 1; cut < kIdent116.size(); ++cut) {
    Clear();
    const auto at = kIdent116.begin() + static_cast<std::ptrdiff_t>(cut);
    Receive({Bytes(kIdent116.begin(), at), Bytes(at, kIdent116.end())});
    ASSERT_EQ(codes, Codes{0x83}) << "cut " << cut;
    EXPECT_EQ(stored[0], Hex("02 00 74 3D 2C"));
  }
  EXPECT_TRUE(link.view.boxes().empty());
}

TEST_F(ReceiveTest, RepliesAreStoredWithoutTheirFraming) {
  Bytes low;  // in a short reply the values below 0x20 travel behind DLE
  for (int b = 0; b < 0x40; ++b) low.push_back(static_cast<std::uint8_t>(b));
  EXPECT_EQ(Reply(0x70, low).size(), 3u + 0x40 + 0x20);
  const Bytes extended = Reply(0x80, {0x00, 0x01, 0x00, 0x02, 0x03, 0x10, 0x15, 0xFF});
  const std::tuple<Bytes, int, Bytes> cases[] = {
      {Hex("02 7E 10 01 03"), 0x7E, Hex("01")},
      {Hex("02 02 02 71 03"), 0x71, {}},            // repeated STX before the code is skipped
      {Hex("41 42 02 70 53 03"), 0x70, Hex("53")},  // bytes before STX are overwritten by the reply
      {Reply(0x70, low), 0x70, low},
      {extended, 0x80, Bytes(extended.begin() + 2, extended.end() - 1)},  // length, data, checksum
  };
  for (const auto& [wire, code, data] : cases) {
    Clear();
    Receive({wire});
    ASSERT_EQ(codes, Codes{code}) << BytesToHex(wire);
    EXPECT_EQ(stored[0], data) << BytesToHex(wire);
  }
  EXPECT_TRUE(link.view.boxes().empty());
}

TEST_F(ReceiveTest, Code0xC4IsAssembledShortButChecked) {
  ctx.run.bUpdateRun = true;
  Receive({Hex("02 C4 10 02 41 03")});
  ExpectChecksumFailure("C4");
}

TEST_F(ReceiveTest, WrongChecksumShowsOneMessageRunsNoHandlerAndDropsTheRead) {
  Bytes bad = kIdent116;
  bad[6] ^= 0x01;
  ctx.run.bUpdateRun = true;
  link.view.setEnabled(Control::Master, false);
  Receive({JoinBytes(bad, kTimeEmpty)});

  ASSERT_NO_FATAL_FAILURE(ExpectChecksumFailure("bad checksum"));
  EXPECT_EQ(link.view.boxes()[0].style, vbInformation | vbOKOnly);
  EXPECT_EQ(link.view.boxes()[0].title, "QV-Boot 12345678");
  EXPECT_TRUE(link.view.isEnabled(Control::Master));
  EXPECT_FALSE(ctx.rx.bFrameComplete);

  Receive({kTimeEmpty});  // the link recovers with the next reply
  EXPECT_EQ(codes, Codes{0xF7});
}

TEST_F(ReceiveTest, BytesArrivingWhileTheChecksumBoxIsOpenDoNotRaiseItAgain) {
  Bytes bad = kIdent116;
  bad[6] ^= 0x01;
  link.view.openFor(50);
  link.port.sendToLoader(bad, 0);
  for (const sim::VirtualMs at : {10, 20, 30}) link.port.sendToLoader(Hex("00"), at);
  link.scheduler.advanceBy(100);
  EXPECT_EQ(link.view.boxes().size(), 1u);
  EXPECT_TRUE(codes.empty());
}

TEST_F(ReceiveTest, RepliesAndNaksInOneReadRunInOrderUntilAHandlerEndsTheEvent) {
  const struct {
    std::vector<Bytes> chunks;
    int endsEvent;
    Codes expected;
  } cases[] = {
      {{JoinBytes(JoinBytes(kIdent116, kNak), kTimeEmpty)}, 0, {0x83, kNak, 0xF7}},
      {{Hex("15"), Hex("15 15")}, 0, {kNak, kNak, kNak}},
      {{JoinBytes(kNak, kTimeEmpty)}, kNak, {kNak}},
      {{JoinBytes(kIdent116, kTimeEmpty)}, 0x83, {0x83}},
      {{Hex("02 45 01 02 03"), Reply(0x99, {1, 2, 3}), kTimeEmpty}, 0, {0xF7}},  // unknown codes are dropped
  };
  for (const auto& c : cases) {
    Clear();
    if (c.endsEvent) Handle(c.endsEvent, ReplyOutcome::EndEvent);
    Receive(c.chunks);
    EXPECT_EQ(codes, c.expected) << c.endsEvent;
    EXPECT_TRUE(link.view.boxes().empty());
    if (c.endsEvent) Handle(c.endsEvent);
  }
}

TEST_F(ReceiveTest, AReplyThatEndedTheEventIsNotInterpretedAgain) {
  const Bytes ack = Reply(0x80, {0x00, 0x01, 0x00});
  const struct {
    const char* name;
    std::vector<Bytes> later;  // each a receive event after the acknowledgement
    Codes expected;
  } cases[] = {
      {"stray byte", {Hex("00")}, {0x80}},
      {"nak", {Hex("15")}, {0x80, kNak}},
      {"stray byte, then a reply", {Hex("41"), kTimeEmpty}, {0x80, 0xF7}},
  };
  Handle(0x80, ReplyOutcome::EndEvent);
  for (const auto& c : cases) {
    Clear();
    std::vector<Bytes> chunks{ack};
    chunks.insert(chunks.end(), c.later.begin(), c.later.end());
    Receive(chunks);
    EXPECT_EQ(codes, c.expected) << c.name;
    EXPECT_TRUE(link.view.boxes().empty()) << c.name;
  }
}

TEST_F(ReceiveTest, ABytePastAHandlerBoxDoesNotRunTheSameReplyAgain) {
  replies.byCode[0x83] = [this](Context& c) {
    codes.push_back(0x83);
    std::string title;
    c.view.HookedMsgBox("?", vbYesNo, title);
    return ReplyOutcome::Continue;
  };
  link.view.openFor(50);
  link.port.sendToLoader(kIdent116, 0);
  link.port.sendToLoader(Hex("00"), 20);
  link.scheduler.advanceBy(100);
  EXPECT_EQ(codes, Codes{0x83});
  EXPECT_EQ(link.view.boxes().size(), 1u);
}

TEST_F(ReceiveTest, FullBufferClosesAnOverlongReplyOnce) {
  Bytes overlong{kStx, 0x70};
  overlong.insert(overlong.end(), 300, 0x41);
  overlong.push_back(kEtx);
  Receive({JoinBytes(overlong, kTimeEmpty)});
  ASSERT_EQ(codes, Codes{0x70});
  EXPECT_EQ(stored[0], Bytes(kRxCapacity, 0x41));

  Receive({Hex("41"), Hex("42 43")});  // stray bytes do not close it again
  Receive({kTimeEmpty});
  EXPECT_EQ(codes, (Codes{0x70, 0xF7}));
}

TEST_F(ReceiveTest, ExtendedLengthUpTo253FitsTheBufferBeyondFailsTheChecksum) {
  // 253: 256 stored bytes fill the buffer exactly, and 253 + 2 bytes to come
  // after the length byte must not be taken for the "length next" mark.
  for (const std::size_t len : {253u, 254u, 255u}) {
    Clear();
    ctx.run.bUpdateRun = true;
    Bytes data(len);
    for (std::size_t i = 0; i < len; ++i) data[i] = static_cast<std::uint8_t>(i * 7);
    Receive({JoinBytes(Reply(0x83, data), kTimeEmpty)});
    if (len == 253) {
      ASSERT_EQ(codes, (Codes{0x83, 0xF7}));
      EXPECT_EQ(stored[0].size(), 256u);
      EXPECT_TRUE(link.view.boxes().empty());
      continue;
    }
    ExpectChecksumFailure(std::to_string(len));
    Receive({kTimeEmpty});
    EXPECT_EQ(codes, Codes{0xF7}) << len;
  }
}

// The checksum's low byte of a reply of length 254 never gets into the
// buffer; the slot behind the buffer holds 0, which must not pass for it.
TEST_F(ReceiveTest, Length254FailsItsChecksumEvenWhenTheLostByteWouldBeZero) {
  Bytes data(254, 0x5A);
  const auto lowByte = [&] { return CalcCrc(JoinBytes(Bytes{0x83, 254}, data)) & 0xFF; };
  for (unsigned seed = 0; seed < 0x10000 && lowByte() != 0; ++seed) {
    data[0] = static_cast<std::uint8_t>(seed);
    data[1] = static_cast<std::uint8_t>(seed >> 8);
  }
  ASSERT_EQ(lowByte(), 0u);
  ctx.run.bUpdateRun = true;
  Receive({Reply(0x83, data)});
  ExpectChecksumFailure("254, low byte 0");
}

TEST_F(ReceiveTest, ReceiveTimeoutClosesATruncatedReply) {
  link.timerEfi.setInterval(2000);
  link.timerEfi.setEnabled(true);
  Receive({kIdent116});  // a complete reply stops both the receive timer and the no-reply watchdog
  EXPECT_FALSE(link.timer1.Enabled());
  EXPECT_FALSE(link.timerEfi.Enabled());
  // Bytes of an extended reply keep the timeout from expiring.
  link.port.sendToLoader(Hex("02 83 02"), 0);
  link.port.sendToLoader(Hex("00"), 900);
  link.port.sendToLoader(Hex("74"), 1800);
  link.scheduler.advanceBy(2700);
  EXPECT_EQ(link.timer1.tickCount(), 0);
  EXPECT_FALSE(ctx.rx.bFrameComplete);

  link.port.preload(Hex("3D"));  // arrived but not yet read: the tick discards it
  link.scheduler.advanceBy(100);
  EXPECT_EQ(link.timer1.tickCount(), 1);
  EXPECT_TRUE(ctx.rx.bFrameComplete);
  EXPECT_FALSE(ctx.rx.bExpectCommand);
  EXPECT_EQ(ctx.rx.RxRemaining, 0);
  EXPECT_EQ(link.port.InBufferCount(), 0);

  // The next byte that is not STX closes the truncated reply: it fails its checksum.
  Receive({Hex("2C")});
  EXPECT_EQ(codes, Codes{0x83});
  EXPECT_EQ(link.view.boxes().size(), 1u);
}

TEST_F(ReceiveTest, StxAfterTheTimeoutDropsTheTruncatedReply) {
  Receive({Hex("02 83 02 00")});
  link.scheduler.advanceBy(1000);
  EXPECT_TRUE(ctx.rx.bFrameComplete);
  Receive({kIdent116});
  EXPECT_EQ(codes, Codes{0x83});
  EXPECT_TRUE(link.view.boxes().empty());
}

// The timeout leaves the reply closed; the NAK is acted on when it arrives
// and is not taken for that closed reply's code as well.
TEST_F(ReceiveTest, NakRightAfterAReceiveTimeoutRunsItsHandlerOnce) {
  Receive({Hex("02 83 02 00")});
  link.scheduler.advanceBy(1000);
  ASSERT_EQ(link.timer1.tickCount(), 1);
  Receive({Hex("15")});
  EXPECT_EQ(codes, Codes{kNak});
  Receive({kTimeEmpty});
  EXPECT_EQ(codes, (Codes{kNak, 0xF7}));
}

TEST_F(ReceiveTest, LineErrorEvents) {
  const std::vector<int> ignored = {comEventBreak, comEvCTS, comEvDSR, comEvCD, 9999};
  for (const int event : std::initializer_list<int>{comEventBreak, comEvCTS, comEvDSR, comEvCD, 9999, comEventFrame,
                          comEventOverrun, comEventRxOver, comEventRxParity, comEventTxFull, comEventDCB,
                          comEvRing, comEvSend, comEvEOF}) {
    const bool acts = std::find(ignored.begin(), ignored.end(), event) == ignored.end();
    ctx.run.TransferOffset = 0x300;
    ctx.run.LastErrorOffset = 0x200;
    ctx.run.RetryCount = 5;
    link.view.setEnabled(Control::Master, false);
    link.port.preload(Hex("02 80"));
    link.port.injectEvent(event);
    link.scheduler.runDue();

    EXPECT_EQ(link.port.InBufferCount(), acts ? 0 : 2) << event;
    EXPECT_EQ(link.view.isEnabled(Control::Master), acts) << event;
    EXPECT_EQ(ctx.run.LastErrorOffset, acts ? 0x300 : 0x200) << event;
    EXPECT_EQ(ctx.run.RetryCount, acts ? 0 : 5) << event;
    link.port.Input();
  }
  EXPECT_TRUE(link.view.boxes().empty());
  EXPECT_TRUE(codes.empty());
}

TEST_F(ReceiveTest, LineErrorsAtTheSameOffsetCountAsRetries) {
  ctx.run.TransferOffset = 0x1200;
  for (int i = 0; i < 3; ++i) link.port.injectEvent(comEventFrame, i);
  link.scheduler.advanceBy(5);
  EXPECT_EQ(ctx.run.LastErrorOffset, 0x1200);
  EXPECT_EQ(ctx.run.RetryCount, 2);
  ctx.run.TransferOffset = 0x1280;
  link.port.injectEvent(comEventRxParity);
  link.scheduler.runDue();
  EXPECT_EQ(ctx.run.RetryCount, 0);
  EXPECT_EQ(ctx.run.LastErrorOffset, 0x1280);
}

TEST_F(ReceiveTest, HandlerBoxLetsTheNextReplyInWhileOpen) {
  replies.byCode[0x83] = [this](Context& c) {
    codes.push_back(0x83);
    std::string title;
    c.view.HookedMsgBox("?", vbOKCancel, title);
    return ReplyOutcome::Continue;
  };
  link.view.openFor(50);
  link.port.sendToLoader(kIdent116, 0);
  link.port.sendToLoader(kTimeEmpty, 20);
  link.scheduler.advanceBy(10);
  EXPECT_EQ(codes, (Codes{0x83, 0xF7}));
}

}  // namespace
}  // namespace qv
