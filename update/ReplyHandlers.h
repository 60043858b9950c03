#pragma once
// Which procedure handles which reply: the one table the program's contexts use.
#include "core/Context.h"

namespace qv {

// The station's replies by command code, the NAK byte at 0x15. Built once.
const ReplyTable& StationReplies();

}  // namespace qv
