#include "app/QvBoot.h"

#include "core/Context.h"
#include "core/Errors.h"

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

}  // namespace qv
