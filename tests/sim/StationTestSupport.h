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
// MakeFrame gives for it (without the loader's wake-up byte).
inline std::optional<Bytes> PayloadOf(const Bytes& reply) {
  if (reply.size() < 3 || reply.front() != kStx || reply.back() != kEtx) return std::nullopt;
  Bytes payload{reply[1]};
  if (IsExtendedCommand(reply[1])) {
    if (reply.size() != reply[2] + 6u) return std::nullopt;
    payload.insert(payload.end(), reply.begin() + 3, reply.begin() + 3 + reply[2]);
  } else {
    for (std::size_t i = 2; i + 1 < reply.size(); ++i)
      payload.push_back(reply[reply[i] == kDle ? ++i : i]);
  }
  if (JoinBytes(kWakeUp, reply) != MakeFrame(payload)) return std::nullopt;
  return payload;
}

// A block of `size` counting bytes written at `offset`, and the payload acknowledging it.
inline Bytes BlockFrame(std::uint32_t offset, std::size_t size = 128) {
  Bytes data(size);
  for (std::size_t i = 0; i < size; ++i) data[i] = static_cast<std::uint8_t>(offset + i);
  return WriteBlockFrame(static_cast<std::int32_t>(offset), data.data(), data.size());
}
inline Bytes AckPayload(std::uint32_t offset) {
  const auto byte = [&](int shift) {
    return static_cast<std::uint8_t>((offset + sim::kStationBase) >> shift);
  };
  return {WRITE_BLOCK, 0, 1, byte(16), byte(8), byte(0)};
}

}  // namespace qv::test
