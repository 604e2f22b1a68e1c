// Whole runs of the season command on a season written by the event writer: the standings of
// folder rounds and an event export against reviewed files and the schema, one round read either
// way, and the refusals of bad input, which leave no output behind.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "event_plans.h"
#include "run/command_line.h"
#include "test_support.h"

namespace vorlind {
namespace {

namespace fs = std::filesystem;

const fs::path kGolden = fs::path(VORLIND_SOURCE_DIR) / "tests" / "golden" / "season";

struct Outcome {
  int Code = 0;
  std::string Out;
  std::string Err;
};

Outcome run(std::vector<const char*> arguments, const fs::path& workDir) {
  arguments.insert(arguments.begin(), "vorlind");
  std::ostringstream out, err;
  const int code = runCommandLine(
      parseCommandLine(static_cast<int>(arguments.size()), arguments.data()), out, err, workDir);
  return {code, out.str(), err.str()};
}

std::string replaced(std::string text, const std::string& from, const std::string& to) {
  const size_t at = text.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

// Rounds 1 to 3 from their folders, round 4 from its export with a disqualification, in which Ada
// Achterberg is spelt otherwise and an alias joins him up; and round 4 from an export as it was.
TEST(Season, FolderRoundsAndAnExportGiveTheReviewedStandings) {
  testing::TempDir dir;
  ASSERT_EQ(tools::writeSeasonDirectory(dir.path().string(), 4, 8, 5), "");
  fs::create_directories(dir.path() / "plain");
  for (const std::vector<const char*>& arguments :
       {std::vector<const char*>{"--json", "plain/round4.json"},
        {"--json", "round4.json", "--penalty", "Bruno Brenner=DSQ"}}) {
    std::vector<const char*> exportRound = {"export", "round4/r4_a.rpy", "round4/r4_b.rpy"};
    exportRound.insert(exportRound.end(), arguments.begin(), arguments.end());
    const Outcome exported = run(exportRound, dir.path());
    ASSERT_EQ(exported.Code, 0) << exported.Err;
  }
  testing::writeFile(dir.path() / "round4.json",
                     replaced(testing::readFile(dir.path() / "round4.json"),
                              R"("last_name":"Achterberg")", R"("last_name":"Achterberg-Lund")"));
  const std::string folders = testing::readFile(dir.path() / "season.json");
  testing::writeFile(dir.path() / "folders.json", folders);
  testing::writeFile(dir.path() / "plain.json",
                     replaced(folders, "\"round4\"", "\"plain/round4.json\""));
  testing::writeFile(
      dir.path() / "season.json",
      replaced(replaced(folders, "\"round4\"", "\"round4.json\""), "\"deductions\"",
               "\"aliases\": {\"Ada Achterberg-Lund\": \"Ada Achterberg\"},\n  \"deductions\""));

  const Outcome standings = run({"season", "--html", "standings.html", "--json", "standings.json",
                                 "--csv", "csv", "season.json"},
                                dir.path());
  ASSERT_EQ(standings.Code, 0) << standings.Err;
  EXPECT_EQ(standings.Err, "");
  for (const char* file :
       {"standings.html", "standings.json", "csv/drivers.csv", "csv/makes.csv"}) {
    EXPECT_EQ(
        testing::describeFirstDifference(testing::readFile(kGolden / fs::path(file).filename()),
                                         testing::readFile(dir.path() / file)),
        "")
        << file;
  }
  // A round read from its replays stands exactly as read from its export.
  const Outcome fromFolders = run({"season", "--json", "-", "folders.json"}, dir.path());
  const Outcome fromExport = run({"season", "--json", "-", "plain.json"}, dir.path());
  ASSERT_EQ(fromFolders.Code + fromExport.Code, 0) << fromFolders.Err << fromExport.Err;
  EXPECT_EQ(replaced(fromExport.Out, "plain/round4.json", "round4"), fromFolders.Out);

  if (std::system("python3 -c 'import jsonschema' >/dev/null 2>&1") != 0) {
    GTEST_SKIP() << "python3-jsonschema is not installed";
  }
  const std::string validate =
      "python3 -c 'import json, sys, jsonschema\n"
      "jsonschema.validate(json.load(open(sys.argv[2])), json.load(open(sys.argv[1])), "
      "cls=jsonschema.Draft202012Validator)' " VORLIND_SOURCE_DIR
      "/docs/vorlind-season.schema.json " +
      (dir.path() / "standings.json").string();
  EXPECT_EQ(std::system(validate.c_str()), 0);
}

TEST(Season, BadInputIsNamedAndLeavesNoOutput) {
  testing::TempDir dir;
  ASSERT_EQ(tools::writeSeasonDirectory(dir.path().string(), 1, 4, 2), "");
  tools::EventDirectory practice;
  ASSERT_TRUE(tools::scenarioEvent("practice-only", &practice));
  ASSERT_EQ(tools::writeEventDirectory((dir.path() / "practice").string(), practice), "");
  fs::create_directories(dir.path() / "empty");
  fs::copy(dir.path() / "round1", dir.path() / "six");
  for (const char* extra : {"c", "d", "e", "f"}) {
    fs::copy(dir.path() / "round1" / "r1_a.rpy",
             dir.path() / "six" / (std::string(extra) + ".rpy"));
  }
  fs::copy(dir.path() / "round1", dir.path() / "damaged");
  const std::string replay = testing::readFile(dir.path() / "round1" / "r1_b.rpy");
  testing::writeFile(dir.path() / "damaged" / "r1_b.rpy", replay.substr(0, 300));
  const Outcome exported =
      run({"export", "--json", "x.json", "damaged/r1_a.rpy", "damaged/r1_b.rpy"}, dir.path());
  ASSERT_EQ(exported.Code, kExitInputError);

  const struct {
    const char* Round;
    std::string Error;
  } cases[] = {
      {"gone", "vorlind: gone: not found\n"},
      {"empty", "vorlind: empty: is a folder without replays (.rpy)\n"},
      {"six", "vorlind: six: holds 6 replays; a round has one to five grids\n"},
      {"round1/r1_a.rpy", "vorlind: round1/r1_a.rpy: is not a vorlind-event export: not JSON"},
      {"practice/replays", "vorlind: practice/replays: has no race\n"},
      {"damaged", exported.Err},
  };
  for (const auto& test : cases) {
    testing::writeFile(dir.path() / "bad.json",
                       std::string("{\"rounds\": [\"round1\", \"") + test.Round + "\"]}");
    const Outcome result = run({"season", "--html", "out.html", "bad.json"}, dir.path());
    EXPECT_EQ(result.Code, kExitInputError) << test.Round;
    EXPECT_EQ(result.Err.rfind(test.Error, 0), 0u) << result.Err;
    EXPECT_FALSE(fs::exists(dir.path() / "out.html")) << test.Round;
  }
  EXPECT_EQ(run({"season", "season.json"}, dir.path()).Code, kExitUsageError);
  const Outcome missing = run({"season", "--json", "-", "nowhere.json"}, dir.path());
  EXPECT_EQ(missing.Err, "vorlind: nowhere.json: not found\n");
  testing::writeFile(dir.path() / "file", "");
  const Outcome unwritable = run({"season", "--csv", "file", "season.json"}, dir.path());
  EXPECT_EQ(unwritable.Code, kExitInputError);
  EXPECT_EQ(
      unwritable.Err.rfind("vorlind: " + (dir.path() / "file").string() + ": cannot be created", 0),
      0u)
      << unwritable.Err;
}

}  // namespace
}  // namespace vorlind
