#include "protocol/ReplyHandlers.h"

#include "protocol/IdentificationReply.h"
#include "protocol/LinkReplies.h"
#include "protocol/TransferReplies.h"
#include "protocol/stdFunc.h"

namespace qv {

namespace {

ReplyTable MakeStationReplies() {
  ReplyTable table;
  auto& handle = table.byCode;
  handle[kNak] = NakReceived;
  handle[SET_MODE] = ModeReply;
  handle[BAUD_SWITCHED] = BaudSwitchConfirmed;
  handle[SET_BAUD] = BaudReply;
  handle[WRITE_BLOCK] = BlockAcknowledged;
  handle[READ_SYSDATA] = IdentificationReply;
  handle[INIT_UPDATE] = UpdateResult;
  handle[SET_TIME] = ClockReply;
  handle[GET_TIME] = ClockReply;
  return table;
}

}  // namespace

const ReplyTable& StationReplies() {
  static const ReplyTable table = MakeStationReplies();
  return table;
}

}  // namespace qv
