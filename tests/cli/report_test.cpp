// What a run came to, and the forms it is reported in.
#include "cli/Report.h"

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "cli/TracingComm.h"
#include "core/View.h"
#include "protocol/Commands.h"
#include "sim/virtual/VirtualSerialPort.h"

namespace qv::cli {
namespace {

BoxRecord Asked(int id, int answer) {
  return {"?", vbOKCancel, id, answer};
}

TEST(CliResult, OutcomeAndExitCode) {
  // clang-format off
  const struct { bool completed; bool wrote; std::vector<BoxRecord> boxes; Outcome outcome; } cases[] = {
      {true, true, {Asked(1226, vbOK)}, Outcome::Ok},
      {false, false, {Asked(1231, vbCancel)}, Outcome::Declined},    // same firmware, default
      {false, false, {Asked(1208, vbNo)}, Outcome::Declined},        // clock left alone
      {false, false, {Asked(1231, vbOK)}, Outcome::Failed},          // answered yes, then failed
      {false, true, {Asked(1186, vbCancel)}, Outcome::Failed},       // a transfer ended on a default
      {false, true, {Asked(1222, vbCancel)}, Outcome::Failed},
      {false, false, {{"Station not ready!", vbCritical, 0, vbOK}}, Outcome::Failed},
      {false, false, {}, Outcome::Failed},
  };
  // clang-format on
  for (const auto& c : cases) {
    EXPECT_EQ(Classify(c.completed, c.wrote, c.boxes), c.outcome)
        << (c.boxes.empty() ? 0 : c.boxes[0].question);
  }
  const auto results = [](std::initializer_list<Outcome> outcomes) {
    std::vector<StationResult> list;
    for (const Outcome o : outcomes) list.emplace_back().outcome = o;
    return list;
  };
  EXPECT_EQ(ExitCode(results({Outcome::Ok, Outcome::Ok})), 0);
  EXPECT_EQ(ExitCode(results({Outcome::Ok, Outcome::Declined})), 2);
  EXPECT_EQ(ExitCode(results({Outcome::Declined, Outcome::Failed, Outcome::Ok})), 1);
}

StationResult Updated() {
  StationResult r;
  r.port = "COM3";
  r.device = "/dev/ttyUSB0";
  r.identified = true;
  r.serial = "100001";
  r.hardware = "8115";
  r.boot = "0102";
  r.firmwareBefore = "550";
  r.firmwareAfter = "600";
  r.file = "/up/0x8115/QV_600.pupd";
  r.fileChecksum = "6065";
  r.bytes = 4000;
  r.seconds = 2.0;
  r.outcome = Outcome::Ok;
  r.message = "The station now has firmware:  600.";
  r.boxes = {Asked(1226, vbOK), {"done", vbInformation, 0, vbOK}};
  return r;
}

TEST(CliReport, CsvRowQuotesWhatWouldSplitIt) {
  EXPECT_EQ(CsvHeader(),
            "time,port,serial,hardware,boot,firmware_before,firmware_after,file,file_checksum,"
            "bytes,seconds,result,message\n");
  StationResult r = Updated();
  r.message = "Voltage \"low\", 2.9";
  EXPECT_EQ(CsvRow(r, "T"),
            "T,COM3,100001,8115,0102,550,600,/up/0x8115/QV_600.pupd,6065,4000,2.000,ok,"
            "\"Voltage \"\"low\"\", 2.9\"\n");
}

TEST(CliReport, ResultJsonCarriesTheSchemaFields) {
  const QJsonObject o =
      QJsonDocument::fromJson(QByteArray::fromStdString(JsonLine(ResultJson(Updated())))).object();
  for (const char* key : {"event", "time", "port", "device", "result", "serial", "hardware", "boot",
                          "firmwareBefore", "firmwareAfter", "file", "fileChecksum", "bytes",
                          "seconds", "bytesPerSecond", "message", "questions"})
    EXPECT_TRUE(o.contains(key)) << key;
  EXPECT_EQ(o["event"].toString(), "result");
  EXPECT_EQ(o["bytesPerSecond"].toDouble(), 2000);
  ASSERT_EQ(o["questions"].toArray().size(), 1);  // plain messages are no questions
  EXPECT_EQ(o["questions"][0]["id"].toInt(), 1226);
  EXPECT_TRUE(o["questions"][0]["default"].toBool());
  EXPECT_EQ(JsonLine(EventJson("summary", "")).find('\n'),
            JsonLine(EventJson("summary", "")).size() - 1);
}

TEST(CliReport, LiveLineAndTable) {
  const std::string line = StatusLine({"COM3", "100001", "transfer", 1000, 4000, 2.0}, 8);
  EXPECT_NE(line.find("[##......]"), std::string::npos) << line;
  EXPECT_NE(line.find("25%"), std::string::npos) << line;
  EXPECT_NE(line.find("500 B/s"), std::string::npos) << line;
  EXPECT_NE(line.find("ETA 00:06"), std::string::npos) << line;
  EXPECT_NE(StatusLine({"COM3", "", "contact", 0, 0, 0}).find("ETA --:--"), std::string::npos);

  StationResult failed = Updated();
  failed.port = "/dev/pts/12";
  failed.firmwareAfter.clear();
  failed.outcome = Outcome::Failed;
  const std::string table = ResultTable({Updated(), failed}, 1000);
  EXPECT_NE(table.find("550 -> 600"), std::string::npos) << table;
  EXPECT_NE(table.find("550 -> -"), std::string::npos) << table;
  EXPECT_NE(table.find("failed"), std::string::npos) << table;
  // Columns line up: every row is as long as the longest up to its last column.
  EXPECT_EQ(table.find("Serial number"),
            table.find("100001", table.find('\n')) - (table.find('\n') + 1));
}

TEST(CliTrace, FramesSentOnAnOpenPortAreToldOfAndPassedOn) {
  sim::VirtualScheduler scheduler;
  sim::VirtualSerialPort port(scheduler);
  TracingComm traced(port);
  std::vector<std::string> told;
  traced.onSent = [&](std::uint8_t code, const Bytes&) { told.push_back(CodeName(code)); };
  int events = 0;
  traced.OnComm = [&] { ++events; };
  traced.setCommPort(5);
  traced.Output(SetModeFrame(false));  // closed: nothing goes, nothing is told
  traced.setSettings("4800,n,8,1");
  traced.setPortOpen(true);
  EXPECT_EQ(port.Settings(), "4800,n,8,1");
  traced.Output(SetModeFrame(false));
  traced.Output(WriteBlockFrame(Bytes(10, 1), 0, 10));
  EXPECT_EQ(told, (std::vector<std::string>{"SET_MODE", "WRITE_BLOCK"}));
  ASSERT_EQ(port.sent().size(), 2u);
  EXPECT_EQ(port.sent()[0].bytes, SetModeFrame(false));
  port.sendToLoader(Bytes{kNak}, 0);
  scheduler.advanceBy(50);
  EXPECT_GT(events, 0);
  EXPECT_EQ(traced.Input(), Bytes{kNak});
  EXPECT_EQ(CodeName(0x42), "0x42");
  EXPECT_EQ(SentCode(Bytes{0x15}), 0);
}

}  // namespace
}  // namespace qv::cli
