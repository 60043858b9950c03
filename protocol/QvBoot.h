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

// A modal box that the run is told of (RunEvents::BoxShown): `messageId` is
// the id of the text that leads the prompt, 0 for a text without one. Returns
// the button pressed; a question whose answer a series keeps (Context::kept)
// is shown the first time only, and later gets that answer without a box.
int ShowBox(Context& ctx, int messageId, const std::string& prompt, int style, std::string& title);

// Boxes titled with the program title alone, and with the program title, a
// blank and the station's serial number.
int AppBox(Context& ctx, int messageId, int style, const std::string& prompt);
int StationBox(Context& ctx, int messageId, int style, const std::string& prompt);

}  // namespace qv
