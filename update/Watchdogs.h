#pragma once
// The ticks of the watchdog timers: a data block or identification left
// unanswered (Timer2), and no answer to the start of an update, a baud
// command or a clock command (TimerEfi). Timer1 (a reply stopped half-way)
// lives with the receive procedure.
namespace qv {

class Context;

void Timer2_Timer(Context& ctx);
void TimerEfi_Timer(Context& ctx);

}  // namespace qv
