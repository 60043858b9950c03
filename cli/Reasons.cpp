#include "cli/Reasons.h"

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <filesystem>

#include "cli/CliTexts.h"
#include "cli/Console.h"
#include "cli/Questions.h"
#include "core/TextRules.h"
#include "texts/MessageIds.h"

namespace qv::cli {

namespace {

// The engine's boxes that end a run, by the id of their text, and what the
// result says instead.
struct KnownBox {
  int id;
  std::string_view reason;
};

constexpr KnownBox kKnownBoxes[] = {
    {kMsgStationNotReady, "cli.reason.noAnswer"}, {kMsgFileNotFound, "cli.reason.noFile"},
    {kMsgSelectFile, "cli.reason.noFile"},        {kMsgNakError, "cli.reason.refused"},
    {kMsgPortNotOpened, "cli.reason.portOpen"},   {kMsgTimeError, "cli.reason.clock"},
};

std::string Text(std::int32_t lang, std::string_view name, std::initializer_list<std::string_view> values = {}) {
  return FillPlaceholders(NamedText(lang, name), values);
}

}  // namespace

std::string FailureReason(const std::vector<BoxRecord>& boxes, const RunFacts& facts,
                          std::int32_t lang) {
  // The last box that ended the run tells most; the key's prompt (1226)
  // comes before the end and tells nothing of it.
  for (auto box = boxes.rbegin(); box != boxes.rend(); ++box) {
    for (const KnownBox& known : kKnownBoxes) {
      if (box->messageId != known.id) continue;
      return Text(lang, known.reason,
                  {facts.hardware.empty() ? "?" : facts.hardware, facts.folder, facts.port});
    }
    const Question* q = FindQuestion(box->question);
    if (q && q->id != kMsgFirmwareLoaded && box->answer == q->defaultAnswer) {
      const std::string id = std::to_string(q->id);
      return Text(lang, "cli.reason.question",
                  {id, NamedText(lang, "cli.question." + id), ButtonText(box->answer, lang)});
    }
    if (!q) return Text(lang, "cli.reason.said", {OneLine(box->prompt)});
  }
  return Text(lang, "cli.reason.unknown");
}

std::string NameByPath(std::string text, int comNumber, const std::string& path) {
  const std::string com = "COM" + std::to_string(comNumber);
  for (const std::string& from : {com + " (" + path + ")", com}) {
    for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at)) {
      const std::size_t end = at + from.size();
      // COM1 is not COM12.
      if (end < text.size() && std::isdigit(static_cast<unsigned char>(text[end]))) {
        at = end;
        continue;
      }
      text.replace(at, from.size(), path);
      at += path.size();
    }
  }
  return text;
}

bool OnlyOwnerOpens(unsigned mode, unsigned groupId) {
  const unsigned groupReadWrite = S_IRGRP | S_IWGRP;
  return groupId == 0 || (mode & groupReadWrite) != groupReadWrite;
}

std::string PortProblem(const std::string& device, bool givenAsPath, std::int32_t lang) {
  if (device.empty()) return {};
  struct stat info {};
  if (::stat(device.c_str(), &info) != 0) {
    // A COM number's missing device is the serial layer's to explain, with
    // the line of the port file that names it.
    return givenAsPath ? Text(lang, "cli.port.noDevice", {device}) : std::string();
  }
  if (::access(device.c_str(), R_OK | W_OK) == 0 || (errno != EACCES && errno != EPERM)) return {};
  if (!OnlyOwnerOpens(info.st_mode, info.st_gid)) return {};  // the group's advice helps
  const passwd* owner = ::getpwuid(info.st_uid);
  const group* grp = ::getgrgid(info.st_gid);
  char mode[8];
  std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(info.st_mode & 07777));
  return Text(lang, "cli.port.ownerOnly",
              {device, owner ? owner->pw_name : std::to_string(info.st_uid),
               grp ? grp->gr_name : std::to_string(info.st_gid), mode});
}

}  // namespace qv::cli
