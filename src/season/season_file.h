// The season file: the JSON document an organiser keeps beside the replays, naming the rounds
// (event exports or folders of replays) and the rules of the standings. Every key and type is
// checked, so that a misspelt key is an error rather than a rule silently left out.
#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vorlind {

inline constexpr int64_t kMostPoints = 1000000;  // for a place, a fastest lap or a deduction

struct SeasonRules {
  std::vector<int64_t> Points = {25, 18, 15, 12, 10, 8, 6, 4, 2, 1};  // for places 1, 2, ...
  int64_t FastestLapPoints = 0;
  std::optional<int> BestRounds;  // each driver's N best rounds count; without, every round
};

struct RoundSource {
  std::string Path;  // as written: UTF-8, relative to the season file's folder
  std::optional<std::string> Name;
};

struct Deduction {
  int Round = 1;  // 1 for the first round
  std::string Driver;
  int64_t Points = 0;
  std::string Reason;  // empty when none was given
};

struct SeasonFile {
  std::optional<std::string> Name;
  SeasonRules Rules;
  std::vector<RoundSource> Rounds;
  std::vector<std::pair<std::string, std::string>> Aliases;  // name as written, name to use
  std::vector<Deduction> Deductions;
};

// A JSON text as a document; none when it is not JSON, with `error` saying where and why
// ("line 3, column 7: ...").
std::optional<nlohmann::ordered_json> parseJsonText(std::string_view text, std::string& error);

// The season file's contents; none when they break its format, with `error` saying how.
std::optional<SeasonFile> parseSeasonFile(std::string_view text, std::string& error);

}  // namespace vorlind
