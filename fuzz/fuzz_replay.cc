// Fuzz target: the fuzzer's bytes are one replay, read through the whole grid reading (header,
// entry table, lap blocks, grid start time, track length and sector search) from memory, with
// the file system out of the loop. The first byte picks the grid, so that the slots of every
// grid are reached.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "replay/event_store.h"
#include "robustness_harness.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::unique_ptr<vorlind::EventStore> store = std::make_unique<vorlind::EventStore>();
  const std::string problem =
      vorlind::harness::runReplayInput(std::span<const uint8_t>(data, size), *store);
  if (!problem.empty()) {
    std::fprintf(stderr, "fuzz_replay: %s\n", problem.c_str());
    std::abort();
  }
  return 0;
}
