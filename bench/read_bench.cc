// The floor under a full run: the ways of getting an event's replays into memory, each touching
// every 16th byte as the frame stream searches do, timed against cat of the same files. Each way
// runs in a process of its own, as cat and the program do, and the ways take turns run by run
// (hot cache, medians), so that every machine can tell its own limit. Then the other floor: the
// analysis alone, the grids read by the program's own readers from replays already held in
// memory, timed in this process. A full run takes at least the larger of the two, and both when
// it cannot overlap them.
//
// usage: vorlind_readbench <event folder> [runs]
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "bench_runs.h"
#include "replay/byte_source.h"
#include "replay/event_store.h"
#include "replay/grid_reader.h"

namespace {

using namespace vorlind::bench;

constexpr size_t kStride = 16;

struct Way {
  const char* Name;
  const char* Mode;  // the child's mode, or nullptr for cat
};

constexpr Way kWays[] = {
    {"cat", nullptr},
    {"mmap", "mmap"},
    {"read, 128 KiB buffer", "read-128k"},
    {"read, ring of 16 x 64 KiB", "read-ring16"},
    {"read, ring of 64 x 64 KiB", "read-ring"},
};

uint64_t touch(const uint8_t* bytes, size_t length, uint64_t sum) {
  for (size_t at = 0; at < length; at += kStride) sum += bytes[at];
  return sum;
}

uint64_t touchMapped(const char* path) {
  const int fd = open(path, O_RDONLY | O_CLOEXEC);
  struct stat info {};
  if (fd < 0 || fstat(fd, &info) != 0) return 0;
  const auto size = static_cast<size_t>(info.st_size);
  void* map = mmap(nullptr, size, PROT_READ, MAP_SHARED, fd, 0);
  close(fd);
  if (map == MAP_FAILED) return 0;
  const uint64_t sum = touch(static_cast<const uint8_t*>(map), size, 0);
  munmap(map, size);
  return sum;
}

// Reads the file into `blocks` blocks of `blockSize` bytes in turn.
uint64_t touchRead(const char* path, size_t blockSize, size_t blocks) {
  const int fd = open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return 0;
  const std::unique_ptr<uint8_t[]> buffer(new uint8_t[blockSize * blocks]);
  uint64_t sum = 0;
  for (size_t block = 0;; block = (block + 1) % blocks) {
    uint8_t* into = buffer.get() + block * blockSize;
    const ssize_t got = read(fd, into, blockSize);
    if (got <= 0) break;
    sum = touch(into, static_cast<size_t>(got), sum);
  }
  close(fd);
  return sum;
}

int child(const std::string& mode, int count, char** files) {
  uint64_t sum = 0;
  for (int i = 0; i < count; ++i) {
    if (mode == "mmap") {
      sum += touchMapped(files[i]);
    } else if (mode == "read-128k") {
      sum += touchRead(files[i], 128 << 10, 1);
    } else if (mode == "read-ring16") {
      sum += touchRead(files[i], 64 << 10, 16);
    } else if (mode == "read-ring") {
      sum += touchRead(files[i], 64 << 10, 64);
    } else {
      return 2;
    }
  }
  std::printf("%llu\n", static_cast<unsigned long long>(sum));
  return 0;
}

// The median time of reading the replays, held in memory, as grids 1, 2, ... of one event.
double analyseInMemory(const std::vector<std::string>& files, int runs) {
  std::vector<std::vector<uint8_t>> replays;
  for (const std::string& file : files) {
    std::vector<uint8_t>& bytes = replays.emplace_back(std::filesystem::file_size(file));
    std::FILE* in = std::fopen(file.c_str(), "rb");
    const bool read =
        in != nullptr && std::fread(bytes.data(), 1, bytes.size(), in) == bytes.size();
    if (in != nullptr) std::fclose(in);
    if (!read) return -1;
  }
  vorlind::GridReader reader;
  vorlind::SilentGridListener listener;
  const auto store = std::make_unique<vorlind::EventStore>();
  std::vector<double> seconds;
  for (int run = -1; run < runs; ++run) {
    vorlind::initEventStore(*store);
    const auto start = std::chrono::steady_clock::now();
    int grid = 1;
    for (const std::vector<uint8_t>& bytes : replays) {
      if (grid > vorlind::kGridCount) break;  // an event holds five grids, as a run reads it
      vorlind::MemoryByteSource source(bytes);
      const vorlind::GridResult result =
          reader.read(source, *store, grid, (grid - 1) * vorlind::kSlotsPerGrid, listener);
      if (result.Outcome == vorlind::GridOutcome::kCounted) ++grid;
    }
    if (run >= 0) {
      seconds.push_back(
          std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
  }
  return median(seconds);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 3 && std::strcmp(argv[1], "--child") == 0) {
    return child(argv[2], argc - 3, argv + 3);
  }
  if (argc < 2 || argc > 3) {
    std::fprintf(stderr, "usage: vorlind_readbench <event folder> [runs]\n");
    return 2;
  }
  const int runs = argc == 3 ? std::max(1, std::atoi(argv[2])) : 11;
  const EventReplays replays = listReplays(argv[1]);
  const std::vector<std::string>& files = replays.Paths;
  const std::string self = std::filesystem::canonical("/proc/self/exe").string();

  std::vector<std::vector<double>> seconds(std::size(kWays));
  for (int run = -1; run < runs; ++run) {  // run -1 warms the cache
    for (size_t way = 0; way < std::size(kWays); ++way) {
      std::vector<std::string> argv2 =
          kWays[way].Mode == nullptr ? std::vector<std::string>{"/bin/cat"}
                                     : std::vector<std::string>{self, "--child", kWays[way].Mode};
      argv2.insert(argv2.end(), files.begin(), files.end());
      const RunFigures figures = runOnce(argv2);
      if (figures.ExitCode != 0) {
        std::fprintf(stderr, "%s failed\n", kWays[way].Name);
        return 1;
      }
      if (run >= 0) seconds[way].push_back(figures.Seconds);
    }
  }
  std::printf("reading %zu replays, %.1f MB, every 16th byte touched (%d runs, medians)\n",
              files.size(), static_cast<double>(replays.Bytes) / 1e6, runs);
  const double cat = median(seconds[0]);
  for (size_t way = 0; way < std::size(kWays); ++way) {
    const double time = median(seconds[way]);
    std::printf("  %-28s %.3f s   %.2f x cat\n", kWays[way].Name, time, time / cat);
  }
  const double analysis = analyseInMemory(files, runs);
  if (analysis < 0) {
    std::fprintf(stderr, "the replays could not be read into memory\n");
    return 1;
  }
  std::printf("  %-28s %.3f s   %.2f x cat\n", "analysis, replays in memory", analysis,
              analysis / cat);
  return 0;
}
