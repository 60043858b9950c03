#pragma once
// The wire's part in telling a run (RunEvents): each frame that goes out, the
// phase it opens, each reply that comes in.
#include <cstdint>

#include "core/Bytes.h"
#include "core/RunEvents.h"

namespace qv {

class Context;

// Tells the phase once when a run enters it.
void EnterPhase(Context& ctx, RunPhase phase);

// A frame went out on the port: a reply is now awaited.
void NoteFrameSent(Context& ctx, const Bytes& frame);

// A complete reply (or a NAK) came in, before its handler runs.
void NoteReply(Context& ctx, std::uint8_t code);

// The engine has stopped waiting for the reply (its watchdog gave up with a
// message): nothing is awaited any more, even with the port left open.
void NoteReplyGivenUp(Context& ctx);

// A reply came in damaged: the station answered, and what follows is the
// engine's to decide (a resend, or a message).
void NoteDamagedReply(Context& ctx);

}  // namespace qv
