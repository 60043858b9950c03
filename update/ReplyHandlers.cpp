#include "update/ReplyHandlers.h"

#include "protocol/stdFunc.h"
#include "update/IdentificationReply.h"
#include "update/LinkReplies.h"
#include "update/TransferReplies.h"

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
  table.onTransferLineError = ResendAfterLineError;
  return table;
}

}  // namespace

const ReplyTable& StationReplies() {
  static const ReplyTable table = MakeStationReplies();
  return table;
}

}  // namespace qv
