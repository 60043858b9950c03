#pragma once
// The station's answers during an update: block acknowledgements, NAK bytes,
// the verdict on the image after the key, and the confirmation of the new
// firmware after the station's restart.
#include "core/Context.h"

namespace qv {

inline constexpr std::int32_t kRetryLimit = 20;

ReplyOutcome BlockAcknowledged(Context& ctx);  // 0x80
ReplyOutcome NakReceived(Context& ctx);        // the NAK byte 0x15
ReplyOutcome UpdateResult(Context& ctx);       // 0x8F
// An identification after the restart: the firmware now running.
void ConfirmUpgrade(Context& ctx);

// The receive state closed with no reply to interpret: a stray byte after it
// starts nothing (unlike a reply cut short, which the next byte closes).
void ResetReceiveState(Context& ctx);

}  // namespace qv
