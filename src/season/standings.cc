#include "season/standings.h"

#include <algorithm>
#include <map>
#include <numeric>
#include <queue>
#include <set>

namespace vorlind {

namespace {

// The last part of a round's path without ".json": "2024/r3.json" is "r3".
std::string roundNameOf(const std::string& path) {
  std::string name = path;
  while (!name.empty() && (name.back() == '/' || name.back() == '\\')) name.pop_back();
  const size_t slash = name.find_last_of("/\\");
  if (slash != std::string::npos) name.erase(0, slash + 1);
  const std::string extension = name.size() > 5 ? name.substr(name.size() - 5) : std::string();
  std::string lower = extension;
  for (char& c : lower) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  if (lower == ".json") name.resize(name.size() - 5);
  return name.empty() ? path : name;
}

int64_t placePoints(const SeasonRules& rules, const RoundEntry& entry) {
  if (entry.Status != ResultStatus::kFinished || entry.Place < 1) return 0;
  const auto index = static_cast<size_t>(entry.Place - 1);
  return index < rules.Points.size() ? rules.Points[index] : 0;
}

// The rows that stand for drivers: one per name after the aliases, the better-placed where a name
// stands twice.
std::map<std::string, const RoundEntry*> driversOfRound(
    const RoundResult& round, int number, const std::map<std::string, std::string>& aliases,
    std::vector<std::string>& warnings) {
  std::map<std::string, const RoundEntry*> rows;
  for (const RoundEntry& entry : round.Entries) {
    const auto alias = aliases.find(entry.Name);
    const std::string& name = alias != aliases.end() ? alias->second : entry.Name;
    const auto [found, added] = rows.emplace(name, &entry);
    if (added) continue;
    const RoundEntry*& kept = found->second;
    const int better = std::min(kept->Place, entry.Place);
    warnings.push_back("round " + std::to_string(number) + ": \"" + name +
                       "\" stands on two rows, places " + std::to_string(kept->Place) + " and " +
                       std::to_string(entry.Place) + "; place " + std::to_string(better) +
                       " counts");
    if (entry.Place < kept->Place) kept = &entry;
  }
  return rows;
}

// The row with the round's fastest lap: the smallest best race lap above 30 s, the lower slot
// on equal times.
const RoundEntry* fastestLapOf(const std::map<std::string, const RoundEntry*>& rows) {
  const RoundEntry* fastest = nullptr;
  for (const auto& [name, entry] : rows) {
    if (!entry->BestLapMs || *entry->BestLapMs <= kShortestFastestLap) continue;
    if (fastest == nullptr || *entry->BestLapMs < *fastest->BestLapMs ||
        (*entry->BestLapMs == *fastest->BestLapMs && entry->Slot < fastest->Slot)) {
      fastest = entry;
    }
  }
  return fastest;
}

// Marks the rounds that count: all he took part in, or his N best of them, the earlier round on
// equal points.
void markCountedRounds(std::vector<DriverRound>& rounds, std::optional<int> bestRounds) {
  std::vector<size_t> takenPart;
  for (size_t index = 0; index < rounds.size(); ++index) {
    if (rounds[index].TookPart) takenPart.push_back(index);
  }
  std::ranges::stable_sort(takenPart,
                           [&](size_t a, size_t b) { return rounds[a].Points > rounds[b].Points; });
  if (bestRounds && takenPart.size() > static_cast<size_t>(*bestRounds)) {
    takenPart.resize(static_cast<size_t>(*bestRounds));
  }
  for (const size_t index : takenPart) rounds[index].Counted = true;
}

// His total as it stood after each round: the points of his best rounds so far (which rounds among
// equals does not change the sum) less the deductions of the rounds so far.
std::vector<int64_t> pointsAfterEachRound(const std::vector<DriverRound>& rounds,
                                          std::optional<int> bestRounds,
                                          const std::vector<int64_t>& deducted) {
  std::priority_queue<int64_t, std::vector<int64_t>, std::greater<>> counted;  // smallest on top
  std::vector<int64_t> totals;
  int64_t points = 0;
  for (size_t index = 0; index < rounds.size(); ++index) {
    if (rounds[index].TookPart) {
      counted.push(rounds[index].Points);
      points += rounds[index].Points;
      if (bestRounds && counted.size() > static_cast<size_t>(*bestRounds)) {
        points -= counted.top();
        counted.pop();
      }
    }
    points -= deducted[index];
    totals.push_back(points);
  }
  return totals;
}

// Finished places of all rounds: how many firsts, seconds, ...
std::vector<int> countback(const DriverStanding& driver) {
  std::vector<int> places;
  for (const DriverRound& round : driver.Rounds) {
    if (!round.TookPart || round.Status != ResultStatus::kFinished || round.Place < 1) continue;
    if (places.size() < static_cast<size_t>(round.Place)) places.resize(round.Place, 0);
    ++places[static_cast<size_t>(round.Place - 1)];
  }
  return places;
}

// -1, 0 or 1 as `a` has fewer, as many or more of the better places than `b`.
int compareCountback(const std::vector<int>& a, const std::vector<int>& b) {
  for (size_t place = 0; place < std::max(a.size(), b.size()); ++place) {
    const int ofA = place < a.size() ? a[place] : 0;
    const int ofB = place < b.size() ? b[place] : 0;
    if (ofA != ofB) return ofA > ofB ? 1 : -1;
  }
  return 0;
}

void rankDrivers(std::vector<DriverStanding>& drivers) {
  std::map<std::string, std::vector<int>> places;
  for (const DriverStanding& driver : drivers) places[driver.Name] = countback(driver);
  auto ahead = [&](const DriverStanding& a, const DriverStanding& b) {
    if (a.Points != b.Points) return a.Points > b.Points;
    const int byPlaces = compareCountback(places[a.Name], places[b.Name]);
    return byPlaces != 0 ? byPlaces > 0 : a.Name < b.Name;
  };
  std::ranges::sort(drivers, ahead);
  for (size_t index = 0; index < drivers.size(); ++index) {
    const bool shared =
        index > 0 && drivers[index].Points == drivers[index - 1].Points &&
        compareCountback(places[drivers[index].Name], places[drivers[index - 1].Name]) == 0;
    drivers[index].Position = shared ? drivers[index - 1].Position : static_cast<int>(index) + 1;
  }
}

void rankMakes(std::vector<MakeStanding>& makes) {
  std::ranges::sort(makes, [](const MakeStanding& a, const MakeStanding& b) {
    return a.Points != b.Points ? a.Points > b.Points : a.Make < b.Make;
  });
  for (size_t index = 0; index < makes.size(); ++index) {
    const bool shared = index > 0 && makes[index].Points == makes[index - 1].Points;
    makes[index].Position = shared ? makes[index - 1].Position : static_cast<int>(index) + 1;
  }
}

}  // namespace

Standings computeStandings(const SeasonFile& season, std::span<const RoundResult> rounds) {
  Standings standings;
  standings.Name = season.Name;
  standings.Rules = season.Rules;
  const std::map<std::string, std::string> aliases(season.Aliases.begin(), season.Aliases.end());
  const size_t roundCount = std::min(rounds.size(), season.Rounds.size());
  std::map<std::string, DriverStanding> drivers;
  std::map<std::string, MakeStanding> makes;
  std::set<std::string> namesAsWritten;

  for (size_t index = 0; index < roundCount; ++index) {
    const RoundResult& round = rounds[index];
    const int number = static_cast<int>(index) + 1;
    const RoundSource& source = season.Rounds[index];
    standings.Rounds.push_back(
        {number, source.Name ? *source.Name : roundNameOf(source.Path), source.Path, round.Track});
    for (const RoundEntry& entry : round.Entries) namesAsWritten.insert(entry.Name);

    const std::map<std::string, const RoundEntry*> rows =
        driversOfRound(round, number, aliases, standings.Warnings);
    const RoundEntry* fastest = fastestLapOf(rows);
    for (const auto& [name, entry] : rows) {
      DriverStanding& driver = drivers[name];
      driver.Name = name;
      driver.Rounds.resize(roundCount);
      const bool fastestLap = entry == fastest;
      const bool finished = entry->Status == ResultStatus::kFinished;
      DriverRound& result = driver.Rounds[index];
      result.TookPart = true;
      result.Place = entry->Place;
      result.Status = entry->Status;
      result.Points = placePoints(season.Rules, *entry) +
                      (fastestLap && finished ? season.Rules.FastestLapPoints : 0);
      result.FastestLap = fastestLap;
    }
    // Each make scores for its best-placed finished car, in classification order.
    std::set<std::string> scored;
    for (const RoundEntry& entry : round.Entries) {
      if (!entry.Make) continue;
      MakeStanding& make = makes[*entry.Make];
      make.Make = *entry.Make;
      make.RoundPoints.resize(roundCount, 0);
      if (entry.Status != ResultStatus::kFinished || !scored.insert(*entry.Make).second) continue;
      make.RoundPoints[index] = placePoints(season.Rules, entry);
    }
  }

  for (const Deduction& deduction : season.Deductions) {
    const auto alias = aliases.find(deduction.Driver);
    const std::string& name = alias != aliases.end() ? alias->second : deduction.Driver;
    const auto driver = drivers.find(name);
    if (driver == drivers.end()) {
      standings.Warnings.push_back("the deduction of round " + std::to_string(deduction.Round) +
                                   " names \"" + deduction.Driver +
                                   "\", no driver of the season; it is left out");
      continue;
    }
    driver->second.Deducted += deduction.Points;
    standings.Deductions.push_back(deduction);
    standings.Deductions.back().Driver = name;
  }
  for (const auto& [written, used] : season.Aliases) {
    if (!namesAsWritten.contains(written)) {
      standings.Warnings.push_back("the alias \"" + written + "\" names no driver of the season");
    }
  }

  for (auto& [name, driver] : drivers) {
    std::vector<int64_t> deducted(roundCount, 0);
    for (const Deduction& deduction : standings.Deductions) {
      // The season file holds only rounds from 1 to the last.
      const int round = std::clamp(deduction.Round, 1, static_cast<int>(roundCount));
      if (deduction.Driver == name) deducted[static_cast<size_t>(round - 1)] += deduction.Points;
    }
    markCountedRounds(driver.Rounds, season.Rules.BestRounds);
    driver.PointsAfterRound =
        pointsAfterEachRound(driver.Rounds, season.Rules.BestRounds, deducted);
    driver.Points = driver.PointsAfterRound.back();
    standings.Drivers.push_back(std::move(driver));
  }
  for (auto& [name, make] : makes) {
    make.Points = std::accumulate(make.RoundPoints.begin(), make.RoundPoints.end(), int64_t{0});
    standings.Makes.push_back(std::move(make));
  }
  rankDrivers(standings.Drivers);
  rankMakes(standings.Makes);
  return standings;
}

}  // namespace vorlind
