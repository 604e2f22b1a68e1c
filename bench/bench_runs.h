// What the whole-run benchmarks share: the replays of an event folder, a program run in a process
// of its own with its output thrown away, and the median of a series of timings.
#pragma once

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace vorlind::bench {

struct EventReplays {
  std::vector<std::string> Paths;  // in name order, as a run takes them
  uintmax_t Bytes = 0;
};

inline EventReplays listReplays(const std::string& eventDir) {
  EventReplays replays;
  for (const auto& entry : std::filesystem::directory_iterator(eventDir + "/replays")) {
    replays.Paths.push_back(entry.path().string());
    replays.Bytes += entry.file_size();
  }
  std::sort(replays.Paths.begin(), replays.Paths.end());
  return replays;
}

// Starts `argv` in `dir` (the current folder when empty) with stdin from `input` (or /dev/null)
// and stdout to /dev/null; the child's pid.
inline pid_t startChild(const std::vector<std::string>& argv, const std::string& dir,
                        const std::string& input) {
  const pid_t child = fork();
  if (child == 0) {
    if (!dir.empty() && chdir(dir.c_str()) != 0) _exit(126);
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
  return child;
}

struct RunFigures {
  double Seconds = 0;
  long PeakKiB = 0;
  int ExitCode = -1;
};

// Runs `argv` as startChild does and waits for it.
inline RunFigures runOnce(const std::vector<std::string>& argv, const std::string& dir = "",
                          const std::string& input = "") {
  RunFigures figures;
  const auto start = std::chrono::steady_clock::now();
  const pid_t child = startChild(argv, dir, input);
  int status = 0;
  rusage usage{};
  wait4(child, &status, 0, &usage);
  figures.Seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  figures.PeakKiB = usage.ru_maxrss;
  figures.ExitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return figures;
}

inline double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

}  // namespace vorlind::bench
