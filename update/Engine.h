#pragma once
// How a front end (the main window, a command-line loader) starts the engine
// on its platform: the same events wired, the same idle state, the same texts.
#include <optional>
#include <string>

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

// The port the engine runs on when no window starts it up.
struct EngineLine {
  int comNumber = 1;
  std::string baud = "4800";  // the baud list's entry: "4800" or "38400"
  bool open = false;
  // The mode list's entry when one is chosen: through a relaying master
  // station (true) or direct.
  std::optional<bool> relayed = std::nullopt;
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
