// What the operating system provides to the run: the console with its pause, the directory
// separator of the replay paths, and how the report file is opened. Everything else of the
// program is the same on every system.
#pragma once

#include <cstddef>
#include <istream>
#include <memory>
#include <ostream>
#include <streambuf>
#include <string>
#include <string_view>

namespace vorlind {

struct Console {
  std::istream& In;
  std::ostream& Out;
  // Standard input is a terminal: a pause waits for a key there. A pause never reads from a
  // pipe or a file, so that scripted answers are not eaten.
  bool InteractiveInput = false;
};

// Waits for a key as the console's "PAUSE" command does, with its prompt.
void pauseConsole(Console& console);

// How many of `bytes`, read from a terminal, one key press sent: a single byte, a UTF-8
// character, or an escape sequence (ESC [ ... final byte, ESC O and a letter, ESC and one byte).
// 0 while the bytes are the start of a longer key that has not arrived whole.
size_t keyPressLength(std::string_view bytes);

// True when the process's standard input is a terminal.
bool standardInputIsTerminal();

// True when the program has a console window of its own, as when it is started from Explorer,
// and reads its input from it: a window that would close at the end, before its last lines
// could be read. Never on systems without such windows.
bool ownsConsoleWindow();

// While it lives, UTF-8 text written to standard output and standard error shows as typed where
// they are a Windows console window; redirected to a file or a pipe they keep the UTF-8 bytes, as
// they do everywhere on other systems.
class Utf8ConsoleText {
 public:
  Utf8ConsoleText();
  ~Utf8ConsoleText();
  Utf8ConsoleText(const Utf8ConsoleText&) = delete;
  Utf8ConsoleText& operator=(const Utf8ConsoleText&) = delete;

 private:
  std::unique_ptr<std::streambuf> out_;  // set where standard output is a console window
  std::unique_ptr<std::streambuf> err_;
};

// The replay path as the file system wants it: on systems whose separator is "/", every "\"
// becomes "/".
std::string nativePath(std::string_view path);

}  // namespace vorlind
