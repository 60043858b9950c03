#include "protocol/ReplyHandlers.h"

namespace qv {

namespace {

ReplyTable MakeStationReplies() {
  ReplyTable table;
  return table;
}

}  // namespace

const ReplyTable& StationReplies() {
  static const ReplyTable table = MakeStationReplies();
  return table;
}

}  // namespace qv
