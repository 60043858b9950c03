#include "sim/station/Station.h"

#include <algorithm>
#include <cstdio>

#include "sim/station/StationClock.h"
#include "sim/station/StationCodec.h"
#include "sim/station/UpgradeImage.h"

namespace qv::sim {

using namespace wire;

namespace {

constexpr std::size_t kMaxShortData = 64;
constexpr std::uint8_t kStatusOk = 0x00;

std::string Format(const char* pattern, auto... args) {
  char buffer[256];
  std::snprintf(buffer, sizeof buffer, pattern, args...);
  return buffer;
}

std::string Printable(const Bytes& bytes) {
  std::string text;
  for (std::uint8_t b : bytes) {
    if (b >= 0x20 && b < 0x7F) {
      text.push_back(static_cast<char>(b));
    } else {
      text += Format("\\x%02X", b);
    }
  }
  return text;
}

std::uint32_t Address24(const Bytes& data, std::size_t at) {
  return (static_cast<std::uint32_t>(data[at]) << 16) |
         (static_cast<std::uint32_t>(data[at + 1]) << 8) | data[at + 2];
}

std::string DescribeClockRecord(const Bytes& d, std::size_t at) {
  const int seconds = d[at + 4] * 256 + d[at + 5] + ((d[at + 3] & 1) ? 43200 : 0);
  return Format("%02d-%02d-%02d %02d:%02d:%02d +%d/256 (weekday %d)", d[at], d[at + 1], d[at + 2],
                seconds / 3600, seconds / 60 % 60, seconds % 60, d[at + 6], d[at + 3] >> 1);
}

std::string DescribeCommand(std::uint8_t command, const Bytes& data) {
  switch (command) {
    case SET_MODE:
      return data.size() == 1 ? Format("SET_MODE '%c'", data[0]) : "SET_MODE";
    case SET_BAUD:
      return data.size() == 1 ? Format("SET_BAUD %s", data[0] == 1   ? "38400"
                                                      : data[0] == 0 ? "4800"
                                                                     : "?")
                              : "SET_BAUD";
    case READ_SYSDATA:
      return data.size() == 2 ? Format("READ_SYSDATA offset %u, %u bytes", data[0], data[1])
                              : "READ_SYSDATA";
    case WRITE_BLOCK:
      return data.size() >= 3
                 ? Format("WRITE_BLOCK 0x%06X, %zu bytes", Address24(data, 0), data.size() - 3)
                 : "WRITE_BLOCK";
    case INIT_UPDATE:
      return "INIT_UPDATE key \"" + Printable(data) + "\"";
    case SET_TIME:
      return data.size() == 7 ? "SET_TIME " + DescribeClockRecord(data, 0) : "SET_TIME";
    case GET_TIME:
      return "GET_TIME";
    default:
      return Format("command 0x%02X", command);
  }
}

void PushWord(Bytes& out, std::uint32_t word) {
  out.push_back(static_cast<std::uint8_t>((word >> 8) & 0xFF));
  out.push_back(static_cast<std::uint8_t>(word & 0xFF));
}

}  // namespace

TimeUs ByteTimeUs(std::uint32_t baud) {
  // Start bit, eight data bits, stop bit.
  return baud == 0 ? 0 : static_cast<TimeUs>((10'000'000ULL + baud - 1) / baud);
}

Station::Station(StationOptions options, const Clock& pcClock)
    : identity_(std::move(options.identity)),
      pcClock_(pcClock),
      timing_(options.timing),
      faults_(std::move(options.faults)),
      expectedImage_(std::move(options.expectedImage)),
      expectedKey_(std::move(options.expectedKey)),
      newFirmware_(std::move(options.newFirmware)),
      baud_(options.baud),
      mode_(options.mode),
      clockOffsetMs_(options.clockOffsetMs),
      random_(options.faults.seed) {}

void Station::receive(TimeUs atUs, const Bytes& bytes, std::uint32_t loaderBaud) {
  advanceTo(atUs);
  bool garbled = false;
  bool whileRestarting = false;
  for (std::uint8_t byte : bytes) {
    if (gone_) return;
    const TimeUs start = std::max(atUs, rxLineFreeUs_);
    const TimeUs end = start + ByteTimeUs(loaderBaud);
    rxLineFreeUs_ = end;
    advanceTo(end);
    if (restartAtUs_ || start < deafUntilUs_) {
      whileRestarting = true;
      continue;
    }
    if (loaderBaud != baud_) {
      garbled = true;
      rx_ = RxState::Idle;
      rxFrame_.clear();
      continue;
    }
    if (rx_ != RxState::Idle && start - rxLastByteUs_ > timing_.frameGapUs) {
      note(start, "unfinished frame dropped after a pause: " + HexBytes(rxFrame_));
      rx_ = RxState::Idle;
      rxFrame_.clear();
    }
    if (awaitingTurnaround_ && rx_ == RxState::Idle && (byte == kWakeUp || byte == kStx)) {
      BlockTiming& block = summary_.blocks[*awaitingTurnaround_];
      block.turnaroundUs = start - block.ackEndUs;
      awaitingTurnaround_.reset();
    }
    rxLastByteUs_ = end;
    onByte(start, end, byte);
  }
  if (whileRestarting) note(atUs, "restarting: " + std::to_string(bytes.size()) + " bytes lost");
  if (garbled) {
    note(atUs, Format("not understood: %zu bytes at %u baud, the station listens at %u baud",
                      bytes.size(), loaderBaud, baud_));
  }
}

void Station::advanceTo(TimeUs nowUs) {
  if (pendingBaud_ && pendingBaud_->first <= nowUs) {
    baud_ = pendingBaud_->second;
    note(pendingBaud_->first, Format("now at %u baud", baud_));
    pendingBaud_.reset();
  }
  if (restartAtUs_ && *restartAtUs_ <= nowUs) restart(*restartAtUs_);
}

std::vector<Transmission> Station::takeTransmissions() {
  std::vector<Transmission> out;
  out.swap(out_);
  return out;
}

LocalDateTime Station::stationTime() const {
  return DateTimeFromMs(MsSince2000(pcClock_.now()) + clockOffsetMs_);
}

void Station::onByte(TimeUs startUs, TimeUs atUs, std::uint8_t byte) {
  if (rx_ == RxState::Idle) return onIdleByte(startUs, atUs, byte);
  rxFrame_.push_back(byte);
  switch (rx_) {
    case RxState::Idle:
      return;
    case RxState::Command:
      rxCommand_ = byte;
      rx_ = IsExtendedCode(byte) ? RxState::Length : RxState::Short;
      return;
    case RxState::Length:
      rxLength_ = byte;
      rx_ = RxState::Extended;
      return;
    case RxState::Extended:
      rxData_.push_back(byte);
      if (rxData_.size() == rxLength_ + 2) rx_ = RxState::Etx;
      return;
    case RxState::Etx: {
      if (byte != kEtx)
        return rejectFrame(atUs, Format("wrong length: %02X where ETX belongs", byte));
      Bytes covered{rxCommand_, static_cast<std::uint8_t>(rxLength_)};
      covered.insert(covered.end(), rxData_.begin(),
                     rxData_.begin() + static_cast<std::ptrdiff_t>(rxLength_));
      const std::uint32_t sent = rxData_[rxLength_] * 256u + rxData_[rxLength_ + 1];
      const std::uint32_t computed = StationChecksum(covered);
      if (sent != computed)
        return rejectFrame(atUs, Format("bad checksum %04X, computed %04X", sent, computed));
      rxData_.resize(rxLength_);
      return frameComplete(atUs);
    }
    case RxState::Short:
      if (byte == kEtx) return frameComplete(atUs);
      if (byte == kDle) {
        rx_ = RxState::ShortEscape;
        return;
      }
      if (byte < kFirstPlainByte)
        return rejectFrame(atUs, Format("bad stuffing: %02X without DLE", byte));
      rxData_.push_back(byte);
      if (rxData_.size() > kMaxShortData) rejectFrame(atUs, "short frame too long");
      return;
    case RxState::ShortEscape:
      if (byte >= kFirstPlainByte)
        return rejectFrame(atUs, Format("bad stuffing: DLE before %02X", byte));
      rxData_.push_back(byte);
      rx_ = RxState::Short;
      return;
  }
}

void Station::onIdleByte(TimeUs startUs, TimeUs atUs, std::uint8_t byte) {
  const bool afterWakeUp = rxFrame_.size() == 1 && rxFrame_[0] == kWakeUp;
  if (byte == kWakeUp) {
    rxFrame_.assign(1, kWakeUp);
    rxFrameStartUs_ = startUs;
    return;
  }
  if (byte != kStx) {
    rxFrame_.clear();
    return note(atUs, Format("byte %02X outside a frame ignored", byte));
  }
  if (!afterWakeUp) {
    rxFrame_.clear();
    rxFrameStartUs_ = startUs;
  }
  rxFrame_.push_back(kStx);
  rx_ = RxState::Command;
  rxData_.clear();
  rxLength_ = 0;
}

void Station::rejectFrame(TimeUs atUs, const std::string& why) {
  log_.push_back({rxFrameStartUs_, LogKind::FromLoader, rxFrame_,
                  DescribeCommand(rxCommand_, {}) + " (damaged)"});
  rx_ = RxState::Idle;
  rxFrame_.clear();
  if (silent_) return note(atUs, "silent: " + why);
  sendNak(atUs + timing_.replyDelayUs, why);
}

void Station::frameComplete(TimeUs atUs) {
  log_.push_back(
      {rxFrameStartUs_, LogKind::FromLoader, rxFrame_, DescribeCommand(rxCommand_, rxData_)});
  rx_ = RxState::Idle;
  rxFrame_.clear();
  if (silent_) return note(atUs, "silent: no reply");
  const bool block = rxCommand_ == WRITE_BLOCK && rxData_.size() > 3;
  if (block) checkLoaderRules(atUs, Address24(rxData_, 0), rxData_.size() - 3);
  if (nakInjected(rxCommand_)) {
    if (block) lastBlock_.answer = BlockAnswer::Nak;
    return sendNak(atUs + timing_.replyDelayUs, "injected");
  }
  dispatch(atUs, rxCommand_, rxData_);
}

void Station::dispatch(TimeUs atUs, std::uint8_t command, const Bytes& data) {
  switch (command) {
    case SET_MODE:
      return onSetMode(atUs, data);
    case SET_BAUD:
      return onSetBaud(atUs, data);
    case READ_SYSDATA:
      return onReadSysData(atUs, data);
    case WRITE_BLOCK:
      return onWriteBlock(atUs, data);
    case INIT_UPDATE:
      return onInitUpdate(atUs, data);
    case SET_TIME:
      return onSetTime(atUs, data);
    case GET_TIME:
      if (!data.empty()) return sendNak(atUs + timing_.replyDelayUs, "GET_TIME carries data");
      return onGetTime(atUs, GET_TIME);
    default:
      return sendNak(atUs + timing_.replyDelayUs, Format("unknown command %02X", command));
  }
}

void Station::onSetMode(TimeUs atUs, const Bytes& data) {
  const TimeUs ready = atUs + timing_.replyDelayUs;
  if (data.size() != 1 || (data[0] != 'M' && data[0] != 'S'))
    return sendNak(ready, "mode must be 'M' or 'S'");
  mode_ = static_cast<char>(data[0]);
  reply(ready, Bytes{SET_MODE, kStatusOk, data[0]}, Format("mode reply '%c'", mode_));
}

void Station::onSetBaud(TimeUs atUs, const Bytes& data) {
  const TimeUs ready = atUs + timing_.replyDelayUs;
  if (data.size() != 1 || data[0] > 1) return sendNak(ready, "speed code must be 0 or 1");
  const std::uint32_t newBaud = data[0] == 1 && faults_.maxBaud >= 38400 ? 38400 : 4800;
  const auto end = reply(ready, Bytes{SET_BAUD, kStatusOk, std::uint8_t{newBaud == 38400}},
                         Format("baud reply %u", newBaud));
  pendingBaud_ = {end.value_or(ready), newBaud};
}

void Station::onReadSysData(TimeUs atUs, const Bytes& data) {
  const TimeUs ready = atUs + timing_.replyDelayUs;
  if (data.size() != 2) return sendNak(ready, "READ_SYSDATA needs offset and count");
  const std::size_t offset = data[0];
  const std::size_t count = data[1];
  if (count == 0 || offset + count > kSystemDataSize)
    return sendNak(ready, "system data request out of range");
  ++identifications_;
  if (lastBlock_.answer != BlockAnswer::None) identifiedMidTransfer_ = true;
  const Bytes system = systemData(identifications_);
  Bytes payload{READ_SYSDATA};
  PushWord(payload, identity_.codeNumber);
  payload.push_back(static_cast<std::uint8_t>(offset));
  payload.insert(payload.end(), system.begin() + static_cast<std::ptrdiff_t>(offset),
                 system.begin() + static_cast<std::ptrdiff_t>(offset + count));
  const std::uint32_t serial = (static_cast<std::uint32_t>(system[0]) << 24) | (system[1] << 16) |
                               (system[2] << 8) | system[3];
  reply(ready, payload,
        Format("identification: %zu bytes, serial %u, firmware %s, hardware %04X", count, serial,
               identity_.firmware.c_str(), identity_.hardware));
}

std::optional<std::string> Station::checkBlockAddress(std::uint32_t address,
                                                      std::size_t length) const {
  if (address < kStationBase) return Format("address 0x%06X below 0x%06X", address, kStationBase);
  const std::uint32_t offset = address - kStationBase;
  if (offset % kRowSize + length > kRowSize) {
    return Format("block 0x%06X of %zu bytes crosses a %zu-byte row", address, length, kRowSize);
  }
  const bool next = address == nextAddress_;
  const bool repeat = address == lastBlockAddress_ && address < nextAddress_;
  const bool rewind = address < nextAddress_ && offset % kPageSize == 0;
  if (next || repeat || rewind) return std::nullopt;
  return Format("address 0x%06X out of sequence, expected 0x%06X", address, nextAddress_);
}

void Station::checkLoaderRules(TimeUs atUs, std::uint32_t address, std::size_t length) {
  if (address < kStationBase) return;  // NAKed as out of range
  const std::size_t offset = address - kStationBase;
  std::size_t allowed = kRowSize - offset % kRowSize;  // up to the next row
  std::string after = "after an acknowledged block";
  if (identifiedMidTransfer_) {
    if (offset % kPageSize != 0)
      breach(atUs, Format("resume at 0x%06X, not at the start of its page", address));
  } else if (address == lastBlock_.address && offset % kPageSize != 0) {
    // (At a page start a whole block may always come: the loader rewinds
    // there when it is acknowledged another block than it sent.)
    const std::size_t last = lastBlock_.length;
    const bool endedImage = expectedImage_ && offset + last >= expectedImage_->size();
    switch (lastBlock_.answer) {
      case BlockAnswer::Nak:
        // The image's last block may be shorter than the half of the loader's
        // block size; a line error the loader saw brings the same block again.
        allowed = endedImage || lineErrorSeen_ ? std::min(allowed, last)
                                               : std::max<std::size_t>(last / 2, 4);
        after = Format("after a NAK of %zu bytes", last);
        break;
      // The loader halves the block when its watchdog ends a silence, and
      // sends the same again when it saw a line error meanwhile: never more.
      case BlockAnswer::Lost:
      case BlockAnswer::Damaged:
        allowed = std::min(allowed, last);
        after = Format("after %zu bytes went unacknowledged", last);
        break;
      default:
        break;
    }
  }
  if (length > allowed)
    breach(atUs, Format("block 0x%06X of %zu bytes %s: at most %zu", address, length, after.c_str(),
                        allowed));
  const bool endsImage = expectedImage_ && offset + length >= expectedImage_->size();
  if (length < 4 && !endsImage)
    breach(atUs, Format("block 0x%06X of %zu bytes, below 4", address, length));
  identifiedMidTransfer_ = false;
  lineErrorSeen_ = false;
  lastBlock_ = {address, length, BlockAnswer::None};
}

void Station::breach(TimeUs atUs, const std::string& what) {
  breaches_.push_back(what);
  note(atUs, "breach of the transfer's rules: " + what);
}

bool Station::nakThisBlock(std::uint32_t address) {
  const std::size_t row = (address - kStationBase) / kRowSize;
  if (nakCountByRow_.size() <= row) nakCountByRow_.resize(row + 1, 0);
  for (const BlockNak& rule : faults_.nakBlocks) {
    if (rule.row == row && nakCountByRow_[row] < rule.times) {
      ++nakCountByRow_[row];
      return true;
    }
  }
  if (faults_.nakProbability <= 0.0) return false;
  return std::uniform_real_distribution<double>(0.0, 1.0)(random_) < faults_.nakProbability;
}

void Station::onWriteBlock(TimeUs atUs, const Bytes& data) {
  const TimeUs ready = atUs + timing_.replyDelayUs;
  if (data.size() < 4 || data.size() > 3 + kRowSize)
    return sendNak(ready, "block length out of range");
  if (mode_ == 0) return sendNak(ready, "data block before SET_MODE");
  const std::uint32_t address = Address24(data, 0);
  const std::size_t length = data.size() - 3;
  lastBlock_.answer = BlockAnswer::Nak;
  if (auto problem = checkBlockAddress(address, length)) return sendNak(ready, *problem);
  if (nakThisBlock(address))
    return sendNak(ready, Format("injected NAK for block 0x%06X", address));

  image_.resize(address - kStationBase);
  image_.insert(image_.end(), data.begin() + 3, data.end());
  lastBlockAddress_ = address;
  nextAddress_ = address + static_cast<std::uint32_t>(length);
  ++blocksAccepted_;
  if (!summary_.firstBlockStartUs) {
    summary_.firstBlockStartUs = rxFrameStartUs_;
    summary_.transferBaud = baud_;
  }
  summary_.acceptedBytes += length;

  Bytes payload{WRITE_BLOCK};
  PushWord(payload, identity_.codeNumber);
  payload.insert(payload.end(), data.begin(), data.begin() + 3);
  const auto end =
      reply(ready + timing_.blockProgramUs, payload, Format("block ack 0x%06X", address));
  if (!end || lastReplyFault_ == ReplyFaultKind::CutShort) {
    lastBlock_.answer = BlockAnswer::Lost;
  } else if (lastReplyFault_ == ReplyFaultKind::CorruptChecksum) {
    lastBlock_.answer = BlockAnswer::Damaged;
  } else {
    lastBlock_.answer = BlockAnswer::Ack;
    acknowledgedEnd_ = std::max<std::size_t>(acknowledgedEnd_, nextAddress_ - kStationBase);
  }
  if (end) {
    summary_.blocks.push_back({address, length, *end, std::nullopt});
    summary_.lastAckEndUs = *end;
    awaitingTurnaround_ = summary_.blocks.size() - 1;
  }
  if (blocksAccepted_ == faults_.silentAfterBlock) {
    silent_ = true;
    note(end.value_or(ready), "goes silent (injected)");
  }
  if (blocksAccepted_ == faults_.disappearAfterBlock) {
    gone_ = true;
    note(end.value_or(ready), "disappears: the line closes (injected)");
  }
}

void Station::onInitUpdate(TimeUs atUs, const Bytes& data) {
  const TimeUs ready = atUs + timing_.replyDelayUs + timing_.initUpdateUs;
  if (mode_ == 0) return sendNak(atUs + timing_.replyDelayUs, "INIT_UPDATE before SET_MODE");
  const std::string key(data.begin(), data.end());
  if (expectedImage_ && acknowledgedEnd_ < expectedImage_->size()) {
    breach(atUs, Format("key before every byte was acknowledged: %zu of %zu", acknowledgedEnd_,
                        expectedImage_->size()));
  }
  char result = '0';
  if (key.empty() || (expectedKey_ && key != *expectedKey_)) {
    result = '7';
    note(atUs, "key rejected");
  } else if (expectedImage_ ? image_ != *expectedImage_ : image_.empty()) {
    result = '5';
    std::size_t at = 0;
    const std::size_t common = expectedImage_ ? std::min(image_.size(), expectedImage_->size()) : 0;
    while (at < common && image_[at] == (*expectedImage_)[at]) ++at;
    note(atUs,
         Format(
             "image check failed: %zu bytes written, %zu expected, first difference at offset %zu",
             image_.size(), expectedImage_ ? expectedImage_->size() : std::size_t{0}, at));
  } else {
    note(atUs, Format("image check passed: %zu bytes, checksum %04X", image_.size(),
                      StationChecksum(image_)));
  }
  summary_.result = result;
  const auto end = reply(ready, Bytes{INIT_UPDATE, static_cast<std::uint8_t>(result)},
                         Format("update result '%c'", result));
  if (result != '0') return;
  restartAtUs_ = end.value_or(ready) + timing_.restartUs;
  firmwareAfterRestart_ = SyntheticFirmware(image_);
  if (!firmwareAfterRestart_) firmwareAfterRestart_ = newFirmware_;
  if (faults_.firmwareAfterRestart) firmwareAfterRestart_ = faults_.firmwareAfterRestart;
  note(end.value_or(ready), "restarting with the new image");
}

void Station::restart(TimeUs atUs) {
  restartAtUs_.reset();
  if (firmwareAfterRestart_) identity_.firmware = *firmwareAfterRestart_;
  // Through a relaying master the line's speed is the master's, which did not restart.
  if (!identity_.usb() && mode_ != 'S') baud_ = 4800;
  pendingBaud_.reset();
  mode_ = 0;
  nextAddress_ = kStationBase;
  lastBlockAddress_ = kStationBase;
  lastBlock_ = {};
  acknowledgedEnd_ = 0;
  identifiedMidTransfer_ = false;
  summary_.updated = true;
  rx_ = RxState::Idle;
  rxFrame_.clear();
  note(atUs, Format("beep beep: restarted with firmware %s at %u baud", identity_.firmware.c_str(),
                    baud_));
}

void Station::onSetTime(TimeUs atUs, const Bytes& data) {
  const TimeUs ready = atUs + timing_.replyDelayUs;
  const auto record = DecodeSetRecord(data);
  if (!record) return sendNak(ready, "clock record out of range");
  const std::int64_t target = MsFromRecord(*record);
  const LocalDateTime named = DateTimeFromMs(target);
  if (named.dayOfWeek != record->dayOfWeek) {
    note(atUs, Format("clock record names weekday %d for a day that is weekday %d",
                      record->dayOfWeek, named.dayOfWeek));
  }
  clockOffsetMs_ = target - MsSince2000(pcClock_.now());
  note(atUs,
       Format("clock set, %+lld ms from the PC clock", static_cast<long long>(clockOffsetMs_)));
  onGetTime(atUs, SET_TIME);
}

void Station::onGetTime(TimeUs atUs, std::uint8_t command) {
  const Bytes payload = clockReply(command);
  reply(atUs + timing_.replyDelayUs, payload, "clock reply " + DescribeClockRecord(payload, 3));
}

Bytes Station::clockReply(std::uint8_t command) const {
  const ClockRecord record = RecordFromTime(stationTime());
  Bytes payload{command};
  PushWord(payload, identity_.codeNumber);
  const Bytes encoded = EncodeSetRecord(record);
  payload.insert(payload.end(), encoded.begin(), encoded.end());
  return payload;
}

Bytes Station::systemData(int identification) const {
  Bytes data(kSystemDataSize, 0);
  std::uint32_t serial = identity_.serial;
  if (faults_.swappedSerial && identification >= faults_.swapFrom) serial = *faults_.swappedSerial;
  for (int i = 0; i < 4; ++i)
    data[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(serial >> (24 - 8 * i));
  data[4] = identity_.interfaceBits;
  for (std::size_t i = 0; i < 3; ++i) {
    data[5 + i] =
        static_cast<std::uint8_t>(i < identity_.firmware.size() ? identity_.firmware[i] : ' ');
  }
  data[8] = static_cast<std::uint8_t>(identity_.productionYear % 100);
  data[9] = static_cast<std::uint8_t>(identity_.productionMonth);
  data[10] = static_cast<std::uint8_t>(identity_.productionDay);
  data[11] = static_cast<std::uint8_t>(identity_.hardware >> 8);
  data[12] = static_cast<std::uint8_t>(identity_.hardware & 0xFF);
  data[80] = static_cast<std::uint8_t>(identity_.battery >> 8);
  data[81] = static_cast<std::uint8_t>(identity_.battery & 0xFF);
  // The boot version travels as four characters counted from "0".
  data[96] = '0';
  data[97] = '0';
  data[98] = static_cast<std::uint8_t>('0' + (identity_.boot >> 8));
  data[99] = static_cast<std::uint8_t>('0' + (identity_.boot & 0xFF));
  data[114] = static_cast<std::uint8_t>(identity_.codeNumber & 0xFF);
  data[115] = static_cast<std::uint8_t>(((identity_.codeNumber >> 8) & 0x03) << 6);
  return data;
}

void Station::sendNak(TimeUs atUs, const std::string& why) {
  ++summary_.naks;
  send(atUs, Bytes{kNak}, "NAK: " + why);
}

std::optional<ReplyFaultKind> Station::faultFor(std::uint8_t command) {
  const int count = ++repliesByCommand_[command];
  for (const ReplyFault& fault : faults_.replyFaults) {
    if (fault.command == command && (fault.occurrence == 0 || fault.occurrence == count))
      return fault.kind;
  }
  return std::nullopt;
}

bool Station::nakInjected(std::uint8_t command) {
  const int count = repliesByCommand_[command] + 1;
  for (const ReplyFault& fault : faults_.replyFaults) {
    if (fault.kind == ReplyFaultKind::Nak && fault.command == command &&
        (fault.occurrence == 0 || fault.occurrence == count)) {
      repliesByCommand_[command] = count;
      return true;
    }
  }
  return false;
}

std::optional<TimeUs> Station::reply(TimeUs readyUs, const Bytes& payload,
                                     const std::string& text) {
  Bytes body = payload;
  const auto fault = faultFor(payload[0]);
  lastReplyFault_ = fault;
  if (fault == ReplyFaultKind::Silent) {
    note(readyUs, "stays silent instead of the " + text + " (injected)");
    return std::nullopt;
  }
  std::string label = text;
  if (fault == ReplyFaultKind::WrongAddress && body[0] == WRITE_BLOCK) {
    const std::uint32_t wrong = Address24(body, 3) + kRowSize;
    body[3] = static_cast<std::uint8_t>(wrong >> 16);
    body[4] = static_cast<std::uint8_t>(wrong >> 8);
    body[5] = static_cast<std::uint8_t>(wrong);
    label = Format("block ack 0x%06X for another block (injected)", wrong);
  }
  Bytes frame = BuildReply(body);
  if (fault == ReplyFaultKind::Late) {
    readyUs += kLateReplyUs;
    label += " late (injected)";
  }
  if (fault == ReplyFaultKind::Twice) send(readyUs, frame, label + " (injected: sent twice)");
  if (fault == ReplyFaultKind::CorruptChecksum) {
    frame[frame.size() - 2] ^= 0x5A;
    label += " with a corrupted checksum (injected)";
  }
  if (fault == ReplyFaultKind::CutShort) {
    frame.resize(frame.size() / 2);
    label += " cut short (injected)";
  }
  return send(readyUs, std::move(frame), label);
}

TimeUs Station::send(TimeUs readyUs, Bytes bytes, const std::string& text) {
  Transmission transmission;
  transmission.startUs = std::max(readyUs, txLineFreeUs_);
  transmission.baud = baud_;
  transmission.bytes = std::move(bytes);
  txLineFreeUs_ = transmission.endUs();
  log_.push_back({transmission.startUs, LogKind::ToLoader, transmission.bytes, text});
  out_.push_back(std::move(transmission));
  return txLineFreeUs_;
}

void Station::note(TimeUs atUs, const std::string& text) {
  log_.push_back({atUs, LogKind::Event, {}, text});
}

std::string FormatLogEntry(const LogEntry& entry) {
  static constexpr const char* kArrow[] = {"PC -> ST", "ST -> PC", "  STATION"};
  std::string line = Format("%12.3f ms  %s  ", static_cast<double>(entry.atUs) / 1000.0,
                            kArrow[static_cast<int>(entry.kind)]);
  line += entry.text;
  // Long frames wrap at 32 bytes a line, so a data block stays readable.
  constexpr std::size_t kPerLine = 32;
  for (std::size_t at = 0; at < entry.bytes.size(); at += kPerLine) {
    const auto from = entry.bytes.begin() + static_cast<std::ptrdiff_t>(at);
    const auto to = entry.bytes.begin() +
                    static_cast<std::ptrdiff_t>(std::min(at + kPerLine, entry.bytes.size()));
    line += "\n" + std::string(30, ' ') + HexBytes(Bytes(from, to));
  }
  return line;
}

std::string FormatSummary(const TransferSummary& summary) {
  std::string text = Format("blocks acknowledged: %zu, bytes accepted: %zu, NAKs sent: %d\n",
                            summary.blocks.size(), summary.acceptedBytes, summary.naks);
  TimeUs total = 0;
  int counted = 0;
  for (const BlockTiming& block : summary.blocks) {
    text += Format("  block 0x%06X %3zu bytes  turnaround ", block.address, block.length);
    if (block.turnaroundUs) {
      text += Format("%8.3f ms\n", static_cast<double>(*block.turnaroundUs) / 1000.0);
      total += *block.turnaroundUs;
      ++counted;
    } else {
      text += "       -\n";
    }
  }
  if (counted > 0) {
    text += Format("mean turnaround: %.3f ms over %d blocks\n",
                   static_cast<double>(total) / 1000.0 / counted, counted);
  }
  if (summary.firstBlockStartUs && summary.lastAckEndUs && summary.transferBaud > 0) {
    const double seconds =
        static_cast<double>(*summary.lastAckEndUs - *summary.firstBlockStartUs) / 1e6;
    const double lineLimit = summary.transferBaud / 10.0;
    // A full block costs its frame (wake-up, STX, code, length, address, 128
    // bytes, checksum, ETX) and its acknowledgement on the line.
    const double frameLimit = lineLimit * 128.0 / (138.0 + 10.0);
    const double effective =
        seconds > 0 ? static_cast<double>(summary.acceptedBytes) / seconds : 0.0;
    text += Format(
        "transfer: %.3f s at %u baud, %.0f bytes/s effective; line limit %.0f bytes/s, "
        "with framing and acknowledgements %.0f bytes/s (%.0f%% reached)\n",
        seconds, summary.transferBaud, effective, lineLimit, frameLimit,
        frameLimit > 0 ? 100.0 * effective / frameLimit : 0.0);
  }
  if (summary.result)
    text +=
        Format("update result: '%c'%s\n", *summary.result, summary.updated ? ", restarted" : "");
  return text;
}

}  // namespace qv::sim
