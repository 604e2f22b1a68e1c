#include "season/season_file.h"

#include <gtest/gtest.h>

namespace vorlind {
namespace {

TEST(SeasonFile, EveryFieldIsReadAndDefaultsFillTheRest) {
  std::string error;
  const std::optional<SeasonFile> full = parseSeasonFile(R"({
    "name": "Cup", "points": [3, 1], "fastest_lap_points": 2, "best_rounds": 1,
    "rounds": ["a", {"path": "b.json", "name": "Bee"}],
    "aliases": {"A B": "A C"},
    "deductions": [{"round": 2, "driver": "A C", "points": 4, "reason": "why"},
                   {"round": 1, "driver": "D E", "points": 1}]})",
                                                         error);
  ASSERT_TRUE(full) << error;
  EXPECT_EQ(full->Name, "Cup");
  EXPECT_EQ(full->Rules.Points, (std::vector<int64_t>{3, 1}));
  EXPECT_EQ(full->Rules.FastestLapPoints, 2);
  EXPECT_EQ(full->Rules.BestRounds, 1);
  ASSERT_EQ(full->Rounds.size(), 2u);
  EXPECT_EQ(full->Rounds[1].Path, "b.json");
  EXPECT_EQ(full->Rounds[1].Name, "Bee");
  EXPECT_EQ(full->Aliases, (std::vector<std::pair<std::string, std::string>>{{"A B", "A C"}}));
  ASSERT_EQ(full->Deductions.size(), 2u);
  EXPECT_EQ(full->Deductions[0].Round, 2);
  EXPECT_EQ(full->Deductions[0].Points, 4);
  EXPECT_EQ(full->Deductions[0].Reason, "why");
  EXPECT_EQ(full->Deductions[1].Reason, "");

  const std::optional<SeasonFile> least =
      parseSeasonFile(R"({"rounds": ["a"], "best_rounds": null})", error);
  ASSERT_TRUE(least) << error;
  EXPECT_EQ(least->Rules.Points, (std::vector<int64_t>{25, 18, 15, 12, 10, 8, 6, 4, 2, 1}));
  EXPECT_EQ(least->Rules.FastestLapPoints, 0);
  EXPECT_FALSE(least->Rules.BestRounds);
  EXPECT_FALSE(least->Name);
}

TEST(SeasonFile, ABrokenFileIsRefusedWithWhereAndWhy) {
  const struct {
    const char* Text;
    const char* Error;  // the start of the message
  } cases[] = {
      {"{\n  \"rounds\": [\"a\",]\n}", "line 2, column 18: syntax error"},
      {"", "line 1, column 1: syntax error"},
      {R"({"rounds": ["a"], "pionts": [1]})", "\"pionts\" is not a key of a season file"},
      {R"({"rounds": [{"path": "a", "nmae": "x"}]})", "\"nmae\" is not a key of round 1"},
      {R"({"rounds": ["a"], "deductions": [{"round": 1, "driver": "x", "points": 1, "why": ""}]})",
       "\"why\" is not a key of deduction 1"},
      {R"(["a"])", "a season file must be a JSON object"},
      {R"({"name": 3, "rounds": ["a"]})", "\"name\" must be a text"},
      {R"({"rounds": ["a"], "points": [25, 18.5]})", "\"points\" must be a list"},
      {R"({"rounds": ["a"], "points": [-1]})", "\"points\" must be a list"},
      {R"({"rounds": ["a"], "fastest_lap_points": true})", "\"fastest_lap_points\" must be"},
      {R"({"rounds": ["a"], "best_rounds": 0})", "\"best_rounds\" must be a whole number of 1"},
      {R"({"rounds": []})", "\"rounds\" must be a list of at least one round"},
      {R"({"name": "x"})", "\"rounds\" must be a list of at least one round"},
      {R"({"rounds": ["a", 7]})", "round 2 must be a path or an object"},
      {R"({"rounds": [{"name": "x"}]})", "round 1 has no path"},
      {R"({"rounds": ["a"], "aliases": {"x": 1}})", "\"aliases\" must map"},
      {R"({"rounds": ["a"], "deductions": [{"round": 2, "driver": "x", "points": 1}]})",
       "deduction 1: \"round\" must be the number of a round, a whole number from 1 to 1"},
      {R"({"rounds": ["a"], "deductions": [{"round": 1, "points": 1}]})",
       "deduction 1: \"driver\" must be"},
      {R"({"rounds": ["a"], "deductions": [{"round": 1, "driver": "x", "points": 0}]})",
       "deduction 1: \"points\" must be"},
      {R"({"rounds": ["a"], "deductions": [{"round": 1, "driver": "x", "points": 1, "reason": 2}]})",
       "deduction 1: \"reason\" must be a text"},
  };
  for (const auto& test : cases) {
    std::string error;
    EXPECT_FALSE(parseSeasonFile(test.Text, error)) << test.Text;
    EXPECT_EQ(error.rfind(test.Error, 0), 0u) << test.Text << "\n" << error;
  }
}

}  // namespace
}  // namespace vorlind
