#pragma once
// How a front end (the main window, a command-line loader) starts the engine
// on its platform: the same events wired, the same idle state, the same texts.
#include <string>

namespace qv {

class Context;

// Connects the port's event and every timer's tick to its procedure.
void WireEngine(Context& ctx);

// The idle state of the transfer and receive procedures, the timers' intervals
// (all disabled), the mode list's texts and the station's error texts, in the
// language of ctx.settings.InitLang.
void StartEngine(Context& ctx);

// The port the engine runs on when no window starts it up.
struct EngineLine {
  int comNumber = 1;
  std::string baud = "4800";  // the baud list's entry: "4800" or "38400"
  bool open = false;
};

// The engine on one port without the window's start-up (the window goes
// through LoadMainWindow): WireEngine and StartEngine in the language of
// ctx.settings.InitLang, then the port numbered and set to the speed, as the
// settings, the baud button and the port label show them, and opened when
// `line.open`. A port that refuses its number or opening throws
// PlatformError before the port label is set.
void SetUpEngine(Context& ctx, const EngineLine& line);

// The texts that follow the language: the mode list's entries and ErrorTexts.
void FillEngineTexts(Context& ctx);

}  // namespace qv
