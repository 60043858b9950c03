#pragma once
// The link's speed and mode: the PC's speed, the mode command, the baud
// command and the search for a station that does not answer. A speed change
// always goes first to the station (at the old speed), then to the PC.
#include <cstdint>
#include <string>

namespace qv {

class Context;

inline constexpr int kModeReplyTimeoutMs = 2000;
inline constexpr int kModeRetries = 5;
inline constexpr int kBaudReplyTimeoutMs = 1000;
inline constexpr int kReopenPauseMs = 100;
inline constexpr int kArrowKeyLockMs = 1000;

// The leading number of the port's Settings: the PC's speed.
std::int32_t PortSpeed(const Context& ctx);

// Sets the PC's speed: "4800" or "38400" (anything else counts as 4800), and
// shows the warning sign when the station was raised from 4800.
void ApplyBaud(Context& ctx, const std::string& baudText);

// BaudList and the baud button's caption, which always go together.
void SetBaudList(Context& ctx, const std::string& baudText);

// The operator or the program chose an entry of the mode list (0 direct,
// 1 remote): the list shows it and the mode command goes out.
void SelectMasterEntry(Context& ctx, int index);
void Master_Click(Context& ctx);
void SendMasterMode(Context& ctx);
// Puts the station back to the speed it was found at, as closing the window
// does, told as a run of its own that ends once the station is back.
void RestoreStationLink(Context& ctx);

// Arms the mode search for a mode frame about to go out: a lost reply is then
// sent again (at both speeds) or ends in "Station not ready!", never in a run
// that waits for good.
void WatchModeReply(Context& ctx);
void Baud38400_Click(Context& ctx);
void Baud4800_Click(Context& ctx);
void btnSetBaud_Click(Context& ctx);
void Timer3_Timer(Context& ctx);

// Up or Down on the mode list: the other entry is chosen and the list is
// disabled; the window enables it again after kArrowKeyLockMs (with a timer,
// so the window stays live). Returns the entry chosen.
int MasterArrowKey(Context& ctx);

// Home, End, Page Up/Down and the wheel on the mode list: the entry given is
// chosen and the list locked as for an arrow key. False (nothing sent) when
// the list already shows it.
bool MasterKeyEntry(Context& ctx, int index);

// Sets CommPort from PortList ("COM3" gives 3). False when the text names no
// port the serial layer takes.
bool CommPortFromPortList(Context& ctx);

}  // namespace qv
