#pragma once
// Port procedures every subsystem calls before sending or when releasing the line.
#include <string>

namespace qv {

class Context;

// Opens the port if it is closed. True when the port is open afterwards; a
// port that cannot be opened (missing, in use, not permitted) gives false and
// stays closed. Shows nothing: callers that care say so themselves.
bool EnsurePortOpen(Context& ctx);

// Closes the port if it is open.
void ClosePort(Context& ctx);

// Reads everything waiting on the port and drops it.
void DiscardInput(Context& ctx);

// Message boxes titled with the program title alone, and with the program
// title, a blank and the station's serial number. Return the button pressed.
int AppBox(Context& ctx, int style, const std::string& prompt);
int StationBox(Context& ctx, int style, const std::string& prompt);

}  // namespace qv
