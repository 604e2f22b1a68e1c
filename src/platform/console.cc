#include "platform/console.h"

#include <cstdlib>

#ifdef _WIN32
#include <io.h>
#include <stdio.h>
#else
#include <termios.h>
#include <unistd.h>
#endif

namespace vorlind {

#ifdef _WIN32

void pauseConsole(Console& console) {
  console.Out.flush();
  std::system("PAUSE");
}

bool standardInputIsTerminal() { return _isatty(_fileno(stdin)) != 0; }

std::string nativePath(std::string_view path) { return std::string(path); }

#else

namespace {

// Reads one key from the terminal without echo and without waiting for Enter.
void waitForKey() {
  termios saved{};
  if (tcgetattr(STDIN_FILENO, &saved) != 0) return;
  termios raw = saved;
  raw.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO));
  raw.c_cc[VMIN] = 1;
  raw.c_cc[VTIME] = 0;
  if (tcsetattr(STDIN_FILENO, TCSANOW, &raw) != 0) return;
  char key = 0;
  [[maybe_unused]] const ssize_t got = read(STDIN_FILENO, &key, 1);
  tcsetattr(STDIN_FILENO, TCSANOW, &saved);
}

}  // namespace

void pauseConsole(Console& console) {
  console.Out << "Press any key to continue . . . ";
  console.Out.flush();
  if (console.InteractiveInput) waitForKey();
  console.Out << std::endl;
}

bool standardInputIsTerminal() { return isatty(STDIN_FILENO) != 0; }

std::string nativePath(std::string_view path) {
  std::string native(path);
  for (char& c : native) {
    if (c == '\\') c = '/';
  }
  return native;
}

#endif

}  // namespace vorlind
