#pragma once
// The operator's "Set time" command and the clock frames: GET_TIME to read
// the station's clock, SET_TIME to set it from the PC clock.
#include <cstdint>

#include "core/Bytes.h"

namespace qv {

class Context;

// Reads the station's clock first (through the mode command); the clock
// reply compares it with the PC's and offers to set it.
void mnuCommandSetTime_Click(Context& ctx);

// mode 0 sets the clock; any other value reads it, and 2 marks the clock
// command as read (kModeClockRead).
void SendClockCommand(Context& ctx, std::int16_t mode);

// SET_TIME with the PC clock of this moment.
Bytes CurrentSetTimeFrame(Context& ctx);

}  // namespace qv
