#include "app/qt/RunOutcome.h"

#include <algorithm>
#include <cstdlib>
#include <string_view>

#include "core/TextRules.h"
#include "protocol/Identification.h"
#include "protocol/ReceiveReply.h"
#include "texts/MessageIds.h"
#include "texts/NamedTexts.h"

namespace qv {

namespace {

// Why a run ended as it did, by the box that ended it; a box not listed is
// named by its number, which the help guide's message table explains.
struct ReasonRow {
  int messageId;
  std::string_view name;
};
constexpr ReasonRow kReasons[] = {
    {kMsgLowVoltage, "window.outcome.reason.battery"},
    {kMsgSameFirmware, "window.outcome.reason.sameFirmware"},
    {kMsgHardwareDiffers, "window.outcome.reason.hardware"},
    {kMsgHardwareOverride, "window.outcome.reason.hardware"},
    {kMsgFirmwareUnusable, "window.outcome.reason.hardware"},
    {kMsgChecksumError, "window.outcome.reason.checksum"},
    {kMsgSetStationTime, "window.outcome.reason.clockLeft"},
    {kMsgStationNotReady, "window.outcome.reason.noAnswer"},
    {kMsgTimeError, "window.outcome.reason.noAnswer"},
};

constexpr std::int64_t kClockToleranceMs = 300;

std::string TwoDigits(int value) {
  return (value < 10 ? "0" : "") + std::to_string(value);
}

// Tenths of a second, rounded: "90.0", "0.4".
std::string SecondsText(std::int64_t ms, char decimalSeparator) {
  const std::int64_t tenths = (ms + 50) / 100;
  return std::to_string(tenths / 10) + decimalSeparator + std::to_string(tenths % 10);
}

// Why a run ended as it did, by its last box alone.
std::string BoxReason(std::int32_t initLang, int messageId) {
  for (const ReasonRow& row : kReasons) {
    if (row.messageId == messageId) return NamedText(initLang, row.name);
  }
  if (messageId == 0) return NamedText(initLang, "window.outcome.reason.stopped");
  return FillPlaceholders(NamedText(initLang, "window.outcome.reason.message"),
                          {std::to_string(messageId)});
}

}  // namespace

std::string OutcomeWords(std::int32_t initLang, RunKind kind, RunOutcome outcome, int messageId) {
  const auto text = [initLang](std::string_view name) { return NamedText(initLang, name); };
  const bool clock = kind == RunKind::Clock;
  switch (outcome) {
    case RunOutcome::Ok:
      if (clock)
        return text(messageId == kMsgSetStationTime ? "window.result.clockSet"
                                                    : "window.result.clockRight");
      return text(kind == RunKind::Identify ? "window.result.read" : "window.result.updated");
    case RunOutcome::Unconfirmed:
      return text("window.result.unconfirmed");
    case RunOutcome::Declined:
      if (clock && messageId == kMsgSetStationTime) return text("window.result.clockLeft");
      return FillPlaceholders(text("window.result.refused"), {BoxReason(initLang, messageId)});
    case RunOutcome::Failed:
      break;
  }
  return FillPlaceholders(text("window.result.failed"), {BoxReason(initLang, messageId)});
}

void RunOutcomeEvents::RunBegun(RunKind kind) {
  current_ = Run{};
  current_.kind = kind;
}

void RunOutcomeEvents::StationIdentified(const StationInfo& info) {
  if (!current_.station) current_.station = info;
  if (!ended_) return;
  ended_.reset();
  Changed();
}

void RunOutcomeEvents::FirmwareReported(const std::string& firmware) {
  current_.firmwareAfter = firmware;
}

void RunOutcomeEvents::StationClockRead(std::int64_t stationMinusPcMs) {
  current_.clockMs = stationMinusPcMs;
}

void RunOutcomeEvents::BlockAcknowledged(std::int64_t bytes, std::int64_t total) {
  current_.bytes = bytes;
  current_.total = total;
}

void RunOutcomeEvents::RunEnded(RunOutcome outcome, int messageId) {
  // Putting the link back as it was found is no command of the operator's.
  if (current_.kind == RunKind::RestoreLink) return;
  current_.outcome = outcome;
  current_.messageId = messageId;
  ended_ = current_;
  Changed();
}

std::string RunOutcomeEvents::Reason(std::int32_t initLang, const Run& run) const {
  const bool listed = std::ranges::any_of(
      kReasons, [&run](const ReasonRow& row) { return row.messageId == run.messageId; });
  if (!listed && !run.firmwareAfter.empty())
    return FillPlaceholders(NamedText(initLang, "window.outcome.reason.firmwareAfter"),
                            {run.firmwareAfter});
  return BoxReason(initLang, run.messageId);
}

std::string RunOutcomeEvents::Text(std::int32_t initLang, char decimalSeparator) const {
  if (!ended_) return {};
  const Run& run = *ended_;
  const auto text = [initLang](std::string_view name) { return NamedText(initLang, name); };
  const std::string reason = Reason(initLang, run);
  const bool ok = run.outcome == RunOutcome::Ok;
  const bool declined = run.outcome == RunOutcome::Declined;
  if (run.kind == RunKind::Clock) {
    if (ok)
      return text(run.messageId == kMsgSetStationTime ? "window.outcome.clockSet"
                                                      : "window.outcome.clockAgrees");
    return FillPlaceholders(text(declined ? "window.outcome.notDone" : "window.outcome.failed"),
                            {reason});
  }
  if (!run.station || (run.kind == RunKind::Identify && !(ok && run.clockMs))) {
    return FillPlaceholders(text(declined ? "window.outcome.notDone" : "window.outcome.failed"),
                            {reason});
  }
  const StationInfo& station = *run.station;
  const std::string serial = PlainNumber(station.serial);
  if (run.kind == RunKind::Identify) {
    const std::int64_t ms = *run.clockMs;
    // Within the tolerance Set time allows, the clock needs no setting.
    const std::string_view clockName = std::llabs(ms) < kClockToleranceMs
                                           ? "window.outcome.clockOnTime"
                                       : ms < 0 ? "window.outcome.clockBehind"
                                                : "window.outcome.clockAhead";
    const std::string clock =
        FillPlaceholders(text(clockName), {SecondsText(std::llabs(ms), decimalSeparator)});
    const LocalDateTime& made = station.productionDate;
    return FillPlaceholders(
        text("window.outcome.read"),
        {serial, station.hardwareText, station.bootText, station.firmware,
         std::to_string(made.year) + "-" + TwoDigits(made.month) + "-" + TwoDigits(made.day),
         VoltageText(station.voltage, decimalSeparator), station.bUsb ? ", USB" : "", clock});
  }
  switch (run.outcome) {
    case RunOutcome::Ok:
      return FillPlaceholders(text("window.outcome.updated"),
                              {serial, station.firmware, run.firmwareAfter});
    case RunOutcome::Unconfirmed:
      return FillPlaceholders(text("window.outcome.unconfirmed"), {serial});
    case RunOutcome::Declined:
      return FillPlaceholders(text("window.outcome.notUpdated"), {serial, reason});
    case RunOutcome::Failed:
      break;
  }
  const std::int64_t percent = run.total > 0 ? run.bytes * 100 / run.total : 0;
  return FillPlaceholders(text("window.outcome.failedAt"),
                          {serial, std::to_string(percent), reason});
}

}  // namespace qv
