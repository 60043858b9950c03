#include "protocol/ReceiveReply.h"

#include <cmath>
#include <cstdio>

#include "core/Context.h"
#include "core/Errors.h"
#include "protocol/QvBoot.h"
#include "protocol/RunNotes.h"
#include "protocol/stdFunc.h"
#include "texts/MlStringModule.h"

namespace qv {

namespace {

// RxRemaining's mark for "the length byte comes next".
constexpr std::int32_t kLengthNext = 255;

void RestartReplyTimeout(Context& ctx) {
  ctx.Timer1.setEnabled(false);
  ctx.Timer1.setInterval(kReplyTimeoutMs);
  ctx.Timer1.setEnabled(true);
}

// Extended replies: the length byte and everything it announces are taken
// literally, whatever their value.
void CountExtendedByte(Context& ctx, std::uint8_t b) {
  if (ctx.rx.RxCommand < 0 || ctx.rx.RxCommand > 0xFF) return;
  if (!IsExtendedCommand(static_cast<std::uint8_t>(ctx.rx.RxCommand))) return;
  // A length of 253 leaves 255 bytes to come, the same value as the mark;
  // only the byte right after the command code is the length byte.
  if (ctx.rx.RxRemaining == kLengthNext && ctx.rx.RxCount == 0) {
    ctx.rx.RxRemaining = b + 2;
  } else if (ctx.rx.RxRemaining > -1) {
    --ctx.rx.RxRemaining;
  } else {
    ctx.rx.RxRemaining = -1;  // idle bytes after the reply: stay below 0, never wrap
  }
  RestartReplyTimeout(ctx);
  if (ctx.rx.RxRemaining < 0) {
    ctx.Timer1.setEnabled(false);
    ctx.rx.bEscapeNext = false;
  } else {
    ctx.rx.bEscapeNext = true;
  }
}

// False when the buffer was already full: the byte is dropped and the reply closed.
bool StoreByte(Context& ctx, std::uint8_t b) {
  if (ctx.rx.RxCount >= 0 && ctx.rx.RxCount < kRxCapacity) {
    ctx.rx.RxBuffer[static_cast<std::size_t>(ctx.rx.RxCount)] = b;
    ++ctx.rx.RxCount;
    return true;
  }
  DiscardInput(ctx);
  // The overlong reply is closed once; a byte while its box is open is
  // dropped instead of closing (and interpreting) the same reply again.
  if (ctx.rx.bOverlongTaken) return true;
  ctx.rx.bOverlongTaken = true;
  ctx.rx.bFrameComplete = true;
  ctx.rx.bExpectCommand = false;
  ctx.rx.bEscapeNext = false;
  ctx.rx.RxRemaining = 0;
  return false;
}

// The reply's checksum bytes must have been stored: a reply cut short, or one
// announcing more than the buffer holds (length 254 or 255), fails instead of
// being checked against bytes that never arrived.
bool ChecksumMatches(const Context& ctx) {
  const int len = ctx.rx.RxBuffer[0];
  if (ctx.rx.RxCount < len + 3) return false;
  Bytes covered;
  covered.reserve(static_cast<std::size_t>(len) + 2);
  covered.push_back(static_cast<std::uint8_t>(ctx.rx.RxCommand));
  covered.insert(covered.end(), ctx.rx.RxBuffer.begin(), ctx.rx.RxBuffer.begin() + len + 1);
  const auto expected =
      static_cast<std::uint32_t>(ctx.rx.RxBuffer[static_cast<std::size_t>(len) + 1] << 8 |
                                 ctx.rx.RxBuffer[static_cast<std::size_t>(len) + 2]);
  return CalcCrc(covered) == expected;
}

void ChecksumFailure(Context& ctx) {
  // Closed before the box: a byte arriving while it is open would otherwise
  // interpret the same reply again and open one more box per byte.
  ctx.rx.bFrameComplete = false;
  // A damaged acknowledgement is a line error: the block goes again within
  // its allowance, where ending the run would mean sending the whole image
  // again. A damaged verdict on the key is no verdict: the firmware the
  // station reports after its restart decides.
  if (ctx.run.bUpdateRun && ctx.run.bBlockAwaitingAck) {
    ErrorRequest(ctx, 0);
    return;
  }
  if (ctx.run.bKeyWait) return;
  ctx.timeSet.bClockFrameOut = false;  // its answer came, if damaged
  std::string title = StationTitle(ctx);
  ShowBox(ctx, kMsgCrcError, GetMlString(ctx, kMsgCrcError, "Station responds with CRC error!"),
          vbInformation | vbOKOnly, title);
  ctx.run.bUpdateRun = false;
  ctx.view.setEnabled(Control::Master, true);
}

bool RunHandler(Context& ctx, std::size_t code) {
  NoteReply(ctx, static_cast<std::uint8_t>(code));
  const ReplyHandler& handler = ctx.replies.byCode[code];
  if (!handler) return true;
  return handler(ctx) != ReplyOutcome::EndEvent;
}

// False when the event ends here.
bool InterpretReply(Context& ctx) {
  // A reply stops the no-reply watchdog; a NAK's handler ran when the byte
  // came and left the watchdogs as the frame it sent again needs them.
  if (ctx.rx.RxCommand != kNak) ctx.TimerEfi.setEnabled(false);
  if (ctx.rx.RxCommand > 0x7F && !ChecksumMatches(ctx)) {
    NoteDamagedReply(ctx);
    ChecksumFailure(ctx);
    return false;
  }
  // The reply is taken before its handler runs: a stray byte while the
  // handler's box is open, or after a handler that ended the event, would
  // otherwise run the same reply again (an acknowledgement twice). A handler
  // that wants the receive state closed sets the flag itself.
  ctx.rx.bFrameComplete = false;
  // The NAK byte was acted on when it arrived; it is not a reply of its own.
  const std::int16_t code = ctx.rx.RxCommand;
  if (code >= 0 && code <= 0xFF && code != kNak) {
    if (!RunHandler(ctx, static_cast<std::size_t>(code))) return false;
  }
  ctx.rx.bFrameComplete = false;
  return true;
}

void StartReply(Context& ctx) {
  ctx.rx.bFrameComplete = false;
  ctx.rx.bExpectCommand = true;
  ctx.rx.RxCommand = 0;
  ctx.rx.RxRemaining = kLengthNext;
  ctx.rx.RxCount = 0;
}

void CloseReply(Context& ctx) {
  ctx.rx.bFrameComplete = true;
  ctx.rx.bExpectCommand = false;
  ctx.rx.RxRemaining = 0;
}

// False when the rest of this read is to be dropped.
bool ProcessByte(Context& ctx, std::uint8_t b) {
  CountExtendedByte(ctx, b);
  bool bufferFull = false;
  if (ctx.rx.bEscapeNext) {
    bufferFull = !StoreByte(ctx, b);
    ctx.rx.bEscapeNext = false;
  } else if (ctx.rx.bExpectCommand) {
    if (b != kStx) {
      ctx.rx.RxCommand = b;
      ctx.rx.bExpectCommand = false;
      ctx.rx.RxCount = 0;
    }
  } else if (b == kStx) {
    StartReply(ctx);
  } else if (b == kEtx) {
    CloseReply(ctx);
  } else if (b == kDle) {
    ctx.rx.bEscapeNext = true;
  } else if (b == kNak) {
    ctx.rx.RxCommand = kNak;
    if (!RunHandler(ctx, kNak)) return false;
  } else {
    bufferFull = !StoreByte(ctx, b);
  }
  if (!ctx.rx.bFrameComplete) return true;
  const bool goOn = InterpretReply(ctx);
  if (!bufferFull) return goOn;
  // An overlong reply is interpreted once: what followed it in this read is
  // dropped with the rest of the input, and a later stray byte starts from an
  // empty buffer instead of closing the same reply again.
  if (ctx.rx.RxCount >= kRxCapacity) ctx.rx.RxCount = 0;
  ctx.rx.bOverlongTaken = false;
  return false;
}

}  // namespace

void WireStationLink(Context& ctx) {
  ctx.MSComm.OnComm = [&ctx] { MSComm_OnComm(ctx); };
  ctx.Timer1.OnTick = [&ctx] { Timer1_Timer(ctx); };
}

void MSComm_OnComm(Context& ctx) {
  switch (ctx.MSComm.CommEvent()) {
    case comEvReceive:
      ReceiveReply(ctx);
      return;
    case comEventFrame:
      ErrorRequest(ctx, 21);
      return;
    case comEventOverrun:
      ErrorRequest(ctx, 22);
      return;
    case comEventRxOver:
      ErrorRequest(ctx, 23);
      return;
    case comEventRxParity:
      ErrorRequest(ctx, 24);
      return;
    case comEventTxFull:
      ErrorRequest(ctx, 25);
      return;
    case comEventDCB:
      ErrorRequest(ctx, 26);
      return;
    case comEvRing:
      ErrorRequest(ctx, 30);
      return;
    case comEvSend:
      ErrorRequest(ctx, 31);
      return;
    case comEvEOF:
      ErrorRequest(ctx, 32);
      return;
    default:
      return;  // break and modem-line changes mean nothing to the link
  }
}

void ErrorRequest(Context& ctx, [[maybe_unused]] std::int16_t code) {
  ctx.view.setEnabled(Control::Master, true);
  if (ctx.run.TransferOffset != ctx.run.LastErrorOffset) {
    ctx.run.LastErrorOffset = ctx.run.TransferOffset;
    ctx.run.RetryCount = 0;
  } else {
    ++ctx.run.RetryCount;
  }
  DiscardInput(ctx);
  if (!ctx.run.bUpdateRun) return;
  if (ctx.replies.onTransferLineError) ctx.replies.onTransferLineError(ctx);
}

void ReceiveReply(Context& ctx) {
  Bytes input;
  try {
    ctx.MSComm.setInputLen(0);
    if (ctx.MSComm.InBufferCount() < 1) return;
    input = ctx.MSComm.Input();
  } catch (const PlatformError&) {
    return;
  }
  for (const std::uint8_t b : input) {
    if (!ProcessByte(ctx, b)) return;
  }
}

void ResetReceiveState(Context& ctx) {
  ctx.rx.bExpectCommand = false;
  ctx.rx.bFrameComplete = true;
  ctx.rx.RxRemaining = 0;
  ctx.rx.RxCommand = 0;
}

void Timer1_Timer(Context& ctx) {
  // One tick per reply cut short: a timer left running would discard, a
  // second later, the start of the next reply.
  ctx.Timer1.setEnabled(false);
  DiscardInput(ctx);
  ctx.rx.bFrameComplete = true;
  ctx.rx.bExpectCommand = false;
  ctx.rx.RxRemaining = 0;
}

std::string StationTitle(const Context& ctx) {
  return std::string(kAppTitle) + " " + PlainNumber(ctx.station.StationSerial);
}

std::string PlainNumber(double value) {
  char text[40];
  if (std::isfinite(value) && std::fabs(value) < 1e15 && value == std::trunc(value)) {
    std::snprintf(text, sizeof text, "%.0f", value);
  } else {
    std::snprintf(text, sizeof text, "%.15g", value);
  }
  return text;
}

}  // namespace qv
