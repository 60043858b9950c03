#pragma once
// A model of the station's boot loader, as the loader meets it on the line.
//
// It decodes what arrives itself, byte by byte, and frames its replies with
// its own codec (it shares no frame code with the loader, so a mistake on one
// side is not hidden by the same mistake on the other), answers each command, keeps the image
// written by the data blocks and judges the transfer when the key arrives. Time is the caller's:
// every input carries the moment it reached the line, and every reply says
// when its first byte leaves. A byte takes ten bit times at the station's
// speed in both directions.
//
// Replies (without the loader's leading 0xFF wake-up byte):
//   0x70  short: status 0x00, the mode now active ("M" or "S")
//   0x7E  short: status 0x00, 0x01 for 38400 baud or 0x00 for 4800; sent at
//         the old speed, the station switches when it has left the line
//   0x83  extended: code number (2 bytes), offset, the requested system data
//   0x80  extended: code number (2 bytes), the block's 24-bit address
//   0x8F  extended: the result character "0" (success) or "5", "7", …
//   0xF6, 0xF7  extended: code number, year, month, day, day of week × 2 +
//         afternoon bit, seconds within the half day (2 bytes), 1/256 s
//   0x15  a lone NAK byte: a frame the station cannot accept
//
// Decisions where the loader's side leaves the station free:
// - Clock commands and READ_SYSDATA are answered in any state, also right
//   after a restart (the loader sets the clock of a freshly updated station
//   without a mode command). WRITE_BLOCK and INIT_UPDATE need a SET_MODE
//   since the last restart and get a NAK otherwise.
// - A well-formed frame with an unknown command, a mode other than "M"/"S",
//   a speed code other than 0/1 or a request outside the 128 bytes of system
//   data gets a NAK, like a damaged frame.
// - Bytes outside a frame other than the wake-up byte are ignored; a frame
//   left incomplete for longer than the frame gap is dropped without a reply.
// - A block is accepted at the next address in sequence, again at the start
//   of the block before (its acknowledgement was lost) or at the start of an
//   earlier 256-byte page (the loader rewinds there); each accepted block
//   ends the image at its own end. A block must not cross a 128-byte row.
// - INIT_UPDATE: result "7" when the key differs from the expected one (or is
//   empty), "5" when the image is not exactly the expected one (without an
//   expectation: when no block arrived), "0" otherwise. After "0" the station
//   restarts: silent for the restart time, then the new firmware (read from a
//   synthetic image's header, else the configured new firmware), no mode,
//   4800 baud unless it is a USB station or was reached through a relaying
//   master (mode "S"); those keep the line's speed.
#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "core/Bytes.h"
#include "core/Clock.h"

namespace qv::sim {

using TimeUs = std::int64_t;

inline constexpr std::uint32_t kStationBase = 0x100;
inline constexpr std::size_t kSystemDataSize = 128;
inline constexpr std::size_t kRowSize = 128;
inline constexpr std::size_t kPageSize = 256;

TimeUs ByteTimeUs(std::uint32_t baud);

struct StationIdentity {
  std::uint32_t serial = 100'001;
  std::uint16_t hardware = 0x8115;
  std::uint16_t boot = 0x0102;  // each byte at most 0xCF (sent as "0"-based characters)
  std::string firmware = "550";
  int productionYear = 2015;  // 1930 … 2029
  int productionMonth = 6;
  int productionDay = 1;
  std::uint16_t battery = 47'160;     // 3.6 V at 13100 per volt
  std::uint8_t interfaceBits = 0x08;  // bits 3–5 equal to 0x30: a USB station
  std::uint16_t codeNumber = 1;       // 10 bits

  bool usb() const { return (interfaceBits & 0x38) == 0x30; }
};

struct StationTiming {
  TimeUs replyDelayUs = 1'000;    // from a frame's last byte to its reply
  TimeUs blockProgramUs = 4'000;  // programming a data block, before its acknowledgement
  TimeUs initUpdateUs = 300'000;  // checking the image before the result
  TimeUs restartUs = 1'500'000;   // silent after a successful update
  TimeUs frameGapUs = 200'000;    // an unfinished frame older than this is dropped
};

// Nak: the command frame is taken as damaged and NAKed, without acting on it.
// Twice: the reply goes out two times. Late: it leaves kLateReplyUs after its
// time, when every watchdog of the loader has run out.
enum class ReplyFaultKind { Silent, CorruptChecksum, CutShort, WrongAddress, Nak, Twice, Late };
inline constexpr TimeUs kLateReplyUs = 3'000'000;

// Spoils the `occurrence`-th reply (1-based; 0: every one) to `command`.
struct ReplyFault {
  ReplyFaultKind kind = ReplyFaultKind::Silent;
  std::uint8_t command = 0;
  int occurrence = 1;
};

// NAKs blocks that start in 128-byte row `row` (0 = the image's first row), `times` times.
struct BlockNak {
  std::size_t row = 0;
  int times = 1;
};

struct StationFaults {
  std::vector<BlockNak> nakBlocks;
  double nakProbability = 0.0;  // for every data block, from a seeded generator
  std::uint32_t seed = 1;
  std::vector<ReplyFault> replyFaults;
  int silentAfterBlock = 0;     // n > 0: answers nothing after acknowledging the n-th block
  int disappearAfterBlock = 0;  // n > 0: closes the line after acknowledging the n-th block
  std::optional<std::uint32_t> swappedSerial;  // reported from identification `swapFrom` on
  std::uint32_t maxBaud =
      38400;  // 4800: asked for 38400, the station answers that it stays at 4800
  int swapFrom = 2;
  // Restarts with this firmware whatever the image holds (an update that did not take).
  std::optional<std::string> firmwareAfterRestart;
};

struct StationOptions {
  StationIdentity identity;
  std::uint32_t baud = 4800;
  char mode = 0;                   // 'M', 'S' or 0 (none yet)
  std::int64_t clockOffsetMs = 0;  // station clock minus PC clock
  StationTiming timing;
  StationFaults faults;
  std::optional<Bytes> expectedImage;
  std::optional<std::string> expectedKey;
  std::optional<std::string> newFirmware;  // when the image carries no header
};

// Bytes the station puts on the line, first byte leaving at `startUs`.
struct Transmission {
  TimeUs startUs = 0;
  std::uint32_t baud = 4800;
  Bytes bytes;
  TimeUs endUs() const { return startUs + ByteTimeUs(baud) * static_cast<TimeUs>(bytes.size()); }
};

enum class LogKind { FromLoader, ToLoader, Event };

struct LogEntry {
  TimeUs atUs = 0;
  LogKind kind = LogKind::Event;
  Bytes bytes;
  std::string text;
};

struct BlockTiming {
  std::uint32_t address = 0;
  std::size_t length = 0;
  TimeUs ackEndUs = 0;
  std::optional<TimeUs> turnaroundUs;  // acknowledgement sent → loader's next frame
};

struct TransferSummary {
  std::vector<BlockTiming> blocks;
  std::optional<TimeUs> firstBlockStartUs;
  std::optional<TimeUs> lastAckEndUs;
  std::size_t acceptedBytes = 0;
  int naks = 0;
  std::uint32_t transferBaud = 0;
  std::optional<char> result;
  bool updated = false;
};

class Station {
 public:
  Station(StationOptions options, const Clock& pcClock);

  // Bytes the loader wrote at `atUs`, at its speed `loaderBaud`.
  void receive(TimeUs atUs, const Bytes& bytes, std::uint32_t loaderBaud);
  // Applies what falls due by `nowUs` (a speed switch, the end of a restart).
  void advanceTo(TimeUs nowUs);
  std::vector<Transmission> takeTransmissions();
  // Hears nothing until `untilUs`, as while it restarts.
  void deafen(TimeUs untilUs) { deafUntilUs_ = untilUs; }
  // The loader's port saw a line error: it may send its last block again.
  void noteLineError() { lineErrorSeen_ = true; }
  // From now on a station without faults.
  void clearFaults() {
    faults_ = {};
    silent_ = false;
  }

  std::uint32_t baud() const { return baud_; }
  char mode() const { return mode_; }
  const std::string& firmware() const { return identity_.firmware; }
  bool gone() const { return gone_; }
  bool restarting() const { return restartAtUs_.has_value(); }
  const Bytes& image() const { return image_; }
  const std::vector<LogEntry>& log() const { return log_; }
  const TransferSummary& summary() const { return summary_; }
  // Every frame that broke the rules of the transfer, in words: a block larger
  // than may follow what the loader knew of the last one, a block below 4 bytes
  // before the image's end, a resume that does not start at a page, a key
  // before every byte was acknowledged. The station takes such frames all the
  // same (a real one may); a test says none came.
  const std::vector<std::string>& breaches() const { return breaches_; }
  // The station's clock now (PC clock plus offset).
  LocalDateTime stationTime() const;

 private:
  enum class RxState { Idle, Command, Length, Extended, Short, ShortEscape, Etx };

  void onByte(TimeUs startUs, TimeUs atUs, std::uint8_t byte);
  void onIdleByte(TimeUs startUs, TimeUs atUs, std::uint8_t byte);
  void rejectFrame(TimeUs atUs, const std::string& why);
  void frameComplete(TimeUs atUs);
  void dispatch(TimeUs atUs, std::uint8_t command, const Bytes& data);

  void onSetMode(TimeUs atUs, const Bytes& data);
  void onSetBaud(TimeUs atUs, const Bytes& data);
  void onReadSysData(TimeUs atUs, const Bytes& data);
  void onWriteBlock(TimeUs atUs, const Bytes& data);
  void onInitUpdate(TimeUs atUs, const Bytes& data);
  void onSetTime(TimeUs atUs, const Bytes& data);
  void onGetTime(TimeUs atUs, std::uint8_t command);

  std::optional<std::string> checkBlockAddress(std::uint32_t address, std::size_t length) const;
  void checkLoaderRules(TimeUs atUs, std::uint32_t address, std::size_t length);
  void breach(TimeUs atUs, const std::string& what);
  bool nakThisBlock(std::uint32_t address);
  Bytes systemData(int identification) const;
  Bytes clockReply(std::uint8_t command) const;

  void sendNak(TimeUs atUs, const std::string& why);
  // Queues a reply frame and returns the time its last byte leaves (nothing if it stays unsent).
  std::optional<TimeUs> reply(TimeUs readyUs, const Bytes& payload, const std::string& text);
  TimeUs send(TimeUs readyUs, Bytes bytes, const std::string& text);
  std::optional<ReplyFaultKind> faultFor(std::uint8_t command);
  bool nakInjected(std::uint8_t command);
  void note(TimeUs atUs, const std::string& text);
  void restart(TimeUs atUs);

  StationIdentity identity_;
  const Clock& pcClock_;
  StationTiming timing_;
  StationFaults faults_;
  std::optional<Bytes> expectedImage_;
  std::optional<std::string> expectedKey_;
  std::optional<std::string> newFirmware_;

  std::uint32_t baud_;
  char mode_;
  std::int64_t clockOffsetMs_;
  bool gone_ = false;
  bool silent_ = false;
  TimeUs deafUntilUs_ = 0;
  std::optional<std::pair<TimeUs, std::uint32_t>> pendingBaud_;
  std::optional<TimeUs> restartAtUs_;
  std::optional<std::string> firmwareAfterRestart_;

  // Receiver.
  RxState rx_ = RxState::Idle;
  std::uint8_t rxCommand_ = 0;
  std::size_t rxLength_ = 0;
  Bytes rxData_;
  Bytes rxFrame_;
  TimeUs rxFrameStartUs_ = 0;
  TimeUs rxLastByteUs_ = 0;
  TimeUs rxLineFreeUs_ = 0;

  // Transmitter.
  TimeUs txLineFreeUs_ = 0;
  std::vector<Transmission> out_;

  // Transfer.
  Bytes image_;
  std::uint32_t nextAddress_ = kStationBase;
  std::uint32_t lastBlockAddress_ = kStationBase;
  int blocksAccepted_ = 0;
  int identifications_ = 0;
  std::vector<int> nakCountByRow_;
  std::vector<int> repliesByCommand_ = std::vector<int>(256, 0);
  std::mt19937 random_;
  std::optional<std::size_t> awaitingTurnaround_;

  // What the loader can know of the last data block it sent; the size of the
  // next one follows from it.
  enum class BlockAnswer { None, Ack, Nak, Lost, Damaged };
  struct LastBlock {
    std::uint32_t address = 0;
    std::size_t length = 0;
    BlockAnswer answer = BlockAnswer::None;
  };
  LastBlock lastBlock_;
  std::optional<ReplyFaultKind> lastReplyFault_;
  std::size_t acknowledgedEnd_ = 0;  // image bytes acknowledged intact since the restart
  bool identifiedMidTransfer_ = false;
  bool lineErrorSeen_ = false;
  std::vector<std::string> breaches_;

  TransferSummary summary_;
  std::vector<LogEntry> log_;
};

// One line per log entry: time in ms, direction, what it is, the bytes in hex.
std::string FormatLogEntry(const LogEntry& entry);
// Per-block turnaround and the throughput against the line's limits.
std::string FormatSummary(const TransferSummary& summary);

}  // namespace qv::sim
