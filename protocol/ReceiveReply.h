#pragma once
// The station's side of the link: serial events, line errors and the
// assembly of replies from received bytes.
//
// A byte's way: the port raises OnComm -> MSComm_OnComm reads CommEvent ->
// ReceiveReply drains the port and feeds the bytes one by one through the
// assembly state in the Context -> a complete reply (checksum checked for
// extended codes) goes to ctx.replies.byCode[RxCommand]; a NAK byte goes
// to ctx.replies.byCode[kNak] the moment it arrives. Handlers may send the next frame
// (Senden) before the event returns.
#include <cstdint>
#include <string>

#include "texts/MessageIds.h"

namespace qv {

class Context;

// RxBuffer slots that can be filled; the last slot of the array is never written.
inline constexpr std::int16_t kRxCapacity = 256;
inline constexpr int kReplyTimeoutMs = 1000;

// Connects the port's event and the receive timer's tick to the procedures below.
void WireStationLink(Context& ctx);

// The serial event: reacts to the cause in CommEvent.
void MSComm_OnComm(Context& ctx);

// A line error: no message; discards waiting input, counts the error against
// the current block and ends the transfer flag. `code` indexes ErrorTexts.
void ErrorRequest(Context& ctx, std::int16_t code);

// Reads everything waiting and interprets it byte by byte.
void ReceiveReply(Context& ctx);
// The receive state closed with no reply to interpret: a stray byte after it
// starts nothing (unlike a reply cut short, which the next byte closes).
void ResetReceiveState(Context& ctx);

// The receive timeout: a counted reply stopped arriving half-way.
void Timer1_Timer(Context& ctx);

// Title of the boxes the reply handlers show: program title, a blank and the
// station's serial number.
std::string StationTitle(const Context& ctx);
// A number as the program writes it in texts: integers without a fraction or
// exponent, others with up to 15 significant digits.
std::string PlainNumber(double value);

}  // namespace qv
