// vorlind-mkevent: writes synthetic events (configuration files, server replays and scripted
// console answers) or a season of events into a directory, for manual runs, benchmarks and fuzz
// corpora.
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "event_plans.h"

namespace {

void printUsage() {
  std::cerr << "usage: vorlind-mkevent demo <dir>\n"
               "       vorlind-mkevent long <dir> [grids] [cars] [laps]\n"
               "       vorlind-mkevent scenario <name> <dir>\n"
               "       vorlind-mkevent crafted <dir> [megabytes]\n"
               "       vorlind-mkevent season <dir> [rounds] [cars] [laps]\n"
               "scenarios:";
  for (const std::string& name : vorlind::tools::scenarioNames()) std::cerr << ' ' << name;
  std::cerr << '\n';
}

// Parses a whole positive number; 0 when the text is not one.
int parseCount(const std::string& text) {
  if (text.empty() || text.size() > 4) return 0;
  int value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return 0;
    value = value * 10 + (c - '0');
  }
  return value;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  vorlind::tools::EventDirectory event;
  std::string dir;
  if (args.size() == 2 && args[0] == "demo") {
    event = vorlind::tools::demoEvent();
    dir = args[1];
  } else if (args.size() >= 2 && args.size() <= 5 && args[0] == "long") {
    std::vector<int> counts = {2, 20, 25};
    for (size_t i = 2; i < args.size(); ++i) {
      counts[i - 2] = parseCount(args[i]);
      if (counts[i - 2] <= 0) {
        printUsage();
        return 2;
      }
    }
    if (counts[0] > 5 || counts[1] > 20 || counts[2] > 150) {
      std::cerr << "at most 5 grids, 20 cars and 150 laps\n";
      return 2;
    }
    event = vorlind::tools::longEvent(counts[0], counts[1], counts[2]);
    dir = args[1];
  } else if ((args.size() == 2 || args.size() == 3) && args[0] == "crafted") {
    const int megabytes = args.size() == 3 ? parseCount(args[2]) : 10;
    if (megabytes <= 0 || megabytes > 1000) {
      printUsage();
      return 2;
    }
    event = vorlind::tools::craftedEvent(int64_t{megabytes} * 1000 * 1000);
    dir = args[1];
  } else if (args.size() >= 2 && args.size() <= 5 && args[0] == "season") {
    std::vector<int> counts = {4, 8, 5};
    for (size_t i = 2; i < args.size(); ++i) counts[i - 2] = parseCount(args[i]);
    if (counts[0] < 1 || counts[0] > 20 || counts[1] < 2 || counts[1] > 20 || counts[2] < 1 ||
        counts[2] > 150) {
      std::cerr << "1 to 20 rounds, 2 to 20 cars and 1 to 150 laps\n";
      return 2;
    }
    const std::string error =
        vorlind::tools::writeSeasonDirectory(args[1], counts[0], counts[1], counts[2]);
    if (!error.empty()) std::cerr << "vorlind-mkevent: " << error << '\n';
    return error.empty() ? 0 : 1;
  } else if (args.size() == 3 && args[0] == "scenario") {
    if (!vorlind::tools::scenarioEvent(args[1], &event)) {
      std::cerr << "unknown scenario: " << args[1] << '\n';
      printUsage();
      return 2;
    }
    dir = args[2];
  } else {
    printUsage();
    return 2;
  }
  const std::string error = vorlind::tools::writeEventDirectory(dir, event);
  if (!error.empty()) {
    std::cerr << "vorlind-mkevent: " << error << '\n';
    return 1;
  }
  return 0;
}
