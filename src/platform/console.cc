#include "platform/console.h"

#include <cstdint>
#include <cstdlib>

#ifdef _WIN32
#include <io.h>
#include <stdio.h>
#include <windows.h>

#include <algorithm>
#include <iostream>

#include "platform/file_names.h"
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

namespace {

// Standard output or error where it is a console window: UTF-8 text is shown through the
// console's wide characters, as typed, whatever the window's code page. The buffer takes the
// stream's place while it lives.
class ConsoleWindowBuffer final : public std::streambuf {
 public:
  ConsoleWindowBuffer(HANDLE window, std::ostream& stream)
      : window_(window), stream_(stream), saved_(stream.rdbuf(this)) {}
  ~ConsoleWindowBuffer() override {
    stream_.flush();
    stream_.rdbuf(saved_);
  }
  ConsoleWindowBuffer(const ConsoleWindowBuffer&) = delete;
  ConsoleWindowBuffer& operator=(const ConsoleWindowBuffer&) = delete;

 protected:
  int_type overflow(int_type c) override {
    if (!traits_type::eq_int_type(c, traits_type::eof())) pending_ += traits_type::to_char_type(c);
    return traits_type::not_eof(c);
  }
  std::streamsize xsputn(const char* text, std::streamsize count) override {
    pending_.append(text, static_cast<size_t>(count));
    return count;
  }
  // Writes the whole characters; the first bytes of one still arriving wait for the rest.
  int sync() override {
    size_t whole = pending_.size();
    for (size_t back = 1; back <= std::min<size_t>(3, pending_.size()); ++back) {
      const auto byte = static_cast<uint8_t>(pending_[pending_.size() - back]);
      if ((byte & 0xC0) == 0x80) continue;
      const size_t length = byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : byte >= 0xC0 ? 2 : 1;
      if (length > back) whole -= back;
      break;
    }
    const std::wstring wide = wideFromUtf8(std::string_view(pending_).substr(0, whole));
    pending_.erase(0, whole);
    for (size_t at = 0; at < wide.size();) {
      // Pieces of a size every version of the console accepts, never between two surrogates.
      size_t piece = std::min<size_t>(wide.size() - at, kLongestWrite);
      if (at + piece < wide.size() && IS_HIGH_SURROGATE(wide[at + piece - 1])) --piece;
      DWORD written = 0;
      if (!WriteConsoleW(window_, wide.data() + at, static_cast<DWORD>(piece), &written, nullptr) ||
          written == 0) {
        return -1;
      }
      at += written;
    }
    return 0;
  }

 private:
  static constexpr size_t kLongestWrite = 8192;
  HANDLE window_;
  std::ostream& stream_;
  std::streambuf* saved_;
  std::string pending_;
};

std::unique_ptr<std::streambuf> consoleWindowBuffer(DWORD handle, std::ostream& stream) {
  const HANDLE window = GetStdHandle(handle);
  DWORD mode = 0;
  if (window == INVALID_HANDLE_VALUE || !GetConsoleMode(window, &mode)) return nullptr;
  stream.flush();
  return std::make_unique<ConsoleWindowBuffer>(window, stream);
}

}  // namespace

Utf8ConsoleText::Utf8ConsoleText()
    : out_(consoleWindowBuffer(STD_OUTPUT_HANDLE, std::cout)),
      err_(consoleWindowBuffer(STD_ERROR_HANDLE, std::cerr)) {}

Utf8ConsoleText::~Utf8ConsoleText() = default;

bool ownsConsoleWindow() {
  DWORD processes[2];
  DWORD mode = 0;
  return GetConsoleProcessList(processes, 2) == 1 &&
         GetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), &mode) != 0;
}

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

Utf8ConsoleText::Utf8ConsoleText() = default;

Utf8ConsoleText::~Utf8ConsoleText() = default;

bool ownsConsoleWindow() { return false; }

std::string nativePath(std::string_view path) {
  std::string native(path);
  for (char& c : native) {
    if (c == '\\') c = '/';
  }
  return native;
}

#endif

}  // namespace vorlind
