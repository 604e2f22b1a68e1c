// Times a whole run of the program on an event folder against reading the same replays once
// with cat (hot cache; the two interleaved, 11 runs each, medians) and reports the peak resident
// memory of the program's runs, and in one more run the peak of its private (anonymous) memory,
// sampled every millisecond.
#include <sys/resource.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

namespace {

struct RunFigures {
  double Seconds = 0;
  long PeakKiB = 0;
  int ExitCode = -1;
};

// Runs `argv` in `dir` with stdin from `input` (or /dev/null) and stdout to /dev/null.
RunFigures runOnce(const std::vector<std::string>& argv, const std::string& dir,
                   const std::string& input) {
  RunFigures figures;
  const auto start = std::chrono::steady_clock::now();
  const pid_t child = fork();
  if (child == 0) {
    if (chdir(dir.c_str()) != 0) _exit(126);
    const int in = open(input.empty() ? "/dev/null" : input.c_str(), O_RDONLY);
    const int out = open("/dev/null", O_WRONLY);
    if (in < 0 || out < 0) _exit(126);
    dup2(in, 0);
    dup2(out, 1);
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execv(args[0], args.data());
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  wait4(child, &status, 0, &usage);
  figures.Seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  figures.PeakKiB = usage.ru_maxrss;
  figures.ExitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return figures;
}

// The largest RssAnon of /proc/<pid>/status while the process runs, in KiB.
long peakPrivateKiB(const std::vector<std::string>& argv, const std::string& dir,
                    const std::string& input) {
  const pid_t child = fork();
  if (child == 0) {
    if (chdir(dir.c_str()) != 0) _exit(126);
    const int in = open(input.c_str(), O_RDONLY);
    const int out = open("/dev/null", O_WRONLY);
    if (in < 0 || out < 0) _exit(126);
    dup2(in, 0);
    dup2(out, 1);
    execl(argv[0].c_str(), argv[0].c_str(), nullptr);
    _exit(127);
  }
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

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: vorlind_measure <vorlind binary> <event folder>\n";
    return 2;
  }
  const std::string program = std::filesystem::absolute(argv[1]).string();
  const std::string dir = std::filesystem::absolute(argv[2]).string();
  std::vector<std::string> cat = {"/bin/cat"};
  uintmax_t bytes = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir + "/replays")) {
    cat.push_back(entry.path().string());
    bytes += entry.file_size();
  }
  std::sort(cat.begin() + 1, cat.end());
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
  std::printf("event: %zu replays, %.1f MB\n", cat.size() - 1, static_cast<double>(bytes) / 1e6);
  std::printf("vorlind full run:            %.3f s\n", vorlindMedian);
  std::printf("cat of the same files:       %.3f s\n", catMedian);
  std::printf("ratio vorlind / cat:         %.2f\n", vorlindMedian / catMedian);
  std::printf("peak resident memory:        %.1f MiB\n", static_cast<double>(peakKiB) / 1024.0);
  std::printf("peak private memory:         %.1f MiB\n",
              static_cast<double>(peakPrivateKiB({program}, dir, dir + "/answers.txt")) / 1024.0);
  return 0;
}
