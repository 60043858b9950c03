// Throughput of the receive procedure: acknowledgement-sized extended replies
// (the bulk of an update's traffic) fed through the virtual port in reads of
// one reply, and byte by byte as a slow line delivers them.
#include <benchmark/benchmark.h>

#include "protocol/ReceiveReply.h"
#include "protocol/stdFunc.h"
#include "sim/virtual/VirtualPlatform.h"

namespace {

qv::Bytes AckReply() {
  const qv::Bytes payload{qv::WRITE_BLOCK, 0x00, 0x01, 0x00, 0x00, 0x01, 0x80};
  qv::Bytes frame = qv::MakeFrame(payload);
  frame.erase(frame.begin());  // the station sends no wake-up byte
  return frame;
}

void FeedReplies(benchmark::State& state, bool byteByByte) {
  qv::ReplyTable replies;
  qv::sim::VirtualPlatform link{replies};
  qv::WireStationLink(link.ctx);
  link.port.setPortOpen(true);
  std::int64_t handled = 0;
  replies.byCode[qv::WRITE_BLOCK] = [&handled](qv::Context&) {
    ++handled;
    return qv::ReplyOutcome::Continue;
  };
  const qv::Bytes reply = AckReply();
  for (auto _ : state) {
    if (byteByByte) {
      for (const auto b : reply) link.port.sendToLoader(qv::Bytes{b});
    } else {
      link.port.sendToLoader(reply);
    }
    link.scheduler.runDue();
  }
  if (handled != state.iterations()) state.SkipWithError("replies lost");
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(reply.size()));
  state.SetItemsProcessed(state.iterations());
}

void BM_ReceiveWholeReplies(benchmark::State& state) { FeedReplies(state, false); }
void BM_ReceiveByteByByte(benchmark::State& state) { FeedReplies(state, true); }

}  // namespace

BENCHMARK(BM_ReceiveWholeReplies);
BENCHMARK(BM_ReceiveByteByByte);
