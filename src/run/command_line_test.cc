#include "run/command_line.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <nlohmann/json.hpp>
#include <sstream>
#include <tuple>

#include "event_plans.h"
#include "run/run_driver.h"
#include "test_support.h"

namespace vorlind {
namespace {

namespace fs = std::filesystem;

// The exit code, standard output and standard error of a run.
std::tuple<int, std::string, std::string> runArguments(std::vector<std::string> arguments,
                                                       const fs::path& workDir) {
  arguments.insert(arguments.begin(), "vorlind");
  std::vector<const char*> argv;
  for (const std::string& argument : arguments) argv.push_back(argument.c_str());
  std::ostringstream out, err;
  const int code = runCommandLine(parseCommandLine(static_cast<int>(argv.size()), argv.data()), out,
                                  err, workDir);
  return {code, out.str(), err.str()};
}

std::vector<std::string> replayPaths(const tools::EventDirectory& event, const fs::path& dir) {
  std::vector<std::string> paths;
  for (const tools::NamedGrid& grid : event.Grids) {
    paths.push_back((dir / "replays" / (grid.ReplayName + ".rpy")).string());
  }
  return paths;
}

// The report command in a folder of its own, with the highlighted driver named on the command
// line, writes the dialogue's report byte for byte, and the images beside it.
TEST(CommandLine, ReportEqualsTheDialoguesReportOnEveryScenario) {
  for (const std::string& name : tools::scenarioNames()) {
    SCOPED_TRACE(name);
    testing::TempDir scratch;
    tools::EventDirectory event;
    ASSERT_TRUE(tools::scenarioEvent(name, &event));
    const fs::path dialogueDir = scratch.path() / "dialogue";
    ASSERT_EQ(tools::writeEventDirectory(dialogueDir.string(), event), "");
    std::istringstream answers(event.Answers);
    std::ostringstream console;
    Console dialogue{answers, console, false};
    ASSERT_EQ(runVorlind(dialogue, dialogueDir), 0);

    const fs::path cliDir = scratch.path() / "cli";
    fs::create_directories(cliDir / "images");
    testing::writeFile(cliDir / "images" / "grid_A.gif", "kept");
    std::vector<std::string> arguments = {"report", "--name", event.MyName};
    const bool withoutSpeeds = event.Answers.ends_with("-1\n");
    if (withoutSpeeds) arguments.push_back("--no-speed");
    for (const std::string& path : replayPaths(event, dialogueDir)) arguments.push_back(path);
    const auto [code, out, err] = runArguments(arguments, cliDir);
    if (name == "player") {
      EXPECT_EQ(code, kExitInputError);
      EXPECT_NE(err.find("splayer_a.rpy: not a server replay\n"), std::string::npos) << err;
      continue;
    }
    ASSERT_EQ(code, 0) << err;
    EXPECT_EQ(err, "");
    const std::string file =
        event.Grids.front().ReplayName + "All" + (withoutSpeeds ? "no_v" : "") + ".html";
    EXPECT_EQ(testing::describeFirstDifference(testing::readFile(dialogueDir / file),
                                               testing::readFile(cliDir / file)),
              "");
    EXPECT_EQ(testing::readFile(cliDir / "images" / "grid_A.gif"), "kept");
    EXPECT_EQ(testing::readFile(cliDir / "images" / "logo_Lotus.gif").substr(0, 6), "GIF89a");
  }
}

// The winner penalised behind the third finisher and the second disqualified, once on the command
// line and once from a file: both reports hold the same penalised RESULT and the two lines below
// it, and everything else of the report as it was; the export moves exactly those two drivers.
TEST(CommandLine, PenaltiesReorderTheResultAndStandBelowIt) {
  testing::TempDir scratch;
  tools::EventDirectory event;
  ASSERT_TRUE(tools::scenarioEvent("retirements", &event));
  ASSERT_EQ(tools::writeEventDirectory(scratch.path().string(), event), "");
  const std::vector<std::string> replays = replayPaths(event, scratch.path());
  CommandLine command;
  command.Replays = replays;
  auto store = std::make_unique<EventStore>();
  std::vector<GridSource> grids;
  std::ostringstream ignored;
  ASSERT_TRUE(loadEvent(command, scratch.path(), *store, grids, ignored));
  const std::vector<ResultRow> driven = rankClassification(*store);
  ASSERT_GE(driven.size(), 4u);
  ASSERT_EQ(driven[3].Status, ResultStatus::kFinished);
  const auto name = [&](int slot) {
    return std::string(store->SlotFirstName[slot].view()) + " " +
           std::string(store->SlotLastName[slot].view());
  };
  const int32_t penalty = driven[3].RaceTime - driven[0].RaceTime + 1;
  const std::string seconds =
      std::to_string(penalty / 1000) + "." + std::to_string(1000 + penalty % 1000).substr(1);
  const std::string winner = name(driven[0].Slot) + "=+" + seconds;
  testing::writeFile(
      scratch.path() / "stewards.txt",
      "# round 1\n" + winner + "\n" + name(driven[1].Slot) + "=DSQ # <r\xC3\xA4m>\n");

  std::vector<std::string> plainArguments = {"report", "--out", "plain.html"};
  std::vector<std::string> givenArguments = {"report",
                                             "--out",
                                             "given.html",
                                             "--penalty",
                                             winner,
                                             "--penalty",
                                             name(driven[1].Slot) + "=DSQ#<r\xC3\xA4m>"};
  std::vector<std::string> fileArguments = {"report", "--out", "file.html", "--penalties",
                                            "stewards.txt"};
  std::vector<std::string> exportArguments = {"export", "--json", "event.json", "--penalties",
                                              "stewards.txt"};
  for (auto* arguments : {&plainArguments, &givenArguments, &fileArguments, &exportArguments}) {
    arguments->insert(arguments->end(), replays.begin(), replays.end());
    const auto [code, out, err] = runArguments(*arguments, scratch.path());
    ASSERT_EQ(code, 0) << err;
  }
  const std::string plain = testing::readFile(scratch.path() / "plain.html");
  const std::string penalised = testing::readFile(scratch.path() / "given.html");
  EXPECT_EQ(testing::readFile(scratch.path() / "file.html"), penalised);
  const size_t lines = penalised.find("<br clear=\"left\"> ");
  const size_t consistency = penalised.find("<table border=3 cellpadding=\"2\" align=\"center\">");
  ASSERT_LT(lines, consistency);
  const size_t result = plain.find("</tr>") + 5;
  EXPECT_EQ(penalised.substr(0, result), plain.substr(0, result));
  EXPECT_EQ(penalised.substr(consistency),
            plain.substr(plain.find("<table border=3 cellpadding=\"2\"")));
  EXPECT_EQ(penalised.substr(lines, consistency - lines),
            "<br clear=\"left\"> <div> " + name(driven[0].Slot) + " <b> +" + seconds +
                " s </b>  </div> \n<div> " + name(driven[1].Slot) +
                " <b> DSQ </b> &lt;r\xE4m&gt; </div> \n");

  const nlohmann::json document =
      nlohmann::json::parse(testing::readFile(scratch.path() / "event.json"));
  std::vector<int> expected, slots;
  for (const size_t row : {2u, 3u, 0u}) expected.push_back(driven[row].Slot);
  for (size_t row = 4; row < driven.size(); ++row) expected.push_back(driven[row].Slot);
  expected.push_back(driven[1].Slot);
  for (const nlohmann::json& row : document["classification"]) slots.push_back(row["slot"]);
  EXPECT_EQ(slots, expected);
  EXPECT_EQ(document["classification"][2]["race_time_ms"], driven[0].RaceTime + penalty);
  EXPECT_EQ(document["classification"].back()["status"], "DSQ");
  EXPECT_EQ(document["penalties"][1]["reason"], "<r\xC3\xA4m>");
  const std::optional<bool> valid =
      testing::validatesAgainstSchema("vorlind-event.schema.json", {scratch.path() / "event.json"});
  EXPECT_TRUE(valid.value_or(true));
}

TEST(CommandLine, UsageErrorsExitWithTwoAndHelpCoversEveryOption) {
  const fs::path here = fs::temp_directory_path();
  const auto [helpCode, help, helpErr] = runArguments({"--help"}, here);
  EXPECT_EQ(helpCode, 0);
  // The top-level help lists the options of both commands, and the exit codes.
  for (const char* word : {"--no-speed", "--out", "--charts", "--name", "  2  usage error"}) {
    EXPECT_NE(help.find(word), std::string::npos) << word;
  }
  EXPECT_EQ(std::get<1>(runArguments({"--version"}, here)).rfind("vorlind ", 0), 0u);

  const std::vector<std::vector<std::string>> misuses = {
      {"report"},
      {"frobnicate", "a.rpy"},
      {"report", "--speed", "a.rpy"},
      {"export", "a.rpy"},
      {"export", "--json"},
      {"report", "a", "b", "c", "d", "e", "f"},
      {"report", "--penalty", "Ada Sommer=-5", "a.rpy"}};
  for (const std::vector<std::string>& arguments : misuses) {
    const auto [code, out, err] = runArguments(arguments, here);
    EXPECT_EQ(code, kExitUsageError) << arguments.front() << " " << arguments.back();
    EXPECT_EQ(out, "");
    EXPECT_NE(err.find("vorlind --help"), std::string::npos);
  }
}

TEST(CommandLine, InputErrorsAndWarningsNameTheFileAndTheReason) {
  testing::TempDir scratch;
  tools::EventDirectory event;
  ASSERT_TRUE(tools::scenarioEvent("36fps", &event));
  ASSERT_EQ(tools::writeEventDirectory(scratch.path().string(), event), "");
  const std::vector<std::string> replays = replayPaths(event, scratch.path());
  const std::string bytes = testing::readFile(replays[1]);
  testing::writeFile(scratch.path() / "header.rpy", bytes.substr(0, 3));
  testing::writeFile(scratch.path() / "cut.rpy", bytes.substr(0, bytes.size() / 2));
  testing::writeFile(scratch.path() / "bad.txt", "# fine\nAda Sommer=+5s\n");
  ASSERT_EQ(mkfifo((scratch.path() / "pipe.rpy").c_str(), 0600), 0);

  const struct {
    std::vector<std::string> Arguments;
    int ExitCode;
    std::string Message;
  } cases[] = {
      {{"report", "missing.rpy"}, kExitInputError, "vorlind: missing.rpy: not found\n"},
      {{"report", "pipe.rpy"}, kExitInputError, "vorlind: pipe.rpy: not a regular file\n"},
      {{"frobnicate", replays[0]}, kExitUsageError, "vorlind: unknown command 'frobnicate'\n"},
      {{"report", replays[0], "header.rpy"}, kExitInputError, "header.rpy: damaged at byte 5: "},
      {{"report", replays[0], "cut.rpy"},
       0,
       "cut.rpy: the frame stream ends before the last race lap; 4 drivers have no"},
      {{"report", replays[0], replays[1], replays[1]},
       0,
       " is given twice, as grid B and as grid C\n"},
      {{"report", "--name", "Nobody Here", replays[0]}, 0, "--name \"Nobody Here\" matches no"},
      {{"report", "--out", "no/such/folder/r.html", replays[0]}, kExitInputError, "could not"},
      {{"export", "--csv", "csv", "--charts", "no/c.html", replays[0]},
       kExitInputError,
       "c.html: "},
      {{"report", "--penalty", "Nobody Here=+5", replays[0]},
       kExitInputError,
       "vorlind: --penalty \"Nobody Here=+5\": Nobody Here is no driver of the event\n"},
      {{"export", "--json", "-", "--penalties", "no.txt", replays[0]},
       kExitInputError,
       "vorlind: no.txt: cannot be read as a penalties file\n"},
      {{"report", "--penalties", "bad.txt", replays[0]},
       kExitInputError,
       "vorlind: bad.txt, line 2: \"Ada Sommer=+5s\" is not a penalty; "},
  };
  for (const auto& test : cases) {
    const auto [code, out, err] = runArguments(test.Arguments, scratch.path());
    EXPECT_EQ(code, test.ExitCode) << test.Message;
    EXPECT_NE(err.find(test.Message), std::string::npos) << err;
  }
}

// Names on the command line are UTF-8 and are matched with the replays' 8-bit names in
// Windows-1252, by --name as by --penalty.
TEST(CommandLine, NamesBeyondAsciiMatchTheReplaysNames) {
  testing::TempDir scratch;
  tools::EventDirectory event;
  ASSERT_TRUE(tools::scenarioEvent("36fps", &event));
  tools::DriverSpec& driver = event.Grids[0].Spec.Drivers[1];
  driver.LastName = "M\374ller";
  ASSERT_EQ(tools::writeEventDirectory(scratch.path().string(), event), "");
  const std::string name = driver.FirstName + " Müller";
  const auto [code, out, err] = runArguments(
      {"report", "--name", name, "--penalty", name + "=DSQ", replayPaths(event, scratch.path())[0]},
      scratch.path());
  EXPECT_EQ(code, 0);
  EXPECT_EQ(err, "");
}

// Replays named without a command word, as Explorer passes dropped files: the report goes beside
// the first, named in UTF-8, and the report's 8-bit text holds the name in Windows-1252.
TEST(CommandLine, DroppedReplaysGetTheirReportBesideTheFirst) {
  testing::TempDir scratch;
  tools::EventDirectory event;
  ASSERT_TRUE(tools::scenarioEvent("36fps", &event));
  ASSERT_EQ(tools::writeEventDirectory(scratch.path().string(), event), "");
  const fs::path first = scratch.path() / "replays" / "Rennen Straße.RPY";
  fs::copy_file(replayPaths(event, scratch.path())[0], first);

  const auto [code, out, err] = runArguments({first.string()}, scratch.path());
  ASSERT_EQ(code, 0) << err;
  const fs::path report = scratch.path() / "replays" / "Rennen StraßeAll.html";
  EXPECT_EQ(out, "Report written to " + report.string() + "\n");
  EXPECT_NE(testing::readFile(report).find("file name:   Rennen Stra\337eAll "), std::string::npos);
  EXPECT_TRUE(fs::exists(scratch.path() / "replays" / "images" / "logo_Lotus.gif"));
}

}  // namespace
}  // namespace vorlind
