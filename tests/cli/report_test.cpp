// What a run came to, and the forms it is reported in.
#include "cli/Report.h"

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "cli/Reasons.h"
#include "core/View.h"
#include "texts/MessageIds.h"
#include "texts/MlStringModule.h"

namespace qv::cli {
namespace {

BoxRecord Asked(int id, int answer) {
  return {"?", vbOKCancel, id, id, answer};
}

TEST(CliResult, ExitCode) {
  const auto results = [](std::initializer_list<Outcome> outcomes) {
    std::vector<StationResult> list;
    for (const Outcome o : outcomes) list.emplace_back().outcome = o;
    return list;
  };
  EXPECT_EQ(ExitCode(results({Outcome::Ok, Outcome::Ok})), 0);
  EXPECT_EQ(ExitCode(results({Outcome::Ok, Outcome::Declined})), 2);
  EXPECT_EQ(ExitCode(results({Outcome::Declined, Outcome::Failed, Outcome::Ok})), 1);
  EXPECT_EQ(ExitCode(results({Outcome::Declined, Outcome::Unconfirmed})), 4);
  EXPECT_EQ(ExitCode(results({Outcome::Unconfirmed, Outcome::Failed})), 1);
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
  r.boxes = {Asked(1226, vbOK), {"done", vbInformation, 0, 0, vbOK}};
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
  const LiveStatus transfer{"COM3", "100001", "transfer", 1000, 4000, 2.0};
  // clang-format off
  const struct { std::size_t width; bool ended; std::string_view has, hasNot; } lines[] = {
      {120, false, "[#####...............] 25%  500 B/s    ETA 00:06", ""},
      {80, false, "[####............] 25%  500 B/s    ETA 00:06", ""},  // the bar gives way first
      {64, false, "transfer     25%  500 B/s    ETA 00:06", "["},
      {30, false, "COM3          100001    transf", "ETA"},
      {120, true, "[#####...............] 25%", "B/s"},  // ended: no speed, no time left
  };
  // clang-format on
  for (const auto& l : lines) {
    LiveStatus status = transfer;
    status.ended = l.ended;
    const std::string line = StatusLine(status, l.width);
    EXPECT_LE(line.size(), l.width) << line;
    EXPECT_NE(line.find(l.has), std::string::npos) << line;
    if (!l.hasNot.empty()) {
      EXPECT_EQ(line.find(l.hasNot), std::string::npos) << line;
    }
  }
  EXPECT_NE(StatusLine({"COM3", "", "contact", 0, 0, 0}).find("ETA --:--"), std::string::npos);

  StationResult failed = Updated();
  failed.port = "/dev/pts/12";
  failed.firmwareAfter.clear();
  failed.outcome = Outcome::Failed;
  const std::string table = ResultTable({Updated(), failed}, 1000);
  EXPECT_NE(table.find("550 -> 600"), std::string::npos) << table;
  EXPECT_NE(table.find("550 -> -"), std::string::npos) << table;
  EXPECT_NE(table.find("failed"), std::string::npos) << table;
  EXPECT_NE(ResultTable({Updated()}, 0).find("  ok\n"), std::string::npos);  // one word everywhere
  // Columns line up: every row is as long as the longest up to its last column.
  EXPECT_EQ(table.find("Serial number"),
            table.find("100001", table.find('\n')) - (table.find('\n') + 1));
}

// The result says what happened and what to do, whatever box the engine
// raised last: never its question, never advice for the window.
TEST(CliReason, SaysWhatHappenedAndWhatToDo) {
  const RunFacts facts{"COM3", "8115", "/up"};
  const BoxRecord notReady{"Station not ready!", vbCritical, kMsgStationNotReady, 0, vbOK};
  // clang-format off
  const struct { std::vector<BoxRecord> boxes; std::int32_t lang; std::string_view says; } cases[] = {
      {{notReady}, 1000, "The station did not answer. Check the cable"},
      {{{GetMlString(0, 1205, ""), vbCritical, kMsgStationNotReady, 0, vbOK}}, 0, "Die Station hat nicht geantwortet."},
      {{Asked(1226, vbOK), notReady}, 1000, "The station did not answer."},
      {{{"Please select valid update file first", vbCritical, kMsgSelectFile, 0, vbOK}}, 1000,
       "No usable upgrade file for hardware 8115 in /up: it needs a subfolder 0x8115"},
      {{{"Problem writing to station.\r\nContinue?", vbOKCancel | vbQuestion, 1186, 1186, vbCancel}}, 1000,
       "Stopped at question 1186 (too many errors on one block: go on (through a new "
       "identification) or stop), answered Cancel. For the other answer, run again with --yes 1186."},
      {{{"Odd\r\nthing", vbCritical, 0, 0, vbOK}}, 2000, "sur le message « Odd / thing ». Relancez"},
      {{}, 1000, "The run ended without a result from the station."},
  };
  // clang-format on
  for (const auto& c : cases) {
    const std::string reason = FailureReason(c.boxes, facts, c.lang);
    EXPECT_NE(reason.find(c.says), std::string::npos) << reason;
    EXPECT_EQ(reason.find('?'), std::string::npos) << reason;
  }
}

TEST(CliPort, ADevicePathIsNamedByItsPathAndAnOwnerOnlyDeviceIsToldApart) {
  EXPECT_EQ(NameByPath("COM2 (/dev/pts/4) is in use by minicom. COM2 or COM12?", 2, "/dev/pts/4"),
            "/dev/pts/4 is in use by minicom. /dev/pts/4 or COM12?");
  // clang-format off
  const struct { unsigned mode; unsigned group; bool ownerOnly; } devices[] = {
      {0020660, 20, false},  // crw-rw---- root:dialout: joining the group helps
      {0020600, 20, true},   // crw------- root:dialout
      {0020660, 0, true},    // crw-rw---- root:root
      {0020640, 5, true},    // the group may only read
  };
  // clang-format on
  for (const auto& d : devices)
    EXPECT_EQ(OnlyOwnerOpens(d.mode, d.group), d.ownerOnly) << std::oct << d.mode << " " << d.group;
}

}  // namespace
}  // namespace qv::cli
