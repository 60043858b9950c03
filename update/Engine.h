#pragma once
// How a front end (the main window, a command-line loader) starts the engine
// on its platform: the same events wired, the same idle state, the same texts.
namespace qv {

class Context;

// Connects the port's event and every timer's tick to its procedure.
void WireEngine(Context& ctx);

// The idle state of the transfer and receive procedures, the timers' intervals
// (all disabled), the mode list's texts and the station's error texts, in the
// language of ctx.settings.InitLang.
void StartEngine(Context& ctx);

// The id of the station's result text `index` (0..8) or of a line event's
// text (20..32); 0 for an index without one.
int ErrorTextId(int index);

// The texts that follow the language: the mode list's entries and ErrorTexts.
void FillEngineTexts(Context& ctx);

}  // namespace qv
