// Whole updates from Start to the confirmation, as the operator meets them.
#include "Bench.h"
#include "protocol/stdFunc.h"

namespace qv::test {
namespace {

using sim::ReplyFault;
using sim::ReplyFaultKind;
using sim::StationOptions;

bool Confirmed(const Bench& b) {
  const std::string caption = b.p.view.text(Control::Caption);
  return b.station().image() == b.image && b.boxesWith(1239) == 1 && caption.size() > 3 &&
         caption.substr(caption.size() - 3) == " ok";
}

StationOptions AtSpeed(std::uint32_t baud, bool usb = false) {
  StationOptions o;
  o.baud = baud;
  if (usb) o.identity.interfaceBits = 0x30;
  return o;
}

TEST(Update, EndsWithTheExactImageTheClockSetAndTheNewFirmwareConfirmed) {
  struct Row {
    const char* name;
    std::uint32_t stationBaud;
    int pcBaud;
    bool relayed;
    bool usb;
    std::uint32_t baudAfter;  // the PC's speed once the clock is set
  };
  const Row rows[] = {
      {"serial cable from 4800", 4800, 4800, false, false, 4800},
      {"serial cable found at 38400", 38400, 38400, false, false, 4800},
      {"relayed from 4800", 4800, 4800, true, false, 38400},
      {"relayed at 38400", 38400, 38400, true, false, 38400},
      {"USB keeps its speed", 4800, 4800, false, true, 38400},
  };
  for (const Row& row : rows) {
    Bench b(AtSpeed(row.stationBaud, row.usb), {.pcBaud = row.pcBaud, .relayed = row.relayed});
    b.start();
    EXPECT_TRUE(Confirmed(b)) << row.name << ": " << b.boxLog();
    EXPECT_EQ(b.station().summary().transferBaud, 38400u) << row.name;
    EXPECT_EQ(b.p.port.baud(), static_cast<int>(row.baudAfter)) << row.name;
    EXPECT_EQ(b.boxesWith(1226), 1) << row.name;  // the prompt after the key
  }
}

TEST(Update, ImagesOfEverySizeArriveWhole) {
  for (const std::size_t size : {1u, 127u, 128u, 129u, 1000u}) {
    Bench b(AtSpeed(4800), {.imageSize = size});
    b.start();
    EXPECT_TRUE(Confirmed(b)) << size << ": " << b.boxLog();
    EXPECT_EQ(b.framesSent(WRITE_BLOCK), static_cast<int>((size + 127) / 128)) << size;
  }
}

TEST(Update, TwoUpdatesInARowSendEachBlockOnce) {
  Bench b(AtSpeed(4800));
  b.start();
  ASSERT_TRUE(Confirmed(b)) << b.boxLog();
  b.p.port.clearSent();
  b.p.view.clearBoxes();
  b.start();
  EXPECT_TRUE(Confirmed(b)) << b.boxLog();
  EXPECT_EQ(b.framesSent(WRITE_BLOCK), 6);
  EXPECT_EQ(b.framesSent(SET_MODE), 2);  // the contact and the one after the speed switch
}

TEST(Update, NaksAndSilentBlocksEndInTheExactImage) {
  StationOptions o = AtSpeed(4800);
  o.faults.nakProbability = 0.10;
  o.faults.seed = 3;
  o.faults.replyFaults = {{ReplyFaultKind::Silent, WRITE_BLOCK, 2},
                          {ReplyFaultKind::Silent, WRITE_BLOCK, 4}};
  Bench b(o, {.imageSize = 3000});
  b.start(300'000);
  EXPECT_TRUE(Confirmed(b)) << b.boxLog();
  EXPECT_GT(b.station().summary().naks, 0);
}

TEST(Update, TheStationsVerdictOnTheKeyIsShownInsteadOfTheSuccessPrompt) {
  struct Row {
    const char* name;
    std::optional<std::string> key;
    std::optional<Bytes> image;
    int message;
  };
  const Row rows[] = {
      {"wrong key", std::string("not-the-key-at-all"), std::nullopt, 1171},
      {"wrong image", std::nullopt, Bytes(700, 0x55), 1169},
  };
  for (const Row& row : rows) {
    StationOptions o = AtSpeed(4800);
    o.expectedKey = row.key;
    o.expectedImage = row.image;
    Bench b(o);
    b.start();
    EXPECT_EQ(b.boxesWith(row.message), 1) << row.name << ": " << b.boxLog();
    EXPECT_EQ(b.boxesWith(1226), 0) << row.name;
    EXPECT_FALSE(b.ctx.run.bUpdateRun) << row.name;
  }
}

TEST(Update, EveryResultCodeShowsAText) {
  const std::pair<char, std::string> rows[] = {{'3', "Length error in transmission block"},
                                               {'9', "Error INIT_UPDATE 9"},
                                               {'Q', "Error INIT_UPDATE"}};
  for (const auto& [code, text] : rows) {
    Bench b(AtSpeed(4800), {.withStation = false});
    Bytes reply = MakeFrame(Bytes{INIT_UPDATE, static_cast<std::uint8_t>(code)});
    reply.erase(reply.begin());
    b.p.port.sendToLoader(reply);
    b.run(100);
    ASSERT_EQ(b.p.view.boxes().size(), 1u) << code;
    EXPECT_EQ(b.p.view.boxes()[0].prompt, text) << code;
  }
}

TEST(Update, OtherFirmwareAfterTheRestartIsReportedAndNotConfirmed) {
  Bench b(AtSpeed(4800), {.fileFirmware = "601", .imageFirmware = "600"});
  b.start();
  EXPECT_EQ(b.boxesWith(1239), 0) << b.boxLog();
  ASSERT_FALSE(b.p.view.boxes().empty());
  const std::string last = b.p.view.boxes().back().prompt;
  EXPECT_NE(last.find("600"), std::string::npos) << last;
  EXPECT_NE(last.find("601"), std::string::npos) << last;
  EXPECT_EQ(b.p.view.text(Control::Caption).find(" ok"), std::string::npos);
}

TEST(Update, TooManyNaksLetTheOperatorResumeOrStop) {
  struct Row {
    const char* name;
    int answer;
    std::optional<std::uint32_t> swappedSerial;
    bool completes;
    int message;
  };
  const Row rows[] = {
      {"OK resumes from the page start", vbOK, std::nullopt, true, 1186},
      {"Cancel stops", vbCancel, std::nullopt, false, 1186},
      {"another station on resume", vbOK, 424242u, false, 1214},
      {"a station that keeps confirming another block", vbCancel, std::nullopt, false, 1186},
  };
  for (const Row& row : rows) {
    StationOptions o = AtSpeed(4800);
    o.faults.nakBlocks = {{2, 22}};  // the third row: 21 resends, then the question
    if (std::string(row.name).find("another block") != std::string::npos) {
      o.faults.nakBlocks.clear();
      o.faults.replyFaults = {{ReplyFaultKind::WrongAddress, WRITE_BLOCK, 0}};
    }
    if (row.swappedSerial) {
      o.faults.swappedSerial = row.swappedSerial;
      o.faults.swapFrom = 2;
    }
    Bench b(o, {.imageSize = 1000});
    b.p.view.answer(row.answer);
    b.start(300'000);
    EXPECT_EQ(b.boxesWith(row.message), 1) << row.name << ": " << b.boxLog();
    EXPECT_EQ(Confirmed(b), row.completes) << row.name << ": " << b.boxLog();
    EXPECT_FALSE(b.ctx.run.bUpdateRun) << row.name;
    EXPECT_TRUE(b.p.view.isEnabled(Control::btnStart)) << row.name;
  }
}

TEST(Update, StopDuringTheTransferSendsNothingMore) {
  Bench b(AtSpeed(4800), {.imageSize = 20000});
  mnuCommandStartUpdate_Click(b.ctx);
  b.run(2000);
  ASSERT_TRUE(b.ctx.run.bUpdateRun);
  mnuCommandStop_Click(b.ctx);
  const auto sent = b.p.port.sent().size();
  b.run(60'000);
  EXPECT_EQ(b.p.port.sent().size(), sent);
  EXPECT_FALSE(b.p.port.PortOpen());
  EXPECT_TRUE(b.p.view.isEnabled(Control::btnStart));
  EXPECT_TRUE(b.p.view.boxes().empty()) << b.boxLog();
}

}  // namespace
}  // namespace qv::test
