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
// A line error during a transfer (after ErrorRequest dropped the input and
// counted the retry): the damaged block goes again within its allowance.
void ResendAfterLineError(Context& ctx);


}  // namespace qv
