#include "app/qt/RunRecord.h"

#include <algorithm>

#include "protocol/Identification.h"
#include "protocol/ReceiveReply.h"
#include "protocol/stdFunc.h"

namespace qv {

void RunEventsFanOut::RunBegun(RunKind kind) {
  for (RunEvents* l : listeners_) l->RunBegun(kind);
}
void RunEventsFanOut::PhaseEntered(RunPhase phase) {
  for (RunEvents* l : listeners_) l->PhaseEntered(phase);
}
void RunEventsFanOut::StationIdentified(const StationInfo& info) {
  for (RunEvents* l : listeners_) l->StationIdentified(info);
}
void RunEventsFanOut::StationAnswered(double serial) {
  for (RunEvents* l : listeners_) l->StationAnswered(serial);
}
void RunEventsFanOut::FirmwareReported(const std::string& firmware) {
  for (RunEvents* l : listeners_) l->FirmwareReported(firmware);
}
void RunEventsFanOut::StationClockRead(std::int64_t stationMinusPcMs) {
  for (RunEvents* l : listeners_) l->StationClockRead(stationMinusPcMs);
}
void RunEventsFanOut::BlockAcknowledged(std::int64_t bytes, std::int64_t total) {
  for (RunEvents* l : listeners_) l->BlockAcknowledged(bytes, total);
}
void RunEventsFanOut::BoxShown(const BoxEvent& box) {
  for (RunEvents* l : listeners_) l->BoxShown(box);
}
void RunEventsFanOut::FrameSent(const Bytes& frame) {
  for (RunEvents* l : listeners_) l->FrameSent(frame);
}
void RunEventsFanOut::ReplyReceived(std::uint8_t code, const Bytes& data) {
  for (RunEvents* l : listeners_) l->ReplyReceived(code, data);
}
void RunEventsFanOut::RunEnded(RunOutcome outcome, int messageId) {
  for (RunEvents* l : listeners_) l->RunEnded(outcome, messageId);
}
void RunEventsFanOut::RunStalled() {
  for (RunEvents* l : listeners_) l->RunStalled();
}

void RunRecordEvents::RunBegun(RunKind kind) {
  kind_ = kind;
  row_ = {};
  identified_ = false;
  transferFromMs_ = -1;
}

void RunRecordEvents::PhaseEntered(RunPhase phase) {
  if (phase == RunPhase::Transfer && transferFromMs_ < 0) transferFromMs_ = monotonicMs_();
}

// The station as it first answered in the run: its firmware is the one
// before the update.
void RunRecordEvents::StationIdentified(const StationInfo& info) {
  if (identified_) return;
  identified_ = true;
  row_.serial = PlainNumber(info.serial);
  row_.hardware = info.hardwareText;
  row_.boot = info.bootText;
  row_.firmwareBefore = info.firmware;
  row_.battery = VoltageText(info.voltage, '.');
}

// A series' station, told as its run begins: all a clock run learns of it.
// A poll's answer before the run is forgotten as the run begins.
void RunRecordEvents::StationAnswered(double serial) {
  if (!identified_) row_.serial = PlainNumber(serial);
}

void RunRecordEvents::FirmwareReported(const std::string& firmware) {
  row_.firmwareAfter = firmware;
}

void RunRecordEvents::BlockAcknowledged(std::int64_t bytes, std::int64_t) {
  row_.bytes = std::max(row_.bytes, bytes);
  if (transferFromMs_ >= 0)
    row_.seconds = static_cast<double>(monotonicMs_() - transferFromMs_) / 1000.0;
}

void RunRecordEvents::RunEnded(RunOutcome outcome, int messageId) {
  if (kind_ == RunKind::RestoreLink) return;
  row_.outcome = outcome;
  row_.messageId = messageId;
  if (ended) ended(kind_, row_);
}

}  // namespace qv
