// The update engine's own cost per data block (frame built and sent, the
// acknowledgement received and handled), and a whole 256 KiB update in
// virtual time at 38400 baud against what the line allows.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>

#include "protocol/stdFunc.h"
#include "sim/station/UpgradeImage.h"
#include "sim/virtual/StationPeer.h"
#include "sim/virtual/VirtualPlatform.h"
#include "update/Engine.h"
#include "update/ModeSwitching.h"
#include "update/UpdateRun.h"

namespace {

constexpr std::size_t kImageSize = 256 * 1024;
// STX, code, length, code number (2), address (3), checksum (2), ETX.
constexpr std::size_t kAckBytes = 11;

qv::Bytes Acknowledgement(std::int32_t offset) {
  const auto address = static_cast<std::uint32_t>(offset + qv::kStationBase);
  qv::Bytes reply = qv::MakeFrame(
      qv::Bytes{qv::WRITE_BLOCK, 0x00, 0x01, static_cast<std::uint8_t>(address >> 16),
                static_cast<std::uint8_t>(address >> 8), static_cast<std::uint8_t>(address)});
  reply.erase(reply.begin());  // the station sends no wake-up byte
  return reply;
}

// Each iteration: one acknowledgement in, the next block out.
void BM_EngineBlock(benchmark::State& state) {
  qv::sim::VirtualPlatform p;
  qv::Context& ctx = p.ctx;
  qv::SetUpEngine(ctx, {.comNumber = 1, .baud = "38400", .open = true});
  ctx.image.UpgradeData = qv::sim::MakeSyntheticImage(kImageSize, "600");
  const auto blocks = static_cast<std::int32_t>(kImageSize / 128);
  std::vector<qv::Bytes> acks;
  for (std::int32_t i = 0; i < blocks; ++i) acks.push_back(Acknowledgement(i * 128));
  auto restart = [&] {
    ctx.run.TransferOffset = 0;
    ctx.run.BlockSize = 128;
    ctx.run.bUpdateRun = true;
    qv::SendDataBlock(ctx);
  };
  restart();
  std::size_t next = 0;
  for (auto _ : state) {
    if (next + 1 >= acks.size()) {  // the last block would send the key: start over
      state.PauseTiming();
      p.port.clearSent();
      next = 0;
      restart();
      state.ResumeTiming();
    }
    p.port.sendToLoader(acks[next++]);
    p.scheduler.runDue();
  }
  state.SetItemsProcessed(state.iterations());  // blocks
}

// A whole update against the in-memory station with no programming time: the
// virtual seconds from the first block to the last acknowledgement, and the
// line's ceiling for the same frames (10 bit times a byte, both directions).
void BM_Update256KiBVirtual(benchmark::State& state) {
  std::string root = (std::filesystem::temp_directory_path() / "qv-bench-XXXXXX").string();
  if (!::mkdtemp(root.data())) {
    state.SkipWithError("no temporary folder");
    return;
  }
  const qv::Bytes image = qv::sim::MakeSyntheticImage(kImageSize, "600");
  const std::string key = qv::sim::MakeKey(7);
  const std::string file = root + "/0x8115/QV_600.pupd";
  std::filesystem::create_directories(root + "/0x8115");
  qv::sim::WriteWholeFile(file, qv::sim::BuildUpgradeFile(image, 0x0102, 0x8115));
  qv::sim::WriteWholeFile(qv::sim::KeyFilePath(file), qv::BytesOf(key));
  double transferS = 0, ceilingS = 0;
  for (auto _ : state) {
    qv::sim::VirtualPlatform p;
    qv::Context& ctx = p.ctx;
    p.clock.setNow({2026, 12, 7, 9, 30, 0, 0, 0});
    ctx.settings.UpgradeFolder = root;
    qv::SetUpEngine(ctx, {.comNumber = 1, .baud = "38400", .open = true});
    qv::sim::StationOptions options;
    options.baud = 38400;
    options.timing.blockProgramUs = 0;
    options.expectedImage = image;
    options.expectedKey = key;
    qv::sim::StationPeer peer(p.port, p.scheduler, p.clock, options);
    p.view.openFor(2000);
    qv::SelectMasterEntry(ctx, 0);
    p.scheduler.advanceBy(500);
    qv::mnuCommandStartUpdate_Click(ctx);
    p.scheduler.advanceBy(600'000);
    const auto& summary = peer.station().summary();
    if (peer.station().image() != image || !summary.firstBlockStartUs || !summary.lastAckEndUs) {
      state.SkipWithError("the update did not complete");
      break;
    }
    transferS = static_cast<double>(*summary.lastAckEndUs - *summary.firstBlockStartUs) / 1e6;
    std::size_t lineBytes = 0;
    for (const auto& frame : p.port.sent()) {
      if (frame.bytes.size() > 2 && frame.bytes[2] == qv::WRITE_BLOCK)
        lineBytes += frame.bytes.size() + kAckBytes;
    }
    ceilingS = static_cast<double>(lineBytes) * 10.0 / 38400.0;
  }
  std::filesystem::remove_all(root);
  state.counters["virtual_s"] = transferS;
  state.counters["ceiling_s"] = ceilingS;
  state.counters["of_ceiling"] = transferS > 0 ? ceilingS / transferS : 0;
}

}  // namespace

BENCHMARK(BM_EngineBlock);
BENCHMARK(BM_Update256KiBVirtual)->Unit(benchmark::kMillisecond)->Iterations(1);
