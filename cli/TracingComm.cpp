#include "cli/TracingComm.h"

#include <cstdio>

#include "protocol/stdFunc.h"

namespace qv::cli {

TracingComm::TracingComm(SerialComm& inner) : inner_(inner) {
  inner_.OnComm = [this] {
    if (OnComm) OnComm();
  };
}

TracingComm::~TracingComm() {
  inner_.OnComm = nullptr;
}

void TracingComm::Output(const Bytes& frame) {
  if (inner_.PortOpen() && onSent) onSent(SentCode(frame), frame);
  inner_.Output(frame);
}

std::uint8_t SentCode(const Bytes& frame) {
  std::size_t at = 0;
  while (at < frame.size() && frame[at] == kWakeUp) ++at;
  if (at + 1 >= frame.size() || frame[at] != kStx) return 0;
  return frame[at + 1];
}

std::string CodeName(std::uint8_t code) {
  switch (code) {
    case kNak:
      return "NAK";
    case SET_MODE:
      return "SET_MODE";
    case BAUD_SWITCHED:
      return "BAUD_SWITCHED";
    case SET_BAUD:
      return "SET_BAUD";
    case WRITE_BLOCK:
      return "WRITE_BLOCK";
    case READ_SYSDATA:
      return "READ_SYSDATA";
    case INIT_UPDATE:
      return "INIT_UPDATE";
    case SET_TIME:
      return "SET_TIME";
    case GET_TIME:
      return "GET_TIME";
    default:
      break;
  }
  char text[8];
  std::snprintf(text, sizeof text, "0x%02X", code);
  return text;
}

}  // namespace qv::cli
