// The bundled demo event, written by the event writer and run through the program with its
// scripted answers: the whole console transcript and the whole report are compared with the
// golden files in tests/golden/demo, which were reviewed line by line when they were made.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "event_plans.h"
#include "test_support.h"

namespace vorlind {
namespace {

namespace fs = std::filesystem;

const fs::path kGolden = fs::path(VORLIND_SOURCE_DIR) / "tests" / "golden" / "demo";

TEST(DemoGolden, TranscriptAndReportMatchTheReviewedFiles) {
  testing::TempDir dir;
  const tools::EventDirectory demo = tools::demoEvent();
  ASSERT_EQ(tools::writeEventDirectory(dir.path().string(), demo), "");
  std::string output;
  EXPECT_EQ(testing::runProgram(dir.path(), demo.Answers, output), 0);
  EXPECT_EQ(testing::describeFirstDifference(testing::readFile(kGolden / "stdout.bin"), output),
            "");
  EXPECT_EQ(testing::describeFirstDifference(testing::readFile(kGolden / "demo_aAll.html"),
                                             testing::readFile(dir.path() / "demo_aAll.html")),
            "");
}

}  // namespace
}  // namespace vorlind
