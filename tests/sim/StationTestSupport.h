#pragma once
// Drives the station model frame by frame and reads its replies with the
// loader's frame code: the station frames with a codec of its own, so every
// reply read here is also a check of the two against each other.
#include <optional>
#include <vector>

#include "protocol/Commands.h"
#include "protocol/stdFunc.h"
#include "sim/station/Station.h"

namespace qv::test {

class FixedClock : public Clock {
 public:
  LocalDateTime time{2026, 12, 6, 10, 0, 0, 0, 0};
  LocalDateTime now() const override { return time; }
  std::int64_t monotonicMs() const override { return 0; }
  void sleep(int) override {}
  void processEvents() override {}
};

// The payload of a station reply, if the reply is exactly what the loader's
// MakeFrame gives for it (without the loader's wake-up byte): layout, length,
// stuffing and checksum all agree.
inline std::optional<Bytes> PayloadOf(const Bytes& reply) {
  if (reply.size() < 3 || reply.front() != kStx || reply.back() != kEtx) return std::nullopt;
  Bytes payload{reply[1]};
  if (IsExtendedCommand(reply[1])) {
    if (reply.size() != reply[2] + 6u) return std::nullopt;
    payload.insert(payload.end(), reply.begin() + 3, reply.begin() + 3 + reply[2]);
  } else {
    for (std::size_t i = 2; i + 1 < reply.size(); ++i) {
      if (reply[i] == kDle && i + 2 < reply.size()) ++i;
      payload.push_back(reply[i]);
    }
  }
  if (JoinBytes(kWakeUp, reply) != MakeFrame(payload)) return std::nullopt;
  return payload;
}

inline Bytes BlockFrame(std::uint32_t offset, const Bytes& data) {
  return WriteBlockFrame(static_cast<std::int32_t>(offset), data.data(), data.size());
}

// The payload acknowledging a block written at `offset`.
inline Bytes AckPayload(std::uint32_t offset) {
  const std::uint32_t address = offset + sim::kStationBase;
  return {WRITE_BLOCK, 0, 1, static_cast<std::uint8_t>(address >> 16), static_cast<std::uint8_t>(address >> 8),
          static_cast<std::uint8_t>(address)};
}

inline Bytes Filler(std::size_t size, std::uint8_t start = 0) {
  Bytes data(size);
  for (std::size_t i = 0; i < size; ++i) data[i] = static_cast<std::uint8_t>(start + i);
  return data;
}

struct StationRig {
  FixedClock clock;
  sim::Station station;
  sim::TimeUs now = 0;

  explicit StationRig(sim::StationOptions options = {}) : station(std::move(options), clock) {}

  // Sends one frame at `baud` (default: the station's speed) and returns what the station sent back.
  std::vector<sim::Transmission> exchange(const Bytes& frame, std::uint32_t baud = 0) {
    station.receive(now, frame, baud ? baud : station.baud());
    auto out = station.takeTransmissions();
    now = out.empty() ? now + 100'000 : out.back().endUs() + 1'000;
    station.advanceTo(now);
    return out;
  }
  // All bytes sent back for `frame` (empty when silent).
  Bytes reply(const Bytes& frame, std::uint32_t baud = 0) {
    Bytes all;
    for (const auto& t : exchange(frame, baud)) all.insert(all.end(), t.bytes.begin(), t.bytes.end());
    return all;
  }
  Bytes ack(std::uint32_t offset, const Bytes& data) { return reply(BlockFrame(offset, data)); }
};

inline const Bytes kNakOnly{kNak};

}  // namespace qv::test
