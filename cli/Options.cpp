#include "cli/Options.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <map>

#include "cli/Questions.h"

namespace qv::cli {

namespace {

// Which options each command takes.
enum Takes : unsigned {
  kPort = 1,
  kManyPorts = 2,
  kFolder = 4,
  kRemote = 8,
  kYes = 16,
  kTrace = 32,
  kJson = 64,
  kLog = 128,
  kLang = 256,
  kSeries = 512,
  kWatch = 1024,
};

struct CommandRow {
  std::string_view name;
  Command command;
  unsigned takes;
};

constexpr CommandRow kCommands[] = {
    {"ports", Command::Ports, kJson | kLang},
    {"identify", Command::Identify, kPort | kRemote | kJson | kLang},
    {"update", Command::Update,
     kPort | kManyPorts | kFolder | kRemote | kYes | kTrace | kJson | kLog | kLang | kSeries |
         kWatch},
    {"time", Command::Time, kPort | kRemote | kYes | kJson | kLang | kSeries | kWatch},
};

std::optional<int> WholeNumber(std::string_view text) {
  int value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() || text.empty()) return std::nullopt;
  return value;
}

// One port's identity for the "given twice" check: COM numbers by number.
std::string PortKey(const std::string& port) {
  if (const auto n = ComNumber(port)) return "COM" + std::to_string(*n);
  return port;
}

ParseResult Fail(std::string name, std::vector<std::string> values = {}) {
  return {std::nullopt, {std::move(name), std::move(values)}};
}

struct Parser {
  const std::vector<std::string>& args;
  std::size_t at = 1;

  bool More() const { return at < args.size(); }
  const std::string* Value() { return at < args.size() ? &args[at++] : nullptr; }
};

std::optional<UsageError> TakeOption(Parser& p, const std::string& name, unsigned takes,
                                     Options& o) {
  const auto need = [&](unsigned flag) { return (takes & flag) != 0; };
  const auto value = [&]() -> const std::string* { return p.Value(); };
  if (name == "--json" && need(kJson)) {
    o.json = true;
  } else if (name == "--remote" && need(kRemote)) {
    o.remote = true;
  } else if (name == "--series" && need(kSeries)) {
    o.series = true;
  } else if (name == "--watch" && need(kWatch)) {
    if (o.watch.empty()) o.watch = kStationLinkFolder;
  } else if (name == "--watch-in" && need(kWatch)) {
    const std::string* v = value();
    if (!v || v->empty()) return UsageError{"cli.usage.needsValue", {name}};
    o.watch = *v;
  } else if (name == "--port" && need(kPort)) {
    const std::string* v = value();
    if (!v) return UsageError{"cli.usage.needsValue", {name}};
    if (!ComNumber(*v) && !v->starts_with('/')) return UsageError{"cli.usage.badPort", {*v}};
    const std::string key = PortKey(*v);
    if (std::ranges::any_of(o.ports, [&](const std::string& q) { return PortKey(q) == key; }))
      return UsageError{"cli.usage.portTwice", {*v}};
    o.ports.push_back(*v);
  } else if (name == "--folder" && need(kFolder)) {
    const std::string* v = value();
    if (!v) return UsageError{"cli.usage.needsValue", {name}};
    o.folder = *v;
  } else if (name == "--yes" && need(kYes)) {
    const std::string* v = value();
    if (!v) return UsageError{"cli.usage.needsValue", {name}};
    const auto id = WholeNumber(*v);
    const bool allowed = id && FindQuestion(*id) && (o.command != Command::Time || *id == 1208);
    if (!allowed) return UsageError{"cli.usage.unknownQuestion", {*v}};
    o.yes.insert(*id);
  } else if ((name == "--trace" && need(kTrace)) || (name == "--log" && need(kLog))) {
    const std::string* v = value();
    if (!v || v->empty()) return UsageError{"cli.usage.needsValue", {name}};
    (name == "--trace" ? o.trace : o.log) = *v;
  } else if (name == "--lang" && need(kLang)) {
    const std::string* v = value();
    if (!v || !LanguageOffset(*v)) return UsageError{"cli.usage.badLanguage", {v ? *v : ""}};
    o.lang = *v;
  } else {
    return UsageError{"cli.usage.unknownOption", {name}};
  }
  return std::nullopt;
}

// Help in the language asked for, whatever else the line holds.
ParseResult Help(const std::vector<std::string>& args) {
  Options o;
  const auto lang = std::ranges::find(args, "--lang");
  if (lang != args.end() && lang + 1 != args.end() && LanguageOffset(*(lang + 1)))
    o.lang = *(lang + 1);
  return {o, {}};
}

}  // namespace

std::optional<int> ComNumber(const std::string& port) {
  if (port.size() < 4) return std::nullopt;
  std::string prefix = port.substr(0, 3);
  std::ranges::transform(prefix, prefix.begin(), [](unsigned char c) { return std::toupper(c); });
  if (prefix != "COM") return std::nullopt;
  const auto n = WholeNumber(std::string_view(port).substr(3));
  if (!n || *n < 1 || *n > 16) return std::nullopt;
  return n;
}

std::optional<int> LanguageOffset(const std::string& lang) {
  static const std::map<std::string, int> offsets{{"de", 0}, {"en", 1000}, {"fr", 2000}};
  const auto it = offsets.find(lang);
  if (it == offsets.end()) return std::nullopt;
  return it->second;
}

ParseResult ParseArguments(const std::vector<std::string>& args, const FolderTest& exists) {
  Options o;
  if (args.empty() || args[0] == "--help" || args[0] == "-h" || args[0] == "help")
    return Help(args);
  const auto* row = std::ranges::find(kCommands, args[0], &CommandRow::name);
  if (row == std::end(kCommands)) return Fail("cli.usage.unknownCommand", {args[0]});
  o.command = row->command;
  Parser p{args};
  while (p.More()) {
    const std::string name = *p.Value();
    if (name == "--help" || name == "-h") return Help(args);
    if (auto error = TakeOption(p, name, row->takes, o)) return {std::nullopt, *error};
  }
  // A watch finds its ports itself, and a port watched is a series of its own.
  if (!o.watch.empty()) o.series = true;
  if ((row->takes & kPort) && o.ports.empty() && o.watch.empty())
    return Fail("cli.usage.needsPort");
  if (!(row->takes & kManyPorts) && o.ports.size() > 1 && o.watch.empty())
    return Fail("cli.usage.onePort");
  if (row->takes & kFolder) {
    if (o.folder.empty()) return Fail("cli.usage.needsFolder");
    if (!exists(o.folder)) return Fail("cli.usage.noFolder", {o.folder});
  }
  return {o, {}};
}

}  // namespace qv::cli
