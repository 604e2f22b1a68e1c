// Vorlind: reads the server replays of a multiplayer event, talks to the user on the console and
// writes one HTML report of the whole event into the working directory. With arguments it is the
// command line for scripts instead.
#include <iostream>

#include "platform/console.h"
#include "run/command_line.h"
#include "run/run_driver.h"

int main(int argc, char** argv) {
  if (argc > 1) {
    return vorlind::runCommandLine(vorlind::parseCommandLine(argc, argv), std::cout, std::cerr,
                                   ".");
  }
  vorlind::Console console{std::cin, std::cout, vorlind::standardInputIsTerminal()};
  return vorlind::runVorlind(console, ".");
}
