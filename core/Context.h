#pragma once
// All state the main window and the modules share, for one station link,
// grouped by the subsystem that owns it. The program owns one context for its
// whole life; tests make as many as they like. No procedure keeps state
// anywhere else.
#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "core/Bytes.h"
#include "core/Clock.h"
#include "core/RunEvents.h"
#include "core/SerialComm.h"
#include "core/Timer.h"
#include "core/View.h"

namespace qv {

// What a reply handler tells the receive procedure.
enum class ReplyOutcome {
  Continue,  // go on with the next received byte
  EndEvent,  // the handler ended the receive event; drop the rest of this read
};

class Context;
using ReplyHandler = std::function<ReplyOutcome(Context&)>;

// Reply handlers by command code; entry 0x15 is the NAK byte's handler. A
// context gets its table when it is made and never changes it.
struct ReplyTable {
  std::array<ReplyHandler, 256> byCode{};
  // A line error during a transfer, once the input is dropped and the retry
  // counted: the conversation sends the block again or asks the operator. The
  // receive side sits below the conversation and reaches it only through here;
  // left empty, a line error only drops the input.
  std::function<void(Context&)> onTransferLineError;
};

struct Platform {
  SerialComm* MSComm = nullptr;
  Timer* Timer1 = nullptr;    // receive timeout
  Timer* Timer2 = nullptr;    // block and identification watchdog
  Timer* Timer3 = nullptr;    // mode-command retry
  Timer* TimerEfi = nullptr;  // no-reply and clock watchdog
  // The pause after the update key, then the wait for a restarting station's
  // port to come back; events run in both.
  Timer* TimerKeyWait = nullptr;
  Clock* clock = nullptr;
  View* view = nullptr;
  const ReplyTable* replies = nullptr;
  // Where the runs are told; none needed.
  RunEvents* events = nullptr;
};

// The platform of an owner whose members carry the platform's names (port,
// timer1, timer2, timer3, timerEfi, timerKeyWait, clock, view), as the test
// benches hold theirs.
template <typename Parts>
Platform PlatformOf(Parts& parts, const ReplyTable& replies, RunEvents* events = nullptr) {
  return Platform{.MSComm = &parts.port,
                  .Timer1 = &parts.timer1,
                  .Timer2 = &parts.timer2,
                  .Timer3 = &parts.timer3,
                  .TimerEfi = &parts.timerEfi,
                  .TimerKeyWait = &parts.timerKeyWait,
                  .clock = &parts.clock,
                  .view = &parts.view,
                  .replies = &replies,
                  .events = events};
}

// Assembly of the station's replies.
struct ReceiveState {
  bool bExpectCommand = false;
  bool bEscapeNext = false;
  bool bFrameComplete = false;
  std::int16_t RxCommand = 0;
  std::array<std::uint8_t, 257> RxBuffer{};
  std::int16_t RxCount = 0;
  std::int32_t RxRemaining = 0;
  // A reply that filled the buffer has been closed and is being interpreted.
  bool bOverlongTaken = false;
};

// What an update run or a clock command has pending (TransferState::OperationMode).
inline constexpr std::int16_t kModeNone = 0;
// Choose the upgrade file at the next identification.
inline constexpr std::int16_t kModeChooseFile = 9;
// The upgrade file was chosen automatically.
inline constexpr std::int16_t kModeFileChosen = 8;
// The station's clock was read and is compared with the PC's.
inline constexpr std::int16_t kModeClockRead = 1;
// The clock command waits for the mode reply.
inline constexpr std::int16_t kModeClockAwaitsMode = -1;

// The update run and its data transfer.
struct TransferState {
  bool bUpdateRun = false;
  bool bStopRequested = false;
  bool bResumePending = false;
  bool bLinkIdle = false;
  bool bIdentifyAfterMode = false;
  // A Read station run reads the station's clock after its identification.
  bool bReadClock = false;
  std::int32_t TransferOffset = 0;
  std::int32_t BlockSize = 128;
  std::int32_t RetryCount = 0;
  std::int32_t LastErrorOffset = 0;
  // One of the kMode constants above.
  std::int16_t OperationMode = kModeNone;
  // A data block is on its way and not yet acknowledged: a mode reply then
  // sends no block of its own, so there is never a second one in flight.
  bool bBlockAwaitingAck = false;
  // Every data byte is acknowledged; only the key is left to send.
  bool bAllDataAcknowledged = false;
  // Acknowledgements for another address, counted per 256-byte page.
  std::int32_t RewindPage = -1;
  std::int32_t RewindCount = 0;
  // Between the update key and the operator's prompt; the station's result
  // character once it has answered (0 before).
  bool bKeyWait = false;
  std::uint8_t KeyResult = 0;
  // The operator confirmed the station's restart but its port is not there
  // yet (a USB station is off the bus while it restarts); since when, on the
  // monotonic clock.
  bool bPortReturnWait = false;
  std::int64_t PortReturnSinceMs = 0;
};

// The frames kept for resending.
struct FrameStore {
  Bytes LastFrame;
  Bytes PendingFrame;
  Bytes BaudUpFrame;
};

// The loaded upgrade image and where it came from.
struct LoadedImage {
  Bytes UpgradeData;
  std::int32_t FileBoot = 0;
  std::int32_t FileHardware = 0;
  std::string FileTitle;
  std::string FileFirmware;
  std::string UpdateKey;
  std::string FoundFileName;
  std::string UpgradeFileBase;
  // The operator said No to a file with a wrong checksum: the refusal needs
  // no second box telling them to choose a file.
  bool bDeclinedByOperator = false;
};

// The station on the line, as its last identification described it.
struct StationState {
  double StationSerial = 0;
  double RememberedSerial = 0;
  bool bUsbStation = false;
};

// The texts read from and written to the settings file.
struct SettingsTexts {
  std::string PortList = "COM1";
  std::string ProtocolList = "None";
  std::string ProtocolListIndex = "0";
  std::string BaudList = "4800";
  std::string ParityList = "None";
  std::string StopBitList = "1";
  std::string DataBitList = "8";
  std::int32_t InitLang = 1000;
  std::string HwOverride = "False";
  std::string UpgradeFolder;  // the folder that holds one subfolder per hardware version
  // The folder the operator chose (the settings file's or File > Open's);
  // empty when there is none. The folder beside the program may stand in
  // for it as UpgradeFolder, but never replaces it in the file.
  std::string InitDir;
};

// The port, its speed and the direct/remote mode.
struct LinkState {
  // The mode list's entry last chosen: 0 direct, 1 remote. The mode frame
  // follows it even while the list shows no text.
  std::int16_t MasterListIndex = 0;
  std::int32_t CurrentBaud = 0;
  std::int32_t StartBaud = 0;
  std::int16_t ModeRetryCount = 0;
  std::int16_t PortNumber = 0;
  bool bNoSerialPort = false;
  // No usable port is chosen (the port label reads "N/A"): commands that need
  // the station open the port dialog instead of a port nobody picked.
  bool bNoPort = false;
};

// Setting the station's clock, alone or after an update.
struct TimeSetState {
  bool bVerifyAfterUpgrade = false;
  bool bSettingTime = false;
  std::int16_t TimeSetCount = 0;
  std::int16_t TimeReplyState = 0;
  // A clock frame is out and its reply not yet taken: a second reply (the line
  // doubled it) is no new answer.
  bool bClockFrameOut = false;
};

// Texts filled at start-up and on a change of language.
struct LanguageTexts {
  std::array<std::string, 33> ErrorTexts{};
  std::string RemoteText = "Remote";
  std::string DirectText = "Direct";
};

// The command whose run is being told (see RunEvents).
struct RunReport {
  bool active = false;
  RunKind kind = RunKind::Update;
  RunPhase phase = RunPhase::Contact;
  bool ok = false;
  bool dataSent = false;
  bool keySent = false;
  bool keyRefused = false;
  bool firmwareReported = false;
  // The operator stopped the run.
  bool stopped = false;
  // The last box: its text's id and whether it was a question answered No
  // or Cancel.
  int lastMessageId = 0;
  bool lastBoxRefused = false;
  // A frame is out and no reply has come since.
  bool replyAwaited = false;
  bool stallReported = false;
  // Engine events and boxes open, nested; the run is looked at when the
  // outermost returns.
  int depth = 0;
};

// A question a series asks of its first station only: the answer given
// there stands for every later station's, so that the operator is not asked
// the same thing station after station.
struct KeptAnswer {
  int messageId = 0;  // 0: every box is shown
  int answer = 0;     // 0: not asked yet in this series
};

// The main window's own flags.
struct WindowState {
  bool bClosing = false;
  bool bTaskbarAvailable = false;
};

class Context {
 public:
  explicit Context(const Platform& platform);

  SerialComm& MSComm;
  Timer& Timer1;
  Timer& Timer2;
  Timer& Timer3;
  Timer& TimerEfi;
  Timer& TimerKeyWait;
  Clock& clock;
  View& view;
  const ReplyTable& replies;
  RunEvents& events;

  ReceiveState rx;
  TransferState run;
  FrameStore frames;
  LoadedImage image;
  StationState station;
  SettingsTexts settings;
  LinkState link;
  TimeSetState timeSet;
  LanguageTexts texts;
  WindowState window;
  RunReport report;
  KeptAnswer kept;
};

}  // namespace qv
