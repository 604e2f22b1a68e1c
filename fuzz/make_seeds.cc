// vorlind-fuzz-seeds: writes the seed corpora of the two fuzz targets from the event writer's
// scenarios in their scaled-down form: every replay alone (read as each grid in turn) for the
// replay target, and every scenario's replays joined into one input for the event target.
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "robustness_harness.h"
#include "small_events.h"

namespace {

namespace fs = std::filesystem;

bool writeSeed(const fs::path& file, const std::vector<uint8_t>& bytes) {
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: vorlind-fuzz-seeds <replay-corpus-dir> <event-corpus-dir>\n";
    return 2;
  }
  const fs::path replayDir(argv[1]);
  const fs::path eventDir(argv[2]);
  std::error_code error;
  fs::create_directories(replayDir, error);
  fs::create_directories(eventDir, error);

  const std::vector<vorlind::harness::SmallEvent> events = vorlind::harness::allSmallScenarios();
  std::vector<std::vector<uint8_t>> mixed;
  int written = 0;
  bool ok = true;
  for (const vorlind::harness::SmallEvent& event : events) {
    std::vector<std::vector<uint8_t>> replays;
    for (size_t i = 0; i < event.Replays.size(); ++i) {
      std::vector<uint8_t> bytes = event.Replays[i].Bytes;
      // Header byte 0 is never read by the program; the replay target takes its grid from it.
      bytes[0] = static_cast<uint8_t>(written % vorlind::kGridCount);
      ok &= writeSeed(replayDir / (event.Name + "_" + std::to_string(i) + ".rpy"), bytes);
      ++written;
      replays.push_back(event.Replays[i].Bytes);
      if (mixed.size() < vorlind::harness::kMaxEventReplays && i == 0) mixed.push_back(bytes);
    }
    // The event target takes its menu answers from the first byte: a chart, then 0 or -1.
    replays[0][0] = static_cast<uint8_t>((written % 2 ? 0x80 : 0x00) | (1 + written % 4));
    ok &= writeSeed(eventDir / (event.Name + ".event"), vorlind::harness::joinEventInput(replays));
  }
  if (!mixed.empty()) {
    mixed[0][0] = 2;
    ok &= writeSeed(eventDir / "mixed.event", vorlind::harness::joinEventInput(mixed));
  }
  if (!ok || events.empty()) {
    std::cerr << "vorlind-fuzz-seeds: could not write the corpora\n";
    return 1;
  }
  std::cout << written << " replay seeds and " << events.size() + 1 << " event seeds written\n";
  return 0;
}
