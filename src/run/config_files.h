// The two files that configure a run, both in the working directory: myname.ini names the
// driver whose rows the report paints yellow, Skarrow.ini the directory of the replays.
#pragma once

#include <filesystem>
#include <optional>
#include <string_view>

#include "replay/event_store.h"

namespace vorlind {

struct DriverName {
  std::string_view First;
  std::string_view Last;
};

// A driver's names as myname.ini gives them: the first name up to the first blank, the last name
// everything behind it. Bytes without a blank, with nothing behind it, with a name longer than 19
// characters or with a zero byte name nobody.
std::optional<DriverName> splitDriverName(std::string_view bytes);

// Takes the driver to highlight from the bytes of myname.ini.
void parseMyName(std::string_view bytes, EventStore& store);

// Takes the first line of Skarrow.ini (a carriage return before the line feed dropped), cut to
// 78 characters.
void parseSimDir(std::string_view bytes, EventStore& store);

// Read the files from `directory`; false when the file cannot be opened.
[[nodiscard]] bool readMyName(const std::filesystem::path& directory, EventStore& store);
[[nodiscard]] bool readSimDir(const std::filesystem::path& directory, EventStore& store);

}  // namespace vorlind
