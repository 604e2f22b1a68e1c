// Runs the program on every case of the shared conformance suite and compares standard output,
// exit code and every file the run writes, byte for byte. Without the suite beside the project
// the tests skip with a message.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "run/command_line.h"
#include "test_support.h"

namespace vorlind {
namespace {

namespace fs = std::filesystem;

const fs::path kSuite = fs::path(VORLIND_SOURCE_DIR) / ".." / "shared" / "conformance";

std::vector<std::string> caseNames() {
  std::vector<std::string> names;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(kSuite, error)) {
    if (entry.is_directory() && fs::exists(entry.path() / "answers.txt")) {
      names.push_back(entry.path().filename().string());
    }
  }
  std::sort(names.begin(), names.end());
  return names;
}

// The files below `directory`, none when it does not exist.
std::set<std::string> filesBelow(const fs::path& directory) {
  std::set<std::string> files;
  std::error_code error;
  for (const auto& entry : fs::recursive_directory_iterator(directory, error)) {
    if (entry.is_regular_file()) files.insert(fs::relative(entry.path(), directory).string());
  }
  return files;
}

class Conformance : public ::testing::TestWithParam<std::string> {};

TEST_P(Conformance, MatchesExpectedRun) {
  const fs::path source = kSuite / GetParam();
  testing::TempDir temp;
  const fs::path work = temp.path() / "work";
  fs::copy(source / "input", work, fs::copy_options::recursive);
  for (const auto& entry : fs::recursive_directory_iterator(work)) {
    fs::permissions(entry.path(), fs::perms::owner_write, fs::perm_options::add);
  }
  const std::set<std::string> inputs = filesBelow(work);
  std::string output;
  const int exitCode = testing::runProgram(work, testing::readFile(source / "answers.txt"), output);
  const std::string expectedOutput = testing::readFile(source / "expected" / "stdout.bin");
  EXPECT_EQ(testing::describeFirstDifference(expectedOutput, output), "") << "standard output";
  EXPECT_EQ(std::to_string(exitCode) + "\n", testing::readFile(source / "expected" / "exit_code"));
  std::set<std::string> expectedFiles = inputs;
  const fs::path expectedDir = source / "expected" / "files";
  for (const std::string& name : filesBelow(expectedDir)) {
    expectedFiles.insert(name);
    EXPECT_EQ(testing::describeFirstDifference(testing::readFile(expectedDir / name),
                                               testing::readFile(work / name)),
              "")
        << "file " << name;
  }
  EXPECT_EQ(filesBelow(work), expectedFiles) << "the run created other files than expected";
  for (const std::string& name : inputs) {
    EXPECT_EQ(testing::readFile(work / name), testing::readFile(source / "input" / name))
        << "input " << name << " changed";
  }
}

// The complete classification of each case's event that has a race: it lists everybody who
// started, and where slot 0 did not race (or once its race is taken out) it is the RESULT table
// row for row.
TEST_P(Conformance, ClassificationIsTheResultWhereSlotZeroDidNotRace) {
  const fs::path input = kSuite / GetParam() / "input";
  CommandLine command;
  std::istringstream answers(testing::readFile(kSuite / GetParam() / "answers.txt"));
  for (std::string word; answers >> word && command.Replays.size() < kGridCount;) {
    if (!fs::exists(input / "replays" / (word + ".rpy"))) break;
    command.Replays.push_back("replays/" + word + ".rpy");
  }
  auto store = std::make_unique<EventStore>();
  std::vector<GridSource> grids;
  std::ostringstream err;
  if (command.Replays.empty() || !loadEvent(command, input, *store, grids, err) ||
      store->RaceFound == 0) {
    GTEST_SKIP() << "no race";
  }
  testing::expectClassificationIsTheResult(*store);
}

INSTANTIATE_TEST_SUITE_P(Cases, Conformance, ::testing::ValuesIn(caseNames()),
                         [](const auto& info) {
                           std::string name = info.param;
                           std::replace(name.begin(), name.end(), '-', '_');
                           return name;
                         });
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(Conformance);

TEST(ConformanceSuite, IsPresent) {
  if (!fs::exists(kSuite)) GTEST_SKIP() << "no conformance suite at " << kSuite.string();
  EXPECT_FALSE(caseNames().empty()) << "the conformance folder holds no case";
}

}  // namespace
}  // namespace vorlind
