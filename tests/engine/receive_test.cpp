#include <gtest/gtest.h>

#include "protocol/ReceiveReply.h"
#include "sim/virtual/VirtualPlatform.h"
#include "support/HexBytes.h"
#include "texts/MlStringModule.h"

namespace qv {
namespace {

using test::Hex;
using Codes = std::vector<int>;

// Replies with checksums from the worked values, so a broken generator shows.
const Bytes kIdent116 = Hex("02 83 02 00 74 3D 2C 03");
const Bytes kTimeEmpty = Hex("02 F7 00 F7 00 03");
const Bytes kBadIdent = Hex("02 83 02 00 74 3D 2D 03");

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

  // `boxStyle` makes the handler wait in a box of that style.
  void Handle(int code, ReplyOutcome outcome = ReplyOutcome::Continue, int boxStyle = 0) {
    replies.byCode[static_cast<std::size_t>(code)] = [=, this](Context& c) {
      codes.push_back(code);
      stored.emplace_back(c.rx.RxBuffer.begin(), c.rx.RxBuffer.begin() + c.rx.RxCount);
      std::string title;
      if (boxStyle) c.view.HookedMsgBox(0, "?", boxStyle, title);
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

  ReplyTable replies;
  sim::VirtualPlatform link{replies};
  Context& ctx = link.ctx;
  Codes codes;
  std::vector<Bytes> stored;  // RxBuffer[0 .. RxCount) at each handler
};

TEST_F(ReceiveTest, RepliesSplitAnywhereAreStoredWithoutTheirFraming) {
  Bytes low;  // in a short reply the values below 0x20 travel behind DLE
  for (int b = 0; b < 0x40; ++b) low.push_back(static_cast<std::uint8_t>(b));
  ASSERT_EQ(Reply(0x70, low).size(), 3u + 0x40 + 0x20);
  const Bytes extended = Reply(0x80, {0x00, 0x01, 0x00, 0x02, 0x03, 0x10, 0x15, 0xFF});
  // 253: 256 stored bytes fill the buffer exactly, and the 253 + 2 bytes to come
  // after the length byte must not be taken for the "length next" mark; ETX
  // within an extended reply is data.
  const Bytes fullest = Reply(0x83, Bytes(253, kEtx));
  const auto unframed = [](const Bytes& wire) { return Bytes(wire.begin() + 2, wire.end() - 1); };
  const std::tuple<Bytes, int, Bytes> cases[] = {
      {kIdent116, 0x83, Hex("02 00 74 3D 2C")},
      {Hex("02 7E 10 01 03"), 0x7E, Hex("01")},
      {Hex("02 02 02 71 03"), 0x71, {}},            // repeated STX before the code is skipped
      {Hex("41 42 02 70 53 03"), 0x70, Hex("53")},  // bytes before STX are overwritten by the reply
      {Reply(0x70, low), 0x70, low},
      {extended, 0x80, unframed(extended)},  // length, data, checksum
      {fullest, 0x83, unframed(fullest)},
  };
  for (const auto& [wire, code, data] : cases) {
    for (std::size_t cut = 1; cut < wire.size(); ++cut) {
      Clear();
      const auto at = wire.begin() + static_cast<std::ptrdiff_t>(cut);
      Receive({Bytes(wire.begin(), at), Bytes(at, wire.end()), kTimeEmpty});
      ASSERT_EQ(codes, (Codes{code, 0xF7})) << BytesToHex(wire) << ", cut " << cut;
      EXPECT_EQ(stored[0], data) << BytesToHex(wire);
    }
  }
  EXPECT_TRUE(link.view.boxes().empty());
}

TEST_F(ReceiveTest, AFailedChecksumShowsOneMessageStopsTheUpdateAndDropsTheRead) {
  // The checksum's low byte of a reply of length 254 never gets into the
  // buffer; the slot behind the buffer holds 0, which must not pass for it.
  const Bytes lowByteZero = Reply(0x83, JoinBytes(Bytes{0x33, 0x00}, Bytes(252, 0x5A)));
  ASSERT_EQ(lowByteZero[lowByteZero.size() - 2], 0x00);
  const std::pair<const char*, Bytes> cases[] = {
      {"bad checksum", kBadIdent},
      {"C4 is assembled short but checked", Hex("02 C4 10 02 41 03")},
      {"length 254", Reply(0x83, Bytes(254, kEtx))},
      {"length 254, low byte 0", lowByteZero},
      {"length 255", Reply(0x83, Bytes(255, kEtx))},
  };
  for (const auto& [name, wire] : cases) {
    Clear();
    ctx.run.bUpdateRun = true;
    link.view.setEnabled(Control::Master, false);
    link.view.openFor(50);  // stray bytes arrive while the box is open
    Receive({JoinBytes(wire, kTimeEmpty), Hex("00"), Hex("00")});
    EXPECT_TRUE(codes.empty()) << name;
    ASSERT_EQ(link.view.boxes().size(), 1u) << name;
    const auto& box = link.view.boxes()[0];
    EXPECT_EQ(box.prompt, GetMlString(ctx, kMsgCrcError, "Station responds with CRC error!"));
    EXPECT_EQ(std::pair(box.style, box.title),
              std::pair(vbInformation | vbOKOnly, std::string("QV-Boot 12345678")));
    EXPECT_EQ(std::pair(ctx.run.bUpdateRun, link.view.isEnabled(Control::Master)),
              std::pair(false, true));
    Receive({kTimeEmpty});  // the link recovers with the next reply
    EXPECT_EQ(codes, Codes{0xF7}) << name;
  }
}

// A handler ending the event drops the rest of that read, and the reply it
// handled is not interpreted again by later bytes.
TEST_F(ReceiveTest, RepliesAndNaksRunInOrderUntilAHandlerEndsTheEvent) {
  const Bytes ack = Reply(0x80, {0x00, 0x01, 0x00});
  // clang-format off
  const std::tuple<std::vector<Bytes>, int, Codes> cases[] = {
      {{JoinBytes(JoinBytes(kIdent116, kNak), kTimeEmpty)}, 0, {0x83, kNak, 0xF7}},
      {{Hex("15"), Hex("15 15")}, 0, {kNak, kNak, kNak}},
      {{JoinBytes(kNak, kTimeEmpty)}, kNak, {kNak}},
      {{JoinBytes(kIdent116, kTimeEmpty)}, 0x83, {0x83}},
      {{Hex("02 45 01 02 03"), Reply(0x99, {1, 2, 3}), kTimeEmpty}, 0, {0xF7}},  // unknown codes are dropped
      {{ack, Hex("00")}, 0x80, {0x80}},
      {{ack, Hex("15")}, 0x80, {0x80, kNak}},
      {{ack, Hex("41"), kTimeEmpty}, 0x80, {0x80, 0xF7}},
  };
  // clang-format on
  for (const auto& [chunks, endsEvent, expected] : cases) {
    Clear();
    if (endsEvent) Handle(endsEvent, ReplyOutcome::EndEvent);
    Receive(chunks);
    EXPECT_EQ(codes, expected) << BytesToHex(chunks[0]);
    EXPECT_TRUE(link.view.boxes().empty());
    if (endsEvent) Handle(endsEvent);
  }
}

// While a box is open, from a handler or for a failed checksum, the next reply
// comes in, and a stray byte does not run or fail the reply in hand again.
TEST_F(ReceiveTest, BytesArrivingWhileABoxIsOpen) {
  Handle(0x83, ReplyOutcome::Continue, vbYesNo);
  link.view.openFor(50);
  for (const auto& [wire, expected] :
       {std::pair(kBadIdent, Codes{0xF7}), {kIdent116, {0x83, 0xF7}}}) {
    Clear();
    Receive({wire, Hex("00"), kTimeEmpty});
    EXPECT_EQ(codes, expected);
    EXPECT_EQ(link.view.boxes().size(), 1u);
  }
}

TEST_F(ReceiveTest, FullBufferClosesAnOverlongReplyOnce) {
  Bytes overlong{kStx, 0x70};
  overlong.insert(overlong.end(), 300, 0x41);
  overlong.push_back(kEtx);
  Receive({JoinBytes(overlong, kTimeEmpty), Hex("41"), Hex("42 43"), kTimeEmpty});
  ASSERT_EQ(codes, (Codes{0x70, 0xF7}));
  EXPECT_EQ(stored[0], Bytes(kRxCapacity, 0x41));
}

// Bytes of an extended reply keep the receive timeout from expiring; when it
// expires it discards what is unread and leaves the reply closed: a NAK is
// acted on once, not taken for that reply's code as well; STX starts afresh;
// any other byte closes the truncated reply, which fails its checksum.
TEST_F(ReceiveTest, ReceiveTimeoutClosesATruncatedReply) {
  link.timerEfi.setInterval(2000);
  link.timerEfi.setEnabled(true);
  Receive({kIdent116});  // a complete reply stops both the receive timer and the no-reply watchdog
  EXPECT_FALSE(link.timer1.Enabled());
  EXPECT_FALSE(link.timerEfi.Enabled());
  const std::tuple<std::vector<Bytes>, Codes, std::size_t> cases[] = {
      {{Hex("15"), kTimeEmpty}, {kNak, 0xF7}, 0}, {{kIdent116}, {0x83}, 0}, {{Hex("2C")}, {}, 1}};
  for (const auto& [later, expected, boxes] : cases) {
    Clear();
    const int ticks = link.timer1.tickCount();
    link.port.sendToLoader(Hex("02 83 02"), 0);
    link.port.sendToLoader(Hex("00"), 900);
    link.scheduler.advanceBy(1800);
    EXPECT_EQ(link.timer1.tickCount(), ticks);
    link.port.preload(Hex("74"));  // arrived but not yet read: the tick discards it
    link.scheduler.advanceBy(1000);
    ASSERT_EQ(link.timer1.tickCount(), ticks + 1);
    EXPECT_EQ(link.port.InBufferCount(), 0);
    EXPECT_FALSE(link.timer1.Enabled());  // one tick: a later reply must not be cut
    Receive(later);
    EXPECT_EQ(codes, expected) << BytesToHex(later[0]);
    EXPECT_EQ(link.view.boxes().size(), boxes) << BytesToHex(later[0]);
  }
}

TEST_F(ReceiveTest, LineErrorsDropTheInputAndCountRetriesPerOffset) {
  // clang-format off
  const std::vector<int> ignored = {comEventBreak, comEvCTS, comEvDSR, comEvCD, 9999};
  const std::vector<int> acting = {comEventFrame, comEventOverrun, comEventRxOver, comEventRxParity, comEventTxFull,
                                   comEventDCB, comEvRing, comEvSend, comEvEOF};
  // clang-format on
  for (const bool acts : {false, true}) {
    for (const int event : acts ? acting : ignored) {
      ctx.run.TransferOffset = 0x300;
      ctx.run.LastErrorOffset = 0x200;
      ctx.run.RetryCount = 5;
      link.view.setEnabled(Control::Master, false);
      link.port.preload(Hex("02 80"));
      link.port.injectEvent(event);
      link.scheduler.runDue();
      // Input dropped, the master switch free again, the offset and retries recorded.
      EXPECT_EQ(std::tuple(link.port.InBufferCount(), link.view.isEnabled(Control::Master),
                           ctx.run.LastErrorOffset, ctx.run.RetryCount),
                acts ? std::tuple(0, true, 0x300, 0) : std::tuple(2, false, 0x200, 5))
          << event;
      link.port.Input();
    }
  }
  EXPECT_TRUE(link.view.boxes().empty() && codes.empty());
  // Errors at the offset of the last one count as retries of it.
  for (int i = 0; i < 3; ++i) link.port.injectEvent(comEventFrame, i);
  link.scheduler.advanceBy(5);
  EXPECT_EQ(std::pair(ctx.run.LastErrorOffset, ctx.run.RetryCount), std::pair(0x300, 3));
}

}  // namespace
}  // namespace qv
