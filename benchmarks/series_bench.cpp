// Station after station through a relaying master, in virtual time: how long
// from a station placed to its update starting (the target is under 2 s),
// and how many stations an hour for a 4 KiB image when the operator answers
// every box at once and places the next station as soon as one is done.
#include <benchmark/benchmark.h>

#include <algorithm>

#include "sim/virtual/SeriesBench.h"

namespace {

using qv::sim::SeriesBench;

void BM_SeriesRelayed4KiB(benchmark::State& state) {
  constexpr int kStations = 10;
  double worstStartMs = 0, totalStartMs = 0, totalStationS = 0;
  for (auto _ : state) {
    SeriesBench b({.relayed = true, .imageSize = 4096});
    b.p.view.openFor(0);
    b.Place(1);
    b.series.Start();
    b.RunUntilEnds(1);
    for (int i = 0; i < kStations; ++i) {
      // The next station comes at any moment of the poll's second.
      b.peer.reset();
      b.run(300 + 97 * i % 1000);
      const auto placedMs = b.p.scheduler.now();
      const std::size_t phases = b.p.runs.phases.size();
      // A master relays at the speed it was left at.
      b.Place(static_cast<std::uint32_t>(10 + i), [](auto& o) { o.baud = 38400; });
      b.p.scheduler.runUntil([&] { return b.p.runs.phases.size() > phases; }, 60'000);
      const double startMs = static_cast<double>(b.p.scheduler.now() - placedMs);
      worstStartMs = std::max(worstStartMs, startMs);
      totalStartMs += startMs;
      b.RunUntilEnds(static_cast<std::size_t>(i) + 2);
      totalStationS += static_cast<double>(b.p.scheduler.now() - placedMs) / 1000.0;
    }
    if (b.series.tally().done != kStations + 1) state.SkipWithError("a station was not updated");
  }
  const double stations = static_cast<double>(kStations * state.iterations());
  state.counters["placed_to_start_mean_ms"] = totalStartMs / stations;
  state.counters["placed_to_start_worst_ms"] = worstStartMs;
  state.counters["stations_per_hour"] = 3600.0 / (totalStationS / stations);
}

}  // namespace

BENCHMARK(BM_SeriesRelayed4KiB)->Unit(benchmark::kMillisecond)->Iterations(1);
