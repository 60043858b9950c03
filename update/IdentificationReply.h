#pragma once
// The station's identification (reply 0x83): shows the station, guards old
// stations, the battery and the hardware, picks the upgrade file and lets the
// transfer begin; after an update it confirms the new firmware instead.
#include "core/Context.h"

namespace qv {

ReplyOutcome IdentificationReply(Context& ctx);

}  // namespace qv
