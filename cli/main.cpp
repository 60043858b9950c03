// qvboot-cli: the loader from a terminal, for one station or many at once.
#include <signal.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QJsonArray>
#include <QTemporaryDir>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <mutex>

#include "cli/CliTexts.h"
#include "cli/Console.h"
#include "cli/Questions.h"
#include "cli/Rack.h"
#include "cli/StationRun.h"
#include "config/IniAccess.h"
#include "config/Settings.h"
#include "config/StationRecord.h"
#include "core/TextRules.h"
#include "platform/QtClock.h"
#include "platform/QtPortDevices.h"
#include "ports/SerialPorts.h"
#include "texts/MlStringModule.h"
#include "update/UpgradeDisk.h"
#include "update/UpgradeFile.h"

namespace {

using namespace qv;
using namespace qv::cli;
using qv::cli::NamedText;  // the command line's words first, also beside qv::NamedText
namespace fs = std::filesystem;

QString Q(const std::string& text) {
  return QString::fromStdString(text);
}

std::int32_t Language(const Options& options) {
  if (const auto offset = LanguageOffset(options.lang)) return *offset;
  IniAccess ini;
  return LocateSettingsFile(ini).empty() ? 1000 : ReadLanguage(ini);
}

int Usage(const UsageError& error, std::int32_t lang) {
  std::string text = NamedText(lang, error.name);
  const auto value = [&](std::size_t i) { return i < error.values.size() ? error.values[i] : ""; };
  text = FillPlaceholders(text, {value(0), value(1)});
  std::fprintf(stderr, "qvboot-cli: %s\n%s\n", text.c_str(),
               NamedText(lang, "cli.usage.seeHelp").c_str());
  return kExitUsage;
}

int Help(std::int32_t lang) {
  std::printf("%s\n", NamedText(lang, "cli.help").c_str());
  for (const Question& q : Questions()) {
    const std::string text = NamedText(lang, "cli.question." + std::to_string(q.id));
    const std::string answer =
        FillPlaceholders(NamedText(lang, "cli.defaultAnswer"), {ButtonText(q.defaultAnswer, lang)});
    std::printf("  %d  %s (%s)\n", q.id, text.c_str(), answer.c_str());
  }
  return 0;
}

int Ports(const Options& options, std::int32_t lang) {
  const auto entries = SystemPortMap().List();
  for (const PortEntry& entry : entries) {
    const std::string usbSerial = entry.device ? entry.device->serialNumber : "";
    if (options.json) {
      QJsonObject o = EventJson("port", "COM" + std::to_string(entry.number));
      o.insert("number", entry.number);
      o.insert("path", Q(entry.path));
      o.insert("present", entry.present);
      o.insert("description", Q(PortLabel(entry)));
      o.insert("usbSerial", Q(usbSerial));
      std::fputs(JsonLine(o).c_str(), stdout);
      continue;
    }
    const std::string label =
        entry.present ? PortLabel(entry) : NamedText(lang, "cli.ports.missing");
    std::printf("COM%-4d %-28s %s%s\n", entry.number, entry.path.c_str(), label.c_str(),
                usbSerial.empty() ? "" : ("  USB " + usbSerial).c_str());
  }
  if (entries.empty()) std::fprintf(stderr, "%s\n", NamedText(lang, "cli.noPorts").c_str());
  // Lines of the operator's port file that were ignored, and why.
  const PortMap map = SystemPortMap();
  const PortTexts texts = [lang](std::string_view name) { return NamedText(lang, name); };
  for (const PortMapProblem& problem : map.ReadMapFile().problems) {
    std::fprintf(stderr, "%s:%d: %s\n", map.mapFile().c_str(), problem.line,
                 DescribePortMapProblem(problem, texts).c_str());
  }
  if (options.json) {
    QJsonObject summary = EventJson("summary", "");
    summary.insert("exitCode", 0);
    summary.insert("count", static_cast<int>(entries.size()));
    std::fputs(JsonLine(summary).c_str(), stdout);
  }
  return 0;
}

// Each port's device path and the COM number it has for this run; a usage
// error when two name the same device. A port that is missing is no usage
// error: its station fails with the serial layer's words on it, and the
// others go ahead.
// A device path has a port map of its own for the run, so every device path
// can go by the same number: any number of them, beside the COM numbers named.
std::optional<UsageError> ResolvePortsOf(const Options& options, std::vector<JobSpec>& jobs,
                                         int& pathNumber) {
  const PortMap map = SystemPortMap();
  std::set<int> taken;
  for (const std::string& port : options.ports)
    if (const auto n = ComNumber(port)) taken.insert(*n);
  pathNumber = 1;
  while (taken.contains(pathNumber)) ++pathNumber;
  std::set<std::string> devices;
  for (const std::string& port : options.ports) {
    JobSpec job;
    job.port = port;
    if (const auto n = ComNumber(port)) {
      if (const auto entry = map.Find(*n)) job.device = entry->path;
      job.comNumber = *n;
    } else {
      if (pathNumber > 16) return UsageError{"cli.usage.tooManyPorts", {port}};
      job.device = port;
      job.comNumber = pathNumber;
    }
    if (!job.device.empty() && !devices.insert(ResolvedPath(job.device)).second)
      return UsageError{"cli.usage.portTwice", {port}};
    job.command = options.command;
    job.folder = options.folder;
    job.remote = options.remote;
    job.yes = options.yes;
    jobs.push_back(job);
  }
  return std::nullopt;
}

void PrintStation(const StationResult& r, std::int32_t lang) {
  const auto T = [lang](const char* name) { return NamedText(lang, name); };
  const std::pair<std::string, std::string> rows[] = {
      {T("cli.column.serial"), r.serial},
      {T("cli.column.hardware"), r.hardware},
      {T("cli.field.boot"), r.boot},
      {T("cli.column.firmware"), r.firmwareBefore},
      {T("cli.field.productionDate"), r.productionDate},
      {T("cli.field.battery"), r.battery + " V"},
      {T("cli.field.codeNumber"), std::to_string(r.codeNumber)},
      {T("cli.field.usb"), T(r.usb ? "cli.button.yes" : "cli.button.no")},
  };
  for (const auto& [label, value] : rows) std::printf("%s: %s\n", label.c_str(), value.c_str());
}

// Each station into the --log file and the station record beside the
// settings file as its run ends, so that a long series keeps every station
// it finished whatever ends it. A record that cannot be written changes no
// result: it is said once, and the run goes on.
class Records {
 public:
  Records(std::string log, Console& console, std::int32_t lang)
      : log_(std::move(log)), console_(console), lang_(lang) {
    IniAccess ini;
    LocateSettingsFile(ini);
    record_ = StationRecordPath(ini);
  }

  void Append(const StationResult& r) {
    const std::lock_guard lock(mutex_);
    const std::string now = UtcTimestamp();
    if (!log_.empty()) {
      std::error_code ignored;
      const bool fresh = !fs::exists(log_, ignored) || fs::file_size(log_, ignored) == 0;
      std::ofstream log(log_, std::ios::app);
      if (fresh) log << CsvHeader();
      log << CsvRow(r, now);
    }
    if (const std::string failure = AppendStationRecord(record_, RecordRow(r, now));
        !failure.empty() && !recordFailed_) {
      recordFailed_ = true;
      console_.Say(FillPlaceholders(NamedText(lang_, "cli.recordNotWritten"), {record_, failure}));
    }
  }

 private:
  std::mutex mutex_;
  std::string log_;
  std::string record_;
  Console& console_;
  std::int32_t lang_;
  bool recordFailed_ = false;
};

const char* CommandName(Command command) {
  switch (command) {
    case Command::Update:
      return "update";
    case Command::Time:
      return "time";
    case Command::Identify:
      return "identify";
    case Command::Ports:
      return "ports";
    case Command::Help:
      break;
  }
  return "help";
}

extern "C" void OnInterrupt(int) {
  InterruptStations();
}

// Ctrl-C or a terminate request ends every station's run in order (the link
// put back, the result recorded, a few seconds at most). Repeats change
// nothing: tools such as timeout signal the command and then its whole group.
void CatchInterrupts() {
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
}

// Whether udev has the rule that links the stations in /dev/qv-boot, in one
// of the folders it reads rules from.
bool UdevRuleInstalled() {
  std::error_code ignored;
  for (const char* folder : {"/etc/udev/rules.d", "/run/udev/rules.d", "/usr/local/lib/udev/rules.d",
                             "/usr/lib/udev/rules.d", "/lib/udev/rules.d"}) {
    if (fs::exists(fs::path(folder) / "60-qv-boot.rules", ignored)) return true;
  }
  return false;
}

bool HoldsUpgradeFile(const std::string& folder) {
  return !FirstFileEndingIn(folder, ".pupd").empty();
}

// The folder that holds the hardware subfolders, found as the window finds
// it: from a hardware subfolder (or a folder of files inside one) upwards.
// Usage errors for a file and for a folder that holds no upgrade file, both
// before any station is contacted.
std::optional<UsageError> ResolveFolder(std::string& folder) {
  std::error_code error;
  if (fs::is_regular_file(folder, error)) {
    const std::string parent = fs::path(folder).parent_path().string();
    return UsageError{
        "cli.usage.folderIsFile",
        {folder, WalkUpFromUpgradeFiles(parent.empty() ? "." : parent, HoldsUpgradeFile)}};
  }
  folder = WalkUpFromUpgradeFiles(folder, HoldsUpgradeFile);
  if (UpgradeImagesIn(folder).empty()) return UsageError{"cli.usage.emptyFolder", {folder}};
  return std::nullopt;
}

int RunCommand(Options options, std::int32_t lang) {
  if (options.command == Command::Update) {
    if (const auto error = ResolveFolder(options.folder)) return Usage(*error, lang);
  }
  std::vector<JobSpec> jobs;
  int pathNumber = 1;
  if (const auto error = ResolvePortsOf(options, jobs, pathNumber)) return Usage(*error, lang);
  std::FILE* trace = nullptr;
  if (!options.trace.empty() && !(trace = std::fopen(options.trace.c_str(), "a")))
    return Usage({"cli.usage.cannotWrite", {options.trace}}, lang);
  QTemporaryDir maps;
  for (std::size_t i = 0; i < jobs.size(); ++i) {
    jobs[i].initLang = lang;
    jobs[i].series = options.series;
    if (!ComNumber(jobs[i].port))
      jobs[i].mapFile = maps.filePath(QString("ports-%1.conf").arg(i)).toStdString();
  }
  Console console(lang, options.json, isatty(STDERR_FILENO) != 0, trace);
  Records records(options.log, console, lang);
  console.onStationDone = [&records](const StationResult& r) { records.Append(r); };
  QJsonObject start = EventJson("start", "");
  start.insert("command", CommandName(options.command));
  QJsonArray ports;
  for (const std::string& port : options.ports) ports.append(Q(port));
  start.insert("ports", ports);
  if (!options.watch.empty()) start.insert("watch", Q(options.watch));
  console.Json(start);

  if (options.watch == kStationLinkFolder && !UdevRuleInstalled())
    console.Say(NamedText(lang, "cli.noUdevRule"));

  CatchInterrupts();
  Rack rack(console);
  for (const JobSpec& job : jobs) rack.Add(job);
  int watched = 0;
  if (!options.watch.empty()) {
    // A station plugged in goes by its link, which leads to it through its
    // restart, with a port map of its own like any device path.
    rack.Watch(options.watch, [&](const std::string& link) {
      JobSpec job;
      job.command = options.command;
      job.port = job.device = link;
      job.comNumber = pathNumber;
      job.folder = options.folder;
      job.remote = options.remote;
      job.yes = options.yes;
      job.initLang = lang;
      job.series = true;
      job.mapFile = maps.filePath(QString("watched-%1.conf").arg(watched++)).toStdString();
      return job;
    });
  }
  const std::vector<StationResult> results = rack.Run();
  console.EndLive();
  if (trace) std::fclose(trace);
  const int exitCode = ExitCode(results);
  if (options.command == Command::Identify && !options.json && results.front().identified)
    PrintStation(results.front(), lang);
  if (options.command == Command::Update && !results.empty())
    console.Say(ResultTable(results, lang));
  QJsonObject summary = EventJson("summary", "");
  summary.insert("command", CommandName(options.command));
  summary.insert("exitCode", exitCode);
  for (const Outcome o :
       {Outcome::Ok, Outcome::Failed, Outcome::Declined, Outcome::Unconfirmed}) {
    summary.insert(OutcomeName(o),
                   static_cast<int>(std::ranges::count(results, o, &StationResult::outcome)));
  }
  console.Json(summary);
  return exitCode;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  QCoreApplication::setApplicationName("QV-Boot");
  std::vector<std::string> args(argv + 1, argv + argc);
  // A file given as the folder is told apart later, with the folder to give.
  const ParseResult parsed =
      ParseArguments(args, [](const std::string& path) { return fs::exists(path); });
  if (!parsed.options) {
    Options none;
    return Usage(parsed.error, Language(none));
  }
  const Options& options = *parsed.options;
  const std::int32_t lang = Language(options);
  switch (options.command) {
    case Command::Help:
      return Help(lang);
    case Command::Ports:
      return Ports(options, lang);
    default:
      return RunCommand(options, lang);
  }
}
