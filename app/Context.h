#pragma once
// All state the main window and the modules share, for one station link.
// The program owns one context for its whole life; tests make as many as
// they like. No procedure keeps state anywhere else.
#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "app/Clock.h"
#include "app/Timer.h"
#include "app/View.h"
#include "protocol/stdFunc.h"
#include "serial/SerialComm.h"

namespace qv {

// What a reply handler tells the receive procedure.
enum class ReplyOutcome {
  Continue,  // go on with the next received byte
  EndEvent,  // the handler ended the receive event; drop the rest of this read
};

class Context;
using ReplyHandler = std::function<ReplyOutcome(Context&)>;

struct Platform {
  SerialComm* MSComm = nullptr;
  Timer* Timer1 = nullptr;    // receive timeout
  Timer* Timer2 = nullptr;    // block and identification watchdog
  Timer* Timer3 = nullptr;    // mode-command retry
  Timer* TimerEfi = nullptr;  // no-reply and clock watchdog
  Clock* clock = nullptr;
  View* view = nullptr;
};

class Context {
 public:
  explicit Context(const Platform& platform);

  SerialComm& MSComm;
  Timer& Timer1;
  Timer& Timer2;
  Timer& Timer3;
  Timer& TimerEfi;
  Clock& clock;
  View& view;

  // Receive state.
  bool bExpectCommand = false;
  bool bEscapeNext = false;
  bool bFrameComplete = false;
  std::int16_t RxCommand = 0;
  std::array<std::uint8_t, 257> RxBuffer{};
  std::int16_t RxCount = 0;
  std::int32_t RxRemaining = 0;

  // Reply handlers by command code; kNak (0x15) is the NAK byte's handler.
  std::array<ReplyHandler, 256> handlers{};

  // Transfer state.
  bool bUpdateRun = false;
  bool bStopRequested = false;
  bool bResumePending = false;
  bool bLinkIdle = false;
  bool bUsbStation = false;
  bool bIdentifyAfterMode = false;
  bool bClosing = false;
  bool bTaskbarAvailable = false;
  std::int32_t TransferOffset = 0;
  std::int32_t BlockSize = 128;
  std::int32_t RetryCount = 0;
  std::int32_t LastErrorOffset = 0;
  double RememberedSerial = 0;
  std::int32_t CurrentBaud = 0;
  std::int16_t ModeRetryCount = 0;
  std::string UpgradeFileBase;
  std::string HwOverride = "False";
  std::array<std::string, 33> ErrorTexts{};

  // Settings texts.
  std::string PortList = "COM1";
  std::string ProtocolList = "None";
  std::string ProtocolListIndex = "0";
  std::string BaudList = "4800";
  std::string ParityList = "None";
  std::string StopBitList = "1";
  std::string DataBitList = "8";
  std::int32_t InitLang = 1000;

  // Frames.
  Bytes LastFrame;
  Bytes PendingFrame;
  Bytes BaudUpFrame;

  // Loaded upgrade image.
  Bytes UpgradeData;
  std::int32_t FileBoot = 0;
  std::int32_t FileHardware = 0;
  std::string FileTitle;
  std::string FileFirmware;
  std::string UpdateKey;
  std::string FoundFileName;
  std::string UpgradeFolder;

  // Operation and station.
  std::int16_t OperationMode = 0;
  double StationSerial = 0;
  bool bVerifyAfterUpgrade = false;
  bool bSettingTime = false;
  std::int16_t TimeSetCount = 0;
  std::int16_t TimeReplyState = 0;
  std::int32_t StartBaud = 0;
  std::string RemoteText = "Remote";
  std::string DirectText = "Direct";
  bool bNoSerialPort = false;
  std::int16_t PortNumber = 0;
};

}  // namespace qv
