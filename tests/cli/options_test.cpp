// The command line, the questions and how a run without an operator answers
// them.
#include "cli/Options.h"

#include <gtest/gtest.h>

#include "cli/CliView.h"
#include "cli/Questions.h"
#include "texts/MessageIds.h"
#include "texts/MlStringModule.h"

namespace qv::cli {
namespace {

std::vector<std::string> Split(const std::string& line) {
  std::vector<std::string> words;
  std::size_t at = 0;
  while (at < line.size()) {
    const std::size_t end = std::min(line.find(' ', at), line.size());
    if (end > at) words.push_back(line.substr(at, end - at));
    at = end + 1;
  }
  return words;
}

ParseResult Parse(const std::string& line) {
  return ParseArguments(Split(line), [](const std::string& path) { return path == "/up"; });
}

TEST(CliOptions, UsageFaultsAreNamed) {
  // clang-format off
  const std::pair<const char*, const char*> cases[] = {
      {"flash --port COM1", "cli.usage.unknownCommand"},
      {"identify", "cli.usage.needsPort"},
      {"identify --port COM1 --port COM2", "cli.usage.onePort"},
      {"identify --port COM0", "cli.usage.badPort"},
      {"identify --port COM17", "cli.usage.badPort"},
      {"identify --port ttyUSB0", "cli.usage.badPort"},
      {"identify --port", "cli.usage.needsValue"},
      {"identify --port COM1 --folder /up", "cli.usage.unknownOption"},
      {"update --port COM1 --port com1 --folder /up", "cli.usage.portTwice"},
      {"update --port /dev/ttyUSB0 --port /dev/ttyUSB0 --folder /up", "cli.usage.portTwice"},
      {"update --port COM1", "cli.usage.needsFolder"},
      {"update --port COM1 --folder /elsewhere", "cli.usage.noFolder"},
      {"update --port COM1 --folder /up --yes 1000", "cli.usage.unknownQuestion"},
      {"update --port COM1 --folder /up --yes many", "cli.usage.unknownQuestion"},
      {"update --port COM1 --folder /up --lang es", "cli.usage.badLanguage"},
      {"update --port COM1 --folder /up --log", "cli.usage.needsValue"},
      {"time --port COM1 --yes 1231", "cli.usage.unknownQuestion"},
      {"time --port COM1 --trace t.txt", "cli.usage.unknownOption"},
      {"ports --port COM1", "cli.usage.unknownOption"},
      {"identify --watch", "cli.usage.unknownOption"},
      {"update --folder /up --watch-in", "cli.usage.needsValue"},
  };
  // clang-format on
  for (const auto& [line, error] : cases) {
    const ParseResult parsed = Parse(line);
    EXPECT_FALSE(parsed.options) << line;
    EXPECT_EQ(parsed.error.name, error) << line;
  }
  EXPECT_EQ(Parse("update --port COM1 --port COM01 --folder /up").error.values,
            std::vector<std::string>{"COM01"});
}

TEST(CliOptions, AWholeUpdateLineIsTakenApart) {
  const ParseResult parsed = Parse(
      "update --port COM3 --port /dev/pts/7 --folder /up --remote --yes 1231 --yes 1202 "
      "--trace t.txt --json --log rec.csv --lang fr");
  ASSERT_TRUE(parsed.options);
  const Options& o = *parsed.options;
  EXPECT_EQ(o.command, Command::Update);
  EXPECT_EQ(o.ports, (std::vector<std::string>{"COM3", "/dev/pts/7"}));
  EXPECT_EQ(o.folder, "/up");
  EXPECT_TRUE(o.remote && o.json);
  EXPECT_EQ(o.yes, (std::set<int>{1202, 1231}));
  EXPECT_EQ(o.trace, "t.txt");
  EXPECT_EQ(o.log, "rec.csv");
  EXPECT_EQ(LanguageOffset(o.lang), 2000);

  for (const char* line : {"", "--help", "update --port COM1 --help"})
    EXPECT_EQ(Parse(line).options->command, Command::Help) << line;
  EXPECT_EQ(Parse("--help --lang de").options->lang, "de");
  EXPECT_EQ(Parse("time --port com16 --yes 1208").options->yes, std::set<int>{1208});
  EXPECT_EQ(Parse("ports --json").options->command, Command::Ports);
  // A watch needs no port, takes the named ones too, and goes station after station.
  const auto watch = Parse("update --folder /up --watch").options;
  ASSERT_TRUE(watch);
  EXPECT_EQ(watch->watch, kStationLinkFolder);
  EXPECT_TRUE(watch->series);
  const auto rack = Parse("time --port /dev/a --port /dev/b --watch-in /rack").options;
  ASSERT_TRUE(rack);
  EXPECT_EQ(rack->watch, "/rack");
  EXPECT_EQ(rack->ports.size(), 2u);
}

TEST(CliQuestions, DefaultsSendNothingMoreExceptAfterTheKey) {
  // clang-format off
  const struct { int id; int style; std::set<int> flipped; int answer; } cases[] = {
      {1231, vbOKCancel, {}, vbCancel}, {1231, vbOKCancel, {1231}, vbOK},
      {1222, vbOKCancel, {1231}, vbCancel}, {1192, vbYesNo, {}, vbNo},
      {1202, vbYesNo, {1202}, vbYes}, {1186, vbOKCancel, {}, vbCancel},
      {1208, vbYesNo, {1208}, vbYes}, {1226, vbOKCancel, {}, vbOK},
      {1226, vbOKCancel, {1226}, vbCancel},
      {0, vbOKOnly, {}, vbOK}, {0, vbOKCancel, {}, vbOK},
      {0, vbOKCancel | vbDefaultButton2, {}, vbCancel}, {0, vbYesNo | vbDefaultButton2, {}, vbNo},
  };
  // clang-format on
  for (const auto& c : cases) EXPECT_EQ(AnswerFor(c.id, c.style, c.flipped), c.answer) << c.id;
}

TEST(CliView, AnswersEachBoxByTheIdOfItsTextWhateverItSays) {
  CliView view({kMsgSameFirmware}, ',');
  std::string title;
  // Words no table holds: the id alone says which question this is.
  EXPECT_EQ(view.HookedMsgBox(kMsgSameFirmware, "Reworded: flash it once more?",
                              vbQuestion | vbOKCancel | vbDefaultButton2, title),
            vbOK);
  EXPECT_EQ(title, kAppTitle);
  // The question's own words under no id ask nothing: the box's default.
  const std::string same = GetMlString(1000, kMsgSameFirmware, "");
  EXPECT_EQ(view.HookedMsgBox(0, same, vbQuestion | vbOKCancel | vbDefaultButton2, title),
            vbCancel);
  EXPECT_EQ(view.HookedMsgBox(kMsgStationNotReady, "x", vbCritical, title), vbOK);
  ASSERT_EQ(view.boxes().size(), 3u);
  EXPECT_EQ(view.boxes()[0].question, kMsgSameFirmware);
  EXPECT_EQ(view.boxes()[1].question, 0);
  EXPECT_EQ(view.boxes()[2].messageId, kMsgStationNotReady);
  EXPECT_EQ(view.boxes()[2].question, 0);
  view.setText(Control::Master, "remote");
  EXPECT_EQ(view.text(Control::Master), "remote");
  EXPECT_TRUE(view.isEnabled(Control::btnStart));
  view.setEnabled(Control::btnStart, false);
  EXPECT_FALSE(view.isEnabled(Control::btnStart));
  EXPECT_EQ(view.DecimalSeparator(), ',');
}

TEST(CliQuestions, PromptsGoOnOneLine) {
  EXPECT_EQ(OneLine("Voltage too low = 2.90 Volts!\rFirmware will be loaded anyway!"),
            "Voltage too low = 2.90 Volts! / Firmware will be loaded anyway!");
  EXPECT_EQ(OneLine("  a \r\n\r\n  b\r"), "a / b");
  EXPECT_EQ(OneLine("plain"), "plain");
}

}  // namespace
}  // namespace qv::cli
