// Micro-benchmarks of the reading of one generated grid of 20 cars at 60 frames per second,
// from memory and from a file, with the sector search taking the chunks the track length scan
// kept or reading every chunk again; and the floor under them, reading the file once.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <memory>

#include "event_plans.h"
#include "replay/byte_source.h"
#include "replay/event_store.h"
#include "replay/grid_reader.h"

namespace vorlind {
namespace {

const std::vector<uint8_t>& benchGrid() {
  static const std::vector<uint8_t> bytes = [] {
    const tools::EventDirectory event = tools::longEvent(1, 20, 20);
    return tools::writeReplay(event.Grids.front().Spec).Replay.Bytes;
  }();
  return bytes;
}

const std::filesystem::path& benchFile() {
  static const std::filesystem::path path = [] {
    const std::filesystem::path file =
        std::filesystem::temp_directory_path() / "vorlind-bench-grid.rpy";
    const std::vector<uint8_t>& bytes = benchGrid();
    std::ofstream(file, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    return file;
  }();
  return path;
}

// The whole reading of the grid as a run does it; the sector search takes the chunks the track
// length scan kept, or without them reads every chunk it needs from the source again.
template <typename MakeSource>
void readGrid(benchmark::State& state, MakeSource makeSource, bool keepChunks) {
  makeSource();  // writes the grid before the clock runs
  GridReader reader(keepChunks);
  SilentGridListener listener;
  auto store = std::make_unique<EventStore>();
  for (auto _ : state) {
    auto source = makeSource();
    initEventStore(*store);
    benchmark::DoNotOptimize(reader.read(*source, *store, 1, 0, listener));
    benchmark::DoNotOptimize(store->BestLapSplitTime);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(benchGrid().size()));
}

auto memorySource() {
  return [] { return std::make_unique<MemoryByteSource>(benchGrid()); };
}
// Sources over the file read into the same block memory, as the grids of one run are; only one
// of them is alive at a time.
auto fileSource() {
  return [] {
    static FileBlockMemory memory;
    return FileByteSource::open(benchFile(), &memory);
  };
}

// The floor under the file scan: every block of the grid read once through the same source.
void BM_ReadFileOnce(benchmark::State& state) {
  auto makeSource = fileSource();
  makeSource();  // writes the grid before the clock runs
  uint8_t scratch[1];
  for (auto _ : state) {
    auto source = makeSource();
    uint8_t sum = 0;
    for (int64_t at = 0; at < source->size(); at += FileBlockMemory::kBlockSize) {
      sum ^= *source->view(at, 1, scratch);
    }
    benchmark::DoNotOptimize(sum);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(benchGrid().size()));
}
void BM_ReadGridMemory(benchmark::State& state) { readGrid(state, memorySource(), true); }
void BM_ReadGridFile(benchmark::State& state) { readGrid(state, fileSource(), true); }
void BM_ReadGridFileWithoutKeptChunks(benchmark::State& state) {
  readGrid(state, fileSource(), false);
}

BENCHMARK(BM_ReadFileOnce)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadGridMemory)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadGridFile)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadGridFileWithoutKeptChunks)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace vorlind

BENCHMARK_MAIN();
