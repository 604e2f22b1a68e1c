// Times a whole run of the program on an event folder against reading the same replays once
// with cat (hot cache; the two interleaved, 11 runs each, medians) and reports the peak resident
// memory of the program's runs, and in one more run the peak of its private (anonymous) memory,
// sampled every millisecond.
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "bench_runs.h"

namespace {

using namespace vorlind::bench;

// The largest RssAnon of /proc/<pid>/status while the process runs, in KiB.
long peakPrivateKiB(const std::vector<std::string>& argv, const std::string& dir,
                    const std::string& input) {
  const pid_t child = startChild(argv, dir, input);
  long peak = 0;
  const std::string status = "/proc/" + std::to_string(child) + "/status";
  while (waitpid(child, nullptr, WNOHANG) == 0) {
    if (std::FILE* file = std::fopen(status.c_str(), "r")) {
      char line[256];
      long kib = 0;
      while (std::fgets(line, sizeof line, file) != nullptr) {
        if (std::sscanf(line, "RssAnon: %ld", &kib) == 1) peak = std::max(peak, kib);
      }
      std::fclose(file);
    }
    usleep(1000);
  }
  return peak;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: vorlind_measure <vorlind binary> <event folder>\n";
    return 2;
  }
  const std::string program = std::filesystem::absolute(argv[1]).string();
  const std::string dir = std::filesystem::absolute(argv[2]).string();
  const EventReplays replays = listReplays(dir);
  std::vector<std::string> cat = {"/bin/cat"};
  cat.insert(cat.end(), replays.Paths.begin(), replays.Paths.end());
  const int runs = 11;
  std::vector<double> catSeconds, vorlindSeconds;
  long peakKiB = 0;
  runOnce(cat, dir, "");
  for (int i = 0; i < runs; ++i) {
    const RunFigures reading = runOnce(cat, dir, "");
    const RunFigures run = runOnce({program}, dir, dir + "/answers.txt");
    if (reading.ExitCode != 0 || run.ExitCode != 0) {
      std::cerr << "a run failed: cat " << reading.ExitCode << ", vorlind " << run.ExitCode << "\n";
      return 1;
    }
    catSeconds.push_back(reading.Seconds);
    vorlindSeconds.push_back(run.Seconds);
    peakKiB = std::max(peakKiB, run.PeakKiB);
  }
  const double vorlindMedian = median(vorlindSeconds), catMedian = median(catSeconds);
  std::printf("event: %zu replays, %.1f MB\n", replays.Paths.size(),
              static_cast<double>(replays.Bytes) / 1e6);
  std::printf("vorlind full run:            %.3f s\n", vorlindMedian);
  std::printf("cat of the same files:       %.3f s\n", catMedian);
  std::printf("ratio vorlind / cat:         %.2f\n", vorlindMedian / catMedian);
  std::printf("peak resident memory:        %.1f MiB\n", static_cast<double>(peakKiB) / 1024.0);
  std::printf("peak private memory:         %.1f MiB\n",
              static_cast<double>(peakPrivateKiB({program}, dir, dir + "/answers.txt")) / 1024.0);
  return 0;
}
