#include "run/config_files.h"

#include <fstream>
#include <iterator>
#include <optional>
#include <string>

namespace vorlind {

namespace {

constexpr size_t kMaxNameLength = 19;
constexpr size_t kMaxSimDirLength = 78;
// Neither file is ever this large; reading stops there so that a huge file costs nothing.
constexpr std::streamsize kMaxConfigBytes = 4096;

std::optional<std::string> readStart(const std::filesystem::path& file) {
  std::error_code error;
  if (std::filesystem::is_directory(file, error)) return std::nullopt;
  std::ifstream in(file, std::ios::binary);
  if (!in) return std::nullopt;
  std::string bytes(static_cast<size_t>(kMaxConfigBytes), '\0');
  in.read(bytes.data(), kMaxConfigBytes);
  if (in.bad()) return std::nullopt;
  bytes.resize(static_cast<size_t>(in.gcount()));
  return bytes;
}

}  // namespace

std::optional<DriverName> splitDriverName(std::string_view bytes) {
  const size_t blank = bytes.find(' ');
  if (blank == std::string_view::npos || blank + 1 >= bytes.size()) return std::nullopt;
  const DriverName name{bytes.substr(0, blank), bytes.substr(blank + 1)};
  if (name.First.size() > kMaxNameLength || name.Last.size() > kMaxNameLength) return std::nullopt;
  if (bytes.find('\0') != std::string_view::npos) return std::nullopt;
  return name;
}

void parseMyName(std::string_view bytes, EventStore& store) {
  store.MyFirstName.clear();
  store.MyLastName.clear();
  store.MyNameSet = false;
  const std::optional<DriverName> name = splitDriverName(bytes);
  if (!name) return;
  store.MyFirstName.assign(name->First);
  store.MyLastName.assign(name->Last);
  store.MyNameSet = true;
}

void parseSimDir(std::string_view bytes, EventStore& store) {
  std::string_view line = bytes.substr(0, bytes.find('\n'));
  if (line.size() < bytes.size() && !line.empty() && line.back() == '\r') line.remove_suffix(1);
  store.SimDir.assign(line.substr(0, kMaxSimDirLength));
}

bool readMyName(const std::filesystem::path& directory, EventStore& store) {
  const std::optional<std::string> bytes = readStart(directory / "myname.ini");
  if (!bytes) return false;
  parseMyName(*bytes, store);
  return true;
}

bool readSimDir(const std::filesystem::path& directory, EventStore& store) {
  const std::optional<std::string> bytes = readStart(directory / "Skarrow.ini");
  if (!bytes) return false;
  parseSimDir(*bytes, store);
  return true;
}

}  // namespace vorlind
