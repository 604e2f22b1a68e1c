#include "season/season_file.h"

#include <algorithm>
#include <initializer_list>

namespace vorlind {

namespace {

using Json = nlohmann::ordered_json;

// Takes a document apart without keeping it, to learn where the first syntax error stands.
class ErrorFinder : public nlohmann::json_sax<Json> {
 public:
  std::string Message;

  bool null() override { return true; }
  bool boolean(bool) override { return true; }
  bool number_integer(number_integer_t) override { return true; }
  bool number_unsigned(number_unsigned_t) override { return true; }
  bool number_float(number_float_t, const string_t&) override { return true; }
  bool string(string_t&) override { return true; }
  bool binary(binary_t&) override { return true; }
  bool start_object(std::size_t) override { return true; }
  bool key(string_t&) override { return true; }
  bool end_object() override { return true; }
  bool start_array(std::size_t) override { return true; }
  bool end_array() override { return true; }
  bool parse_error(std::size_t, const std::string&,
                   const nlohmann::detail::exception& error) override {
    // "[json.exception.parse_error.101] parse error at line 3, column 7: syntax error ..."
    const std::string_view what = error.what();
    const size_t at = what.find(" at line ");
    Message = at == std::string_view::npos ? std::string(what) : std::string(what.substr(at + 4));
    return false;
  }
};

std::string listOf(std::initializer_list<const char*> keys) {
  std::string list;
  size_t index = 0;
  for (const char* key : keys) {
    if (index > 0) list += index + 1 == keys.size() ? " and " : ", ";
    list += key;
    ++index;
  }
  return list;
}

// True when every key of `object` is one of `keys`; else `error` names the first other one.
bool knownKeys(const Json& object, std::initializer_list<const char*> keys, const std::string& of,
               std::string& error) {
  for (const auto& [key, value] : object.items()) {
    if (std::ranges::find(keys, key) != keys.end()) continue;
    error = "\"" + key + "\" is not a key of " + of + "; the keys are " + listOf(keys);
    return false;
  }
  return true;
}

// A member that may be left out or null.
const Json* member(const Json& object, const char* key) {
  const auto found = object.find(key);
  return found == object.end() || found->is_null() ? nullptr : &*found;
}

std::optional<int64_t> wholeNumber(const Json& value, int64_t low, int64_t high) {
  if (!value.is_number_integer()) return std::nullopt;
  if (value.is_number_unsigned() && value.get<uint64_t>() > static_cast<uint64_t>(high)) {
    return std::nullopt;
  }
  const int64_t number = value.get<int64_t>();
  if (number < low || number > high) return std::nullopt;
  return number;
}

std::string range(int64_t low, int64_t high) {
  return "a whole number from " + std::to_string(low) + " to " + std::to_string(high);
}

bool readRules(const Json& document, SeasonRules& rules, std::string& error) {
  if (const Json* points = member(document, "points")) {
    rules.Points.clear();
    bool valid = points->is_array();
    for (const Json& value : valid ? *points : Json::array()) {
      const std::optional<int64_t> number = wholeNumber(value, 0, kMostPoints);
      valid = valid && number.has_value();
      if (number) rules.Points.push_back(*number);
    }
    if (!valid) {
      error =
          "\"points\" must be a list of points for places 1, 2, ..., each " + range(0, kMostPoints);
      return false;
    }
  }
  if (const Json* points = member(document, "fastest_lap_points")) {
    const std::optional<int64_t> number = wholeNumber(*points, 0, kMostPoints);
    if (!number) {
      error = "\"fastest_lap_points\" must be " + range(0, kMostPoints);
      return false;
    }
    rules.FastestLapPoints = *number;
  }
  if (const Json* best = member(document, "best_rounds")) {
    const std::optional<int64_t> number = wholeNumber(*best, 1, kMostPoints);
    if (!number) {
      error = "\"best_rounds\" must be a whole number of 1 or more, or null for every round";
      return false;
    }
    rules.BestRounds = static_cast<int>(*number);
  }
  return true;
}

bool readRounds(const Json& document, std::vector<RoundSource>& rounds, std::string& error) {
  const Json* list = member(document, "rounds");
  if (list == nullptr || !list->is_array() || list->empty()) {
    error = "\"rounds\" must be a list of at least one round";
    return false;
  }
  for (const Json& round : *list) {
    const std::string label = "round " + std::to_string(rounds.size() + 1);
    RoundSource source;
    if (round.is_object()) {
      if (!knownKeys(round, {"path", "name"}, label, error)) return false;
      const Json* name = member(round, "name");
      if (name != nullptr && !name->is_string()) {
        error = label + ": \"name\" must be a text";
        return false;
      }
      if (name != nullptr) source.Name = name->get<std::string>();
      const Json* path = member(round, "path");
      if (path != nullptr && path->is_string()) source.Path = path->get<std::string>();
    } else if (round.is_string()) {
      source.Path = round.get<std::string>();
    } else {
      error = label + " must be a path or an object {\"path\", \"name\"}";
      return false;
    }
    if (source.Path.empty()) {
      error = label + " has no path: an event export (.json) or a folder of replays";
      return false;
    }
    rounds.push_back(std::move(source));
  }
  return true;
}

bool readAliases(const Json& document, SeasonFile& season, std::string& error) {
  const Json* aliases = member(document, "aliases");
  if (aliases == nullptr) return true;
  bool valid = aliases->is_object();
  for (auto alias = aliases->begin(); valid && alias != aliases->end(); ++alias) {
    valid = alias->is_string();
    if (valid) season.Aliases.emplace_back(alias.key(), alias->get<std::string>());
  }
  if (!valid) error = "\"aliases\" must map each name as written to the name to use, both texts";
  return valid;
}

bool readDeductions(const Json& document, SeasonFile& season, std::string& error) {
  const Json* list = member(document, "deductions");
  if (list == nullptr) return true;
  if (!list->is_array()) {
    error = "\"deductions\" must be a list of {\"round\", \"driver\", \"points\", \"reason\"}";
    return false;
  }
  const int64_t rounds = static_cast<int64_t>(season.Rounds.size());
  for (const Json& entry : *list) {
    const std::string label = "deduction " + std::to_string(season.Deductions.size() + 1);
    if (!entry.is_object()) {
      error = label + " must be an object {\"round\", \"driver\", \"points\", \"reason\"}";
      return false;
    }
    if (!knownKeys(entry, {"round", "driver", "points", "reason"}, label, error)) return false;
    const Json* round = member(entry, "round");
    const Json* driver = member(entry, "driver");
    const Json* points = member(entry, "points");
    const Json* reason = member(entry, "reason");
    const std::optional<int64_t> roundNumber =
        round != nullptr ? wholeNumber(*round, 1, rounds) : std::nullopt;
    const std::optional<int64_t> pointsTaken =
        points != nullptr ? wholeNumber(*points, 1, kMostPoints) : std::nullopt;
    std::string problem;
    if (!roundNumber) {
      problem = label + ": \"round\" must be the number of a round, " + range(1, rounds);
    } else if (driver == nullptr || !driver->is_string()) {
      problem = label + ": \"driver\" must be the driver's name";
    } else if (!pointsTaken) {
      problem = label + ": \"points\" must be the points taken away, " + range(1, kMostPoints);
    } else if (reason != nullptr && !reason->is_string()) {
      problem = label + ": \"reason\" must be a text";
    }
    if (!problem.empty()) {
      error = std::move(problem);
      return false;
    }
    season.Deductions.push_back({static_cast<int>(*roundNumber), driver->get<std::string>(),
                                 *pointsTaken,
                                 reason != nullptr ? reason->get<std::string>() : std::string()});
  }
  return true;
}

}  // namespace

std::optional<Json> parseJsonText(std::string_view text, std::string& error) {
  Json document = Json::parse(text, nullptr, false);
  if (!document.is_discarded()) return document;
  ErrorFinder finder;
  Json::sax_parse(text, &finder);
  error = finder.Message.empty() ? std::string("not JSON") : finder.Message;
  return std::nullopt;
}

std::optional<SeasonFile> parseSeasonFile(std::string_view text, std::string& error) {
  const std::optional<Json> document = parseJsonText(text, error);
  if (!document) return std::nullopt;
  if (!document->is_object()) {
    error = "a season file must be a JSON object";
    return std::nullopt;
  }
  SeasonFile season;
  if (!knownKeys(*document,
                 {"name", "points", "fastest_lap_points", "best_rounds", "rounds", "aliases",
                  "deductions"},
                 "a season file", error)) {
    return std::nullopt;
  }
  if (const Json* name = member(*document, "name")) {
    if (!name->is_string()) {
      error = "\"name\" must be a text";
      return std::nullopt;
    }
    season.Name = name->get<std::string>();
  }
  if (!readRules(*document, season.Rules, error) || !readRounds(*document, season.Rounds, error) ||
      !readAliases(*document, season, error) || !readDeductions(*document, season, error)) {
    return std::nullopt;
  }
  return season;
}

}  // namespace vorlind
