// The bundled demo event, written by the event writer and run through the program: the console
// transcript and report of the dialogue with its scripted answers, and the export, charts page
// and images of the command line, are compared with the golden files in tests/golden/demo, which
// were reviewed when they were made (the report and the charts page also in a browser).
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "event_plans.h"
#include "run/command_line.h"
#include "test_support.h"

namespace vorlind {
namespace {

namespace fs = std::filesystem;

const fs::path kGolden = fs::path(VORLIND_SOURCE_DIR) / "tests" / "golden" / "demo";

void expectGolden(const fs::path& golden, const std::string& written) {
  EXPECT_EQ(testing::describeFirstDifference(testing::readFile(kGolden / golden), written), "")
      << golden;
}

TEST(DemoGolden, TranscriptAndReportMatchTheReviewedFiles) {
  testing::TempDir dir;
  const tools::EventDirectory demo = tools::demoEvent();
  ASSERT_EQ(tools::writeEventDirectory(dir.path().string(), demo), "");
  std::string output;
  EXPECT_EQ(testing::runProgram(dir.path(), demo.Answers, output), 0);
  expectGolden("stdout.bin", output);
  expectGolden("demo_aAll.html", testing::readFile(dir.path() / "demo_aAll.html"));
}

TEST(DemoGolden, ExportChartsAndImagesMatchTheReviewedFiles) {
  testing::TempDir dir;
  ASSERT_EQ(tools::writeEventDirectory(dir.path().string(), tools::demoEvent()), "");
  fs::create_directories(dir.path() / "report");
  const std::vector<std::vector<const char*>> commands = {
      {"vorlind", "export", "--json", "event.json", "--csv", "csv", "--charts", "charts.html"},
      {"vorlind", "report", "--out", "report/demo.html"}};
  for (std::vector<const char*> arguments : commands) {
    for (const char* replay : {"replays/demo_a.rpy", "replays/demo_b.rpy", "replays/demo_c.rpy"}) {
      arguments.push_back(replay);
    }
    std::ostringstream out, err;
    ASSERT_EQ(runCommandLine(parseCommandLine(static_cast<int>(arguments.size()), arguments.data()),
                             out, err, dir.path()),
              0)
        << err.str();
  }
  for (const char* file : {"event.json", "csv/laps.csv", "csv/result.csv", "charts.html"}) {
    expectGolden(file, testing::readFile(dir.path() / file));
  }
  CommandLine command;
  command.Replays = {"replays/demo_a.rpy", "replays/demo_b.rpy", "replays/demo_c.rpy"};
  auto store = std::make_unique<EventStore>();
  std::vector<GridSource> grids;
  std::ostringstream err;
  ASSERT_TRUE(loadEvent(command, dir.path(), *store, grids, err));
  testing::expectClassificationIsTheResult(*store);
  int images = 0;
  for (const auto& entry : fs::directory_iterator(kGolden / "images")) {
    expectGolden(fs::relative(entry.path(), kGolden),
                 testing::readFile(dir.path() / "report" / "images" / entry.path().filename()));
    ++images;
  }
  EXPECT_EQ(images, 12);
}

}  // namespace
}  // namespace vorlind
