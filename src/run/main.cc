// Vorlind: reads the server replays of a multiplayer event, talks to the user on the console and
// writes one HTML report of the whole event into the working directory. With arguments it is the
// command line for scripts instead; on Windows it takes them as Unicode and holds them as UTF-8.
#include <iostream>
#include <string>
#include <vector>

#include "platform/console.h"
#include "platform/file_names.h"
#include "run/command_line.h"
#include "run/run_driver.h"

namespace {

int runDialogue() {
  vorlind::Console console{std::cin, std::cout, vorlind::standardInputIsTerminal()};
  return vorlind::runVorlind(console, ".");
}

int runArguments(const std::vector<std::string>& arguments) {
  std::vector<const char*> argv;
  for (const std::string& argument : arguments) argv.push_back(argument.c_str());
  const vorlind::CommandLine command =
      vorlind::parseCommandLine(static_cast<int>(argv.size()), argv.data());
  int code = 0;
  {
    const vorlind::Utf8ConsoleText text;
    code = vorlind::runCommandLine(command, std::cout, std::cerr, ".");
  }
  // A window opened for dropped replays stays until its last lines have been read.
  if (command.Dropped && vorlind::ownsConsoleWindow()) {
    vorlind::Console console{std::cin, std::cout, true};
    vorlind::pauseConsole(console);
  }
  return code;
}

}  // namespace

#ifdef _WIN32
int wmain(int argc, wchar_t** argv) {
  if (argc > 1) return runArguments(vorlind::utf8Arguments(argc, argv));
  return runDialogue();
}
#else
int main(int argc, char** argv) {
  if (argc > 1) return runArguments({argv, argv + argc});
  return runDialogue();
}
#endif
