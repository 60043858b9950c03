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

int ShowBox(Context& ctx, int messageId, const std::string& prompt, int style,
            std::string& title) {
  // Events run while the box is open; the run is looked at only once the
  // event that opened it has returned.
  // A kept answer is given without the box; the run is told of it all the
  // same, as the box it stands for.
  KeptAnswer& kept = ctx.kept;
  const bool keeps = messageId != 0 && messageId == kept.messageId;
  int answer = keeps ? kept.answer : 0;
  if (answer == 0) {
    ++ctx.report.depth;
    answer = ctx.view.HookedMsgBox(messageId, prompt, style, title);
    --ctx.report.depth;
    // Kept unless the series ended while the box was open.
    if (keeps && kept.messageId == messageId) kept.answer = answer;
  }
  ctx.report.lastMessageId = messageId;
  ctx.report.lastBoxRefused = IsQuestion(style) && (answer == vbCancel || answer == vbNo);
  ctx.events.BoxShown({messageId, style, answer, answer == DefaultAnswer(style)});
  return answer;
}

int AppBox(Context& ctx, int messageId, int style, const std::string& prompt) {
  std::string title = kAppTitle;
  return ShowBox(ctx, messageId, prompt, style, title);
}

int StationBox(Context& ctx, int messageId, int style, const std::string& prompt) {
  std::string title = StationTitle(ctx);
  return ShowBox(ctx, messageId, prompt, style, title);
}

}  // namespace qv
