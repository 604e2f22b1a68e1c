#include "season/standings.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vorlind {
namespace {

constexpr auto kFinished = ResultStatus::kFinished;
constexpr auto kDnf = ResultStatus::kDnf;
constexpr auto kDsq = ResultStatus::kDsq;

// A classification row; the slot is the place unless given, the best lap 90 s unless given.
RoundEntry row(std::string name, int place, ResultStatus status = kFinished,
               std::optional<int32_t> best = 90000, std::optional<std::string> make = "Lotus",
               int slot = -1) {
  return {std::move(name), slot < 0 ? place : slot, place, status, std::move(make), best};
}

SeasonFile rules(int rounds, std::vector<int64_t> points = {10, 6, 4}, int64_t fastestLap = 0,
                 std::optional<int> best = std::nullopt) {
  SeasonFile season;
  season.Rules = {std::move(points), fastestLap, best};
  for (int round = 1; round <= rounds; ++round)
    season.Rounds.push_back({"r" + std::to_string(round), {}});
  return season;
}

const DriverStanding& driver(const Standings& standings, const std::string& name) {
  for (const DriverStanding& driver : standings.Drivers) {
    if (driver.Name == name) return driver;
  }
  ADD_FAILURE() << name << " is not in the standings";
  return standings.Drivers.front();
}

// Each line: a round's rows and what one driver gets for it.
TEST(Standings, ARoundsPointsArePlacePointsAndTheFastestLap) {
  const struct {
    const char* Case;
    std::vector<RoundEntry> Rows;
    std::string Driver;
    int64_t Points;
    bool FastestLap;
  } cases[] = {
      {"place points", {row("A", 1), row("B", 2)}, "B", 6, false},
      {"beyond the list", {row("A", 1), row("B", 2), row("C", 3), row("D", 4)}, "D", 0, false},
      {"DNF", {row("A", 1), row("B", 2, kDnf)}, "B", 0, false},
      {"DSQ", {row("A", 1), row("B", 2, kDsq)}, "B", 0, false},
      {"fastest lap", {row("A", 1), row("B", 2, kFinished, 89000)}, "B", 6 + 5, true},
      {"30 s is never ranked", {row("A", 1), row("B", 2, kFinished, 30000)}, "A", 10 + 5, true},
      {"no time", {row("A", 1, kFinished, std::nullopt), row("B", 2)}, "B", 6 + 5, true},
      {"equal times: the lower slot",
       {row("A", 1, kFinished, 90000, "Lotus", 7), row("B", 2, kFinished, 90000, "Lotus", 3)},
       "B",
       6 + 5,
       true},
      {"to a driver who did not finish", {row("A", 1), row("B", 2, kDnf, 80000)}, "B", 0, true},
  };
  for (const auto& test : cases) {
    const Standings standings = computeStandings(rules(1, {10, 6, 4}, 5), {{{"t", test.Rows}}});
    const DriverRound& round = driver(standings, test.Driver).Rounds[0];
    EXPECT_EQ(round.Points, test.Points) << test.Case;
    EXPECT_EQ(round.FastestLap, test.FastestLap) << test.Case;
    int fastest = 0;
    for (const DriverStanding& each : standings.Drivers) fastest += each.Rounds[0].FastestLap;
    EXPECT_EQ(fastest, 1) << test.Case;
  }
}

// Totals and positions over a season: best rounds, deductions, countback, shared places.
TEST(Standings, TotalsCountBestRoundsLessDeductionsRankedByCountback) {
  struct Expected {
    std::string Name;
    int Position;
    int64_t Points;
    std::vector<bool> Counted;
  };
  const struct {
    const char* Case;
    std::vector<std::vector<RoundEntry>> Rounds;
    std::optional<int> Best;
    std::vector<Deduction> Deductions;
    std::vector<Expected> Drivers;  // in standings order
  } cases[] = {
      {"equal round points: the earlier round counts",
       {{row("A", 2)}, {row("A", 1)}, {row("A", 2)}},
       2,
       {},
       {{"A", 1, 16, {true, true, false}}}},
      {"only rounds he took part in, a missed one never counts",
       {{row("A", 1)}, {row("B", 1)}, {row("A", 3), row("B", 2)}},
       2,
       {},
       {{"B", 1, 16, {false, true, true}}, {"A", 2, 14, {true, false, true}}}},
      {"a deduction to below zero keeps his place in the table",
       {{row("A", 1), row("B", 2), row("C", 3, kDnf)}},
       {},
       {{1, "A", 12, "x"}},
       {{"B", 1, 6, {true}}, {"C", 2, 0, {true}}, {"A", 3, -2, {true}}}},
      {"equal points: more first places",
       {{row("B", 1), row("A", 2)}, {row("Z", 1), row("A", 2), row("W", 3), row("B", 4)}},
       {},
       {},
       {{"B", 1, 12, {true, true}},
        {"A", 2, 12, {true, true}},
        {"Z", 3, 10, {false, true}},
        {"W", 4, 4, {false, true}}}},
      {"equal firsts: more seconds, a DNF's place not among them",
       {{row("A", 1), row("X", 2), row("B", 3)},
        {row("B", 1), row("A", 2), row("X", 3)},
        {row("X", 1), row("Y", 2), row("V", 3), row("B", 4)},
        {row("X", 1), row("B", 2, kDnf)}},
       {},
       {},
       {{"X", 1, 30, {true, true, true, true}},
        {"A", 2, 16, {true, true, false, false}},
        {"B", 3, 16, {true, true, true, true}},
        {"Y", 4, 6, {false, false, true, false}},
        {"V", 5, 4, {false, false, true, false}}}},
      {"equal in everything: a shared place",
       {{row("A", 1), row("B", 2)}, {row("B", 1), row("A", 2)}, {row("C", 1)}},
       {},
       {{3, "C", 4, "x"}},
       {{"A", 1, 16, {true, true, false}},
        {"B", 1, 16, {true, true, false}},
        {"C", 3, 6, {false, false, true}}}},
  };
  for (const auto& test : cases) {
    SeasonFile season = rules(static_cast<int>(test.Rounds.size()), {10, 6, 4, 2}, 0, test.Best);
    season.Deductions = test.Deductions;
    std::vector<RoundResult> rounds;
    for (const std::vector<RoundEntry>& entries : test.Rounds) rounds.push_back({"t", entries});
    const Standings standings = computeStandings(season, rounds);
    ASSERT_EQ(standings.Drivers.size(), test.Drivers.size()) << test.Case;
    for (size_t index = 0; index < test.Drivers.size(); ++index) {
      const DriverStanding& got = standings.Drivers[index];
      const Expected& want = test.Drivers[index];
      EXPECT_EQ(got.Name, want.Name) << test.Case;
      EXPECT_EQ(got.Position, want.Position) << test.Case << " " << want.Name;
      EXPECT_EQ(got.Points, want.Points) << test.Case << " " << want.Name;
      EXPECT_EQ(got.PointsAfterRound.back(), want.Points) << test.Case << " " << want.Name;
      std::vector<bool> counted;
      for (const DriverRound& round : got.Rounds) counted.push_back(round.Counted);
      EXPECT_EQ(counted, want.Counted) << test.Case << " " << want.Name;
    }
  }
}

// Aliases join a name written two ways; a name on two rows keeps the better place; aliases and
// deductions that name nobody are warned of and change nothing. A round is named after its path.
TEST(Standings, AliasesJoinNamesAndWarningsNameWhatWasLeftOut) {
  SeasonFile season = rules(2);
  season.Aliases = {{"Ann Lee-Smith", "Ann Lee"}, {"Nobody", "Ann Lee"}};
  season.Deductions = {{2, "Ann Lee-Smith", 1, "x"}, {1, "Ghost", 3, "y"}};
  const std::vector<RoundResult> rounds = {
      {"t", {row("Ann Lee", 1), row("Bo Ek", 2)}},
      {"t", {row("Bo Ek", 1), row("Ann Lee-Smith", 2), row("Ann Lee", 3, kFinished, 70000)}}};
  season.Rounds = {{"league/one.JSON", {}}, {"league\\two\\", {}}};
  const Standings standings = computeStandings(season, rounds);
  EXPECT_EQ(standings.Rounds[0].Name, "one");
  EXPECT_EQ(standings.Rounds[1].Name, "two");
  ASSERT_EQ(standings.Drivers.size(), 2u);
  EXPECT_EQ(driver(standings, "Ann Lee").Points, 10 + 6 - 1);
  EXPECT_EQ(driver(standings, "Ann Lee").Rounds[1].Place, 2);
  EXPECT_EQ(driver(standings, "Ann Lee").PointsAfterRound, (std::vector<int64_t>{10, 15}));
  ASSERT_EQ(standings.Deductions.size(), 1u);
  EXPECT_EQ(standings.Deductions[0].Driver, "Ann Lee");
  const std::vector<std::string> warnings = {
      "round 2: \"Ann Lee\" stands on two rows, places 2 and 3; place 2 counts",
      "the deduction of round 1 names \"Ghost\", no driver of the season; it is left out",
      "the alias \"Nobody\" names no driver of the season"};
  EXPECT_EQ(standings.Warnings, warnings);
}

// A make scores its best-placed finished car's place points, never the fastest lap; unknown makes
// are left out and equal totals share a place.
TEST(Standings, MakesScoreTheirBestFinishedCar) {
  const std::vector<RoundResult> rounds = {
      {"t",
       {row("A", 1, kDsq, 90000, "Eagle"), row("B", 2, kFinished, 80000, "Lotus"),
        row("C", 3, kFinished, 90000, "Lotus"), row("D", 4, kFinished, 90000, std::nullopt),
        row("E", 5, kDnf, 90000, "Honda")}},
      {"t",
       {row("F", 1, kFinished, 90000, "Honda"), row("B", 2, kFinished, 90000, "Eagle"),
        row("G", 3, kFinished, 90000, "Lotus")}}};
  const Standings standings = computeStandings(rules(2, {10, 6, 4}, 5), rounds);
  std::vector<std::tuple<int, std::string, int64_t, std::vector<int64_t>>> makes;
  for (const MakeStanding& make : standings.Makes) {
    makes.emplace_back(make.Position, make.Make, make.Points, make.RoundPoints);
  }
  const std::vector<std::tuple<int, std::string, int64_t, std::vector<int64_t>>> expected = {
      {1, "Honda", 10, {0, 10}}, {1, "Lotus", 10, {6, 4}}, {3, "Eagle", 6, {0, 6}}};
  EXPECT_EQ(makes, expected);
}

}  // namespace
}  // namespace vorlind
