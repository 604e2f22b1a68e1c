// Vorlind: reads the server replays of a multiplayer event, talks to the user on the console and
// writes one HTML report of the whole event into the working directory.
#include <iostream>

#include "platform/console.h"
#include "run/run_driver.h"

int main() {
  vorlind::Console console{std::cin, std::cout, vorlind::standardInputIsTerminal()};
  return vorlind::runVorlind(console, ".");
}
