#include "platform/file_names.h"

#include <array>
#include <cstdint>
#include <system_error>
#include <utility>

#ifdef _WIN32
#include <windows.h>
#endif

namespace vorlind {

namespace fs = std::filesystem;

namespace {

constexpr char32_t kNoCharacter = 0xFFFFFFFF;

// The characters of Windows-1252's codes 0x80 to 0x9F; 0 where a code is unassigned. The codes
// 0xA0 to 0xFF are those of Latin-1.
constexpr std::array<char16_t, 32> kWindows1252High = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

// The character at the start of non-empty `text` and its length in bytes. A byte that starts no
// well-formed character (overlong, a surrogate, beyond U+10FFFF or cut short) is one byte long
// and decodes to kNoCharacter.
std::pair<char32_t, size_t> decodeUtf8(std::string_view text) {
  const auto lead = static_cast<uint8_t>(text[0]);
  if (lead < 0x80) return {lead, 1};
  size_t length = 0;
  char32_t smallest = 0;
  char32_t value = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    smallest = 0x80;
    value = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    smallest = 0x800;
    value = lead & 0x0F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    smallest = 0x10000;
    value = lead & 0x07;
  } else {
    return {kNoCharacter, 1};
  }
  if (text.size() < length) return {kNoCharacter, 1};
  for (size_t i = 1; i < length; ++i) {
    const auto byte = static_cast<uint8_t>(text[i]);
    if ((byte & 0xC0) != 0x80) return {kNoCharacter, 1};
    value = value << 6 | (byte & 0x3F);
  }
  if (value < smallest || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
    return {kNoCharacter, 1};
  }
  return {value, length};
}

char windows1252Code(char32_t character) {
  if (character < 0x80 || (character >= 0xA0 && character <= 0xFF)) {
    return static_cast<char>(character);
  }
  for (size_t i = 0; i < kWindows1252High.size(); ++i) {
    if (kWindows1252High[i] == character) {
      return static_cast<char>(0x80 + i);
    }
  }
  return '?';
}

#ifdef _WIN32

std::wstring widen(std::string_view text, UINT codePage) {
  if (text.empty()) return {};
  const int size = static_cast<int>(text.size());
  const int length = MultiByteToWideChar(codePage, 0, text.data(), size, nullptr, 0);
  std::wstring wide(static_cast<size_t>(length), L'\0');
  MultiByteToWideChar(codePage, 0, text.data(), size, wide.data(), length);
  return wide;
}

std::string utf8FromWide(std::wstring_view wide) {
  if (wide.empty()) return {};
  const int size = static_cast<int>(wide.size());
  const int length =
      WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
  std::string text(static_cast<size_t>(length), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, text.data(), length, nullptr, nullptr);
  return text;
}

#endif

}  // namespace

#ifdef _WIN32

fs::path pathFromUtf8(std::string_view text) { return fs::path(widen(text, CP_UTF8)); }

fs::path pathFromAnsi(std::string_view bytes) { return fs::path(widen(bytes, CP_ACP)); }

std::string utf8FromPath(const fs::path& path) { return utf8FromWide(path.native()); }

std::vector<std::string> utf8Arguments(int argc, const wchar_t* const* argv) {
  std::vector<std::string> arguments;
  for (int i = 0; i < argc; ++i) arguments.push_back(utf8FromWide(argv[i]));
  return arguments;
}

std::wstring wideFromUtf8(std::string_view text) { return widen(text, CP_UTF8); }

fs::path programFolder() {
  std::wstring file(MAX_PATH, L'\0');
  DWORD length = 0;
  while ((length = GetModuleFileNameW(nullptr, file.data(), static_cast<DWORD>(file.size()))) ==
         file.size()) {
    file.resize(file.size() * 2);
  }
  file.resize(length);
  return fs::path(file).parent_path();
}

// Opening without access rights reads nothing and does not wait for a pipe's other end.
FileKind fileKind(const fs::path& path) {
  const HANDLE file =
      CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? FileKind::kMissing
                                                                          : FileKind::kUnknown;
  }
  FileKind kind = FileKind::kNotRegular;
  BY_HANDLE_FILE_INFORMATION information{};
  if (GetFileType(file) == FILE_TYPE_DISK && GetFileInformationByHandle(file, &information)) {
    kind = (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? FileKind::kFolder
                                                                          : FileKind::kRegularFile;
  }
  CloseHandle(file);
  return kind;
}

#else

fs::path pathFromUtf8(std::string_view text) { return fs::path(std::string(text)); }

fs::path pathFromAnsi(std::string_view bytes) { return fs::path(std::string(bytes)); }

std::string utf8FromPath(const fs::path& path) { return path.string(); }

fs::path programFolder() {
  std::error_code error;
  return fs::read_symlink("/proc/self/exe", error).parent_path();
}

FileKind fileKind(const fs::path& path) {
  std::error_code error;
  const fs::file_status status = fs::status(path, error);
  switch (status.type()) {
    case fs::file_type::not_found:
      return FileKind::kMissing;
    case fs::file_type::directory:
      return FileKind::kFolder;
    case fs::file_type::regular:
      return FileKind::kRegularFile;
    case fs::file_type::none:
    case fs::file_type::unknown:
      return FileKind::kUnknown;
    default:
      return FileKind::kNotRegular;
  }
}

#endif

std::string windows1252FromUtf8(std::string_view text) {
  std::string codes;
  codes.reserve(text.size());
  while (!text.empty()) {
    const auto [character, length] = decodeUtf8(text);
    codes += character == kNoCharacter ? text[0] : windows1252Code(character);
    text.remove_prefix(length);
  }
  return codes;
}

size_t utf8PrefixLength(std::string_view text, size_t characters) {
  size_t length = 0;
  for (; characters > 0 && length < text.size(); --characters) {
    length += decodeUtf8(text.substr(length)).second;
  }
  return length;
}

}  // namespace vorlind
