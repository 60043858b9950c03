#pragma once
// The station's answers to the mode, baud-rate and clock commands.
#include "core/Context.h"

namespace qv {

ReplyOutcome ModeReply(Context& ctx);            // 0x70
ReplyOutcome BaudSwitchConfirmed(Context& ctx);  // 0x71
ReplyOutcome BaudReply(Context& ctx);            // 0x7E
ReplyOutcome ClockReply(Context& ctx);           // 0xF6 and 0xF7

// Asks the station for 38400 baud, watched for kBaudReplyTimeoutMs: a station
// that never answers is reported instead of leaving the run hanging.
void RaiseStationSpeed(Context& ctx);

}  // namespace qv
