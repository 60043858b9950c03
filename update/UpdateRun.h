#pragma once
// The loader's side of an update: the operator's commands, the start of a
// run, the contact with the station, the data blocks, the key and the end of
// the run. The reply handlers call into these; nothing here waits for a reply.
#include <cstdint>

namespace qv {

class Context;

inline constexpr std::int32_t kFullBlock = 128;
inline constexpr std::int32_t kSmallestBlock = 4;
inline constexpr std::int32_t kStationBase = 0x100;
inline constexpr int kStartTimeoutMs = 2000;
inline constexpr int kClockTimeoutMs = 5000;
inline constexpr int kBlockTimeoutMs = 2500;
// A poll's short identification comes within a few dozen milliseconds, relayed
// or not; a line that stays silent this long has no station.
inline constexpr int kPollReplyMs = 500;
inline constexpr int kKeyWaitMs = 4000;
// How long a restarting station's port is awaited after the operator's OK,
// and how often it is tried meanwhile.
inline constexpr int kPortReturnWaitMs = 10000;
inline constexpr int kPortRetryMs = 500;
inline constexpr std::size_t kMinKeyLength = 8;

// The operator's commands (menu, button and toolbar).
void mnuCommandStartUpdate_Click(Context& ctx);
void mnuCommandInitComm_Click(Context& ctx);

// Reads the station's identification and nothing more: its speed is found as
// for any command and left as it is; the run ends with the identification.
void ReadStation_Click(Context& ctx);
// The identification alone: qvboot-cli's look at the station before an
// update, which a clock it cannot read must not keep from starting.
void IdentifyStation(Context& ctx);

// A quiet question to whatever is on the line, for a series between
// stations: the short identification (at the PC's speed, or first switched to
// the other one), or the mode frame alone (a relaying master then passes the
// questions on). No change of the station's speed, no box when nothing
// answers; the run ends ok when a station answered
// (RunEvents::StationAnswered).
enum class PollWay { SetMode, SameSpeed, OtherSpeed };
void PollStation(Context& ctx, PollWay way);
void mnuCommandStop_Click(Context& ctx);

void StartUpdateRun(Context& ctx);
void ContactStation(Context& ctx);
void BeginTransfer(Context& ctx);
void ClearTransferState(Context& ctx);
void SendDataBlock(Context& ctx);
// Sends the key and waits kKeyWaitMs with events running (the station's
// result may arrive), then KeyWait_Timer asks the operator.
void FinishUpgrade(Context& ctx);
// Asks the operator, then reopens the port and sets the clock; a port whose
// device is not there yet is tried again on the same timer (PortReturn_Timer)
// for up to kPortReturnWaitMs before it is reported.
void KeyWait_Timer(Context& ctx);
void PortReturn_Timer(Context& ctx);
// The clock command that ends an update, on the reopened port.
void SetClockAfterUpgrade(Context& ctx);
void StopUpdateRun(Context& ctx);
void set_ButtonsAktiv(Context& ctx, bool bSet);
void ResetClockState(Context& ctx);

// The station failed the same block (or page) too often: the operator
// chooses between resuming through a new identification and stopping.
void AskAfterTooManyErrors(Context& ctx);

// The progress label for the present offset ("12.5%", with the system's
// decimal separator).
void ShowTransferProgress(Context& ctx);

}  // namespace qv
