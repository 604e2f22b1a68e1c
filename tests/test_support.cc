#include "test_support.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fstream>

#include "report/result_table.h"

namespace vorlind::testing {

namespace {

constexpr double kCaseSeconds = 5.0;
constexpr int kReported = 8;

std::string lineAround(const std::string& text, size_t offset) {
  const size_t newline = offset == 0 ? std::string::npos : text.rfind('\n', offset - 1);
  const size_t start = newline == std::string::npos ? 0 : newline + 1;
  std::string shown;
  for (size_t i = start; i < text.size() && text[i] != '\n'; ++i) {
    shown += text[i] == '\0' ? "\\0" : text[i] == '\r' ? "\\r" : std::string(1, text[i]);
  }
  return shown;
}

}  // namespace

void expectClassificationIsTheResult(EventStore& store) {
  EXPECT_EQ(harness::checkClassification(store), "");
  store.RaceCumTime[0].fill(0);
  store.RaceLapCount[0] = 0;
  EXPECT_EQ(rankClassification(store), rankResult(store));
}

std::string readFile(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

void writeFile(const std::filesystem::path& file, const std::string& bytes) {
  std::filesystem::create_directories(file.parent_path());
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string describeFirstDifference(const std::string& expected, const std::string& actual) {
  if (expected == actual) return "";
  const size_t offset =
      std::mismatch(expected.begin(), expected.end(), actual.begin(), actual.end()).first -
      expected.begin();
  std::ostringstream text;
  text << "first difference at byte " << offset << " (line "
       << 1 + std::count(expected.begin(), expected.begin() + offset, '\n') << "); sizes "
       << expected.size() << " expected, " << actual.size() << " actual\n"
       << "  expected: " << lineAround(expected, offset) << "\n"
       << "  actual:   " << lineAround(actual, offset) << "\n";
  return text.str();
}

std::optional<bool> validatesAgainstSchema(const std::string& schema,
                                           const std::vector<std::filesystem::path>& documents) {
  if (std::system("python3 -c 'import jsonschema' >/dev/null 2>&1") != 0) return std::nullopt;
  std::string command =
      "python3 -c 'import json, sys, jsonschema\n"
      "schema = json.load(open(sys.argv[1]))\n"
      "for path in sys.argv[2:]: jsonschema.validate(json.load(open(path)), schema, "
      "cls=jsonschema.Draft202012Validator)' " VORLIND_SOURCE_DIR "/docs/" +
      schema;
  for (const std::filesystem::path& document : documents) command += " '" + document.string() + "'";
  return std::system(command.c_str()) == 0;
}

int runProgram(const std::filesystem::path& workDir, const std::string& answers,
               std::string& output) {
  const std::filesystem::path scratch =
      workDir.parent_path() / (workDir.filename().string() + ".io");
  writeFile(scratch / "answers.txt", answers);
  const std::string command = "cd '" + workDir.string() + "' && '" VORLIND_BINARY "' < '" +
                              (scratch / "answers.txt").string() + "' > '" +
                              (scratch / "stdout.bin").string() + "'";
  const int status = std::system(command.c_str());
  output = readFile(scratch / "stdout.bin");
  std::filesystem::remove_all(scratch);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

Expect expectDamaged(size_t replayIndex) {
  return expectEnd(
      1, harness::damagedMessage("replays\\" + harness::replayName(replayIndex) + ".rpy"));
}

Expect expectEnd(int exitCode, std::string line) {
  return [exitCode, line](const harness::RunResult& result) -> std::string {
    if (result.ExitCode == exitCode && result.Console.find(line) != std::string::npos) return {};
    return "expected exit code " + std::to_string(exitCode) + " after \"" + line + "\"";
  };
}

std::string expectReport(const harness::RunResult& result) {
  return result.ExitCode == 0 && result.ReportWritten ? "" : "expected a report and exit code 0";
}

void Sweep::run(const std::string& name, const harness::EventFiles& files, const Expect& expect) {
  ++cases_;
  const auto begin = std::chrono::steady_clock::now();
  const harness::RunResult result = harness::runEvent(dir_.path(), files);
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
  std::string problem = harness::checkDefinedEnd(result);
  if (problem.empty() && expect) problem = expect(result);
  if (problem.empty() && seconds > kCaseSeconds) problem = "took " + std::to_string(seconds);
  if (problem.empty() || ++failures_ > kReported) return;
  const size_t tail = std::min<size_t>(300, result.Console.size());
  report_ << "\n"
          << name << ": " << problem << " (exit code " << result.ExitCode
          << ")\n  console ends: " << result.Console.substr(result.Console.size() - tail);
}

void Sweep::finish() {
  EXPECT_EQ(failures_, 0) << "(failed runs, of " << cases_ << ")" << report_.str();
}

}  // namespace vorlind::testing
