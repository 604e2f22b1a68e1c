#include "platform/console.h"

#include <cstdint>
#include <cstdlib>

#ifdef _WIN32
#include <io.h>
#include <stdio.h>
#else
#include <poll.h>
#include <termios.h>
#include <unistd.h>
#endif

namespace vorlind {

size_t keyPressLength(std::string_view bytes) {
  if (bytes.empty()) return 0;
  const auto first = static_cast<uint8_t>(bytes[0]);
  size_t length = 1;
  if (first == 0x1B) {
    if (bytes.size() < 2) return 0;
    if (bytes[1] == '[') {
      for (size_t i = 2; i < bytes.size(); ++i) {
        const auto byte = static_cast<uint8_t>(bytes[i]);
        if (byte >= 0x40 && byte <= 0x7E) return i + 1;
      }
      return 0;
    }
    length = bytes[1] == 'O' ? 3 : 2;
  } else if (first >= 0xF0) {
    length = 4;
  } else if (first >= 0xE0) {
    length = 3;
  } else if (first >= 0xC0) {
    length = 2;
  }
  return bytes.size() >= length ? length : 0;
}

#ifdef _WIN32

void pauseConsole(Console& console) {
  console.Out.flush();
  std::system("PAUSE");
}

bool standardInputIsTerminal() { return _isatty(_fileno(stdin)) != 0; }

std::string nativePath(std::string_view path) { return std::string(path); }

#else

namespace {

// A key's further bytes follow its first within this time; a lone Escape key sends no more.
constexpr int kKeyRestMs = 50;
constexpr size_t kLongestKey = 16;

// Reads one key press from the terminal without echo and without waiting for Enter: all the bytes
// of a key that sends several, and not a byte more.
void waitForKey() {
  termios saved{};
  if (tcgetattr(STDIN_FILENO, &saved) != 0) return;
  termios raw = saved;
  raw.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO));
  raw.c_cc[VMIN] = 1;
  raw.c_cc[VTIME] = 0;
  if (tcsetattr(STDIN_FILENO, TCSANOW, &raw) != 0) return;
  std::string key;
  char byte = 0;
  while (key.size() < kLongestKey && read(STDIN_FILENO, &byte, 1) == 1) {
    key += byte;
    if (keyPressLength(key) != 0) break;
    pollfd input{STDIN_FILENO, POLLIN, 0};
    if (poll(&input, 1, kKeyRestMs) <= 0) break;
  }
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
