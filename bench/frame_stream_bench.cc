// Micro-benchmarks of the two frame stream searches on one generated grid of 20 cars at 60
// frames per second, read from memory and from a file; the sector search both from the chunks
// the track length scan kept and reading every chunk again.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include "event_plans.h"
#include "replay/byte_source.h"
#include "replay/event_store.h"
#include "replay/frame_stream.h"
#include "replay/lap_extraction.h"
#include "replay/replay_header.h"
#include "replay/sector_search.h"
#include "track/track_length.h"

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

// A store holding the grid's laps, and where its frame stream starts.
struct PreparedGrid {
  std::unique_ptr<EventStore> Store = std::make_unique<EventStore>();
  int64_t StreamStart = 0;
};

PreparedGrid prepare(ByteSource& source) {
  PreparedGrid grid;
  initEventStore(*grid.Store);
  grid.Store->ReplayFileSize = source.size();
  std::ostringstream console;
  ByteCursor cursor(source);
  if (readReplayHeader(source, *grid.Store) == HeaderResult::kServerReplay &&
      readReplayLaps(cursor, *grid.Store, 0, 1, console) == LapsResult::kRead) {
    grid.StreamStart = cursor.position();
  }
  return grid;
}

// The track length scan as a run does it, with the sector recorder watching.
template <typename MakeSource>
void trackLengthScan(benchmark::State& state, MakeSource makeSource) {
  makeSource();  // writes the grid before the clock runs
  SectorRecorder recorder;
  for (auto _ : state) {
    auto source = makeSource();
    PreparedGrid grid = prepare(*source);
    std::ostringstream console;
    ChunkChain chain(*source, grid.StreamStart);
    recorder.startGrid(*grid.Store, 0, source->size());
    searchTrackLength(*source, chain, *grid.Store, console, &recorder);
    benchmark::DoNotOptimize(grid.Store->TrackLengthRaw);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(benchGrid().size()));
}

// The sector search after the scan, from the chunks the recorder kept or, without it, reading
// every chunk of the measurements from the source.
template <typename MakeSource>
void sectorSearch(benchmark::State& state, MakeSource makeSource, bool keptChunks) {
  auto source = makeSource();
  PreparedGrid grid = prepare(*source);
  ChunkChain chain(*source, grid.StreamStart);
  std::ostringstream console;
  SectorRecorder recorder;
  recorder.startGrid(*grid.Store, 0, source->size());
  searchTrackLength(*source, chain, *grid.Store, console, &recorder);
  for (auto _ : state) {
    searchSectorTimes(*source, chain, *grid.Store, 0, console, keptChunks ? &recorder : nullptr);
    console.str("");
    benchmark::DoNotOptimize(grid.Store->BestLapSplitTime);
  }
}

auto memorySource() {
  return [] { return std::make_unique<MemoryByteSource>(benchGrid()); };
}
// Sources over the file read into the same block memory, as the grids of one run are; only one
// of them is alive at a time.
auto fileSource() {
  return [] {
    static FileBlockMemory memory;
    return FileByteSource::open(benchFile().string(), &memory);
  };
}

// The floor under the file scan: every block of the grid read once through the same source.
void BM_ReadFileOnce(benchmark::State& state) {
  auto makeSource = fileSource();
  makeSource();  // writes the grid before the clock runs
  for (auto _ : state) {
    auto source = makeSource();
    uint8_t sum = 0;
    for (int64_t at = 0; at < source->size(); at += FileBlockMemory::kBlockSize) {
      sum ^= *source->peek(at, 1);
    }
    benchmark::DoNotOptimize(sum);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(benchGrid().size()));
}
void BM_TrackLengthScanMemory(benchmark::State& state) { trackLengthScan(state, memorySource()); }
void BM_TrackLengthScanFile(benchmark::State& state) { trackLengthScan(state, fileSource()); }
void BM_SectorSearchKeptChunks(benchmark::State& state) {
  sectorSearch(state, fileSource(), true);
}
void BM_SectorSearchReadingMemory(benchmark::State& state) {
  sectorSearch(state, memorySource(), false);
}
void BM_SectorSearchReadingFile(benchmark::State& state) {
  sectorSearch(state, fileSource(), false);
}

BENCHMARK(BM_ReadFileOnce)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TrackLengthScanMemory)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TrackLengthScanFile)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SectorSearchKeptChunks)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SectorSearchReadingMemory)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SectorSearchReadingFile)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace vorlind

BENCHMARK_MAIN();
