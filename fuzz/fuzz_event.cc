// Fuzz target: the fuzzer's bytes are up to three replays of one event, run through the whole
// program in-process in a scratch directory, with scripted answers and the console in memory.
// Besides the sanitizers it checks that every run ends in a defined way.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "robustness_harness.h"
#include "small_events.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static vorlind::harness::ScratchDir dir("fuzz-event");
  static const std::string myName = vorlind::harness::scenarioMyName();
  const vorlind::harness::RunResult result = vorlind::harness::runEvent(
      dir.path(), vorlind::harness::eventForInput(std::span<const uint8_t>(data, size), myName));
  const std::string problem = vorlind::harness::checkDefinedEnd(result);
  if (!problem.empty()) {
    std::fprintf(stderr, "fuzz_event: %s\nconsole:\n%s\n", problem.c_str(), result.Console.c_str());
    std::abort();
  }
  return 0;
}
