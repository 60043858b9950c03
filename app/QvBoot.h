#pragma once
// Port procedures every subsystem calls before sending or when releasing the line.
namespace qv {

class Context;

// Opens the port if it is closed. True when the port is open afterwards; a
// port that cannot be opened (missing, in use, not permitted) gives false and
// stays closed. Shows nothing: callers that care say so themselves.
bool EnsurePortOpen(Context& ctx);

// Closes the port if it is open.
void ClosePort(Context& ctx);

}  // namespace qv
