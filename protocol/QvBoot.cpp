#include "protocol/QvBoot.h"

#include "core/Context.h"
#include "core/Errors.h"
#include "protocol/ReceiveReply.h"

namespace qv {

bool EnsurePortOpen(Context& ctx) {
  if (ctx.MSComm.PortOpen()) return true;
  try {
    ctx.MSComm.setPortOpen(true);
  } catch (const PlatformError&) {
    return false;
  }
  return ctx.MSComm.PortOpen();
}

void ClosePort(Context& ctx) {
  if (!ctx.MSComm.PortOpen()) return;
  try {
    ctx.MSComm.setPortOpen(false);
  } catch (const PlatformError&) {
    // A port that refuses to close is left as it is; the next open reports it.
  }
}

void DiscardInput(Context& ctx) {
  try {
    ctx.MSComm.setInputLen(0);
    ctx.MSComm.Input();
  } catch (const PlatformError&) {
    // Nothing can be read from a port that is gone; nothing is waiting either.
  }
}

int AppBox(Context& ctx, int style, const std::string& prompt) {
  std::string title = kAppTitle;
  return ctx.view.HookedMsgBox(prompt, style, title);
}

int StationBox(Context& ctx, int style, const std::string& prompt) {
  std::string title = StationTitle(ctx);
  return ctx.view.HookedMsgBox(prompt, style, title);
}

}  // namespace qv
