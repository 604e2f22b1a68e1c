// File names as the two halves of the program hold them. The command line holds its arguments as
// UTF-8 and opens them by the system's Unicode names; the classic dialogue keeps the bytes of
// Skarrow.ini and of the typed name, which on Windows name a file in the ANSI code page, as they
// always did. On other systems a file name is its bytes either way.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace vorlind {

// The file named by UTF-8 text: an argument of the command line.
std::filesystem::path pathFromUtf8(std::string_view text);

// The file named by bytes of the ANSI code page: the dialogue's replay path and report name.
std::filesystem::path pathFromAnsi(std::string_view bytes);

// The name as UTF-8 text, for messages and for building further names.
std::string utf8FromPath(const std::filesystem::path& path);

#ifdef _WIN32
// The arguments of a wide entry point as UTF-8.
std::vector<std::string> utf8Arguments(int argc, const wchar_t* const* argv);

// UTF-8 text in the system's wide characters; a byte that belongs to no character becomes U+FFFD.
std::wstring wideFromUtf8(std::string_view text);
#endif

// The folder the running program's file lies in; empty when the system does not tell.
std::filesystem::path programFolder();

enum class FileKind { kMissing, kFolder, kRegularFile, kNotRegular, kUnknown };

// What `path` names, found without reading from it, so that a pipe cannot make the caller wait.
// kUnknown when the system does not tell (opening the file then says why).
FileKind fileKind(const std::filesystem::path& path);

// UTF-8 text in Windows-1252, the 8-bit text of the replays' names and of the report: "?" for
// each character that has no code there. A byte that belongs to no UTF-8 character is kept as it
// is, taken as 8-bit text already (a Linux file name in Latin-1, a penalties file saved in ANSI).
std::string windows1252FromUtf8(std::string_view text);

// The length in bytes of the first `characters` characters of UTF-8 text (a byte that belongs to
// no character counts as one).
size_t utf8PrefixLength(std::string_view text, size_t characters);

}  // namespace vorlind
