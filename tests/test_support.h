// Helpers shared by the tests: temporary working directories, whole files, a readable first
// difference of two byte strings, runs of the program binary, and sweeps of in-process runs that
// must each end in a defined way and as expected.
#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "robustness_harness.h"

namespace vorlind::testing {

// A fresh directory, removed with the object.
using TempDir = harness::ScratchDir;

std::string readFile(const std::filesystem::path& file);
void writeFile(const std::filesystem::path& file, const std::string& bytes);

// Empty when equal; otherwise the offset, line and the differing lines of both texts.
std::string describeFirstDifference(const std::string& expected, const std::string& actual);

// The event's complete classification lists everybody who started (as checkClassification
// says), and once slot 0's race is taken out of the store it is the RESULT table row for row.
void expectClassificationIsTheResult(EventStore& store);

// Validates each JSON document against a schema of docs/ with Python's jsonschema: true when all
// are valid; none when jsonschema is not installed.
std::optional<bool> validatesAgainstSchema(const std::string& schema,
                                           const std::vector<std::filesystem::path>& documents);

// Runs the vorlind program in `workDir` with `answers` on standard input (a file, not a
// terminal); returns the exit code and stores standard output in `output`.
int runProgram(const std::filesystem::path& workDir, const std::string& answers,
               std::string& output);

// A check of its own for a run, beside the defined end: empty when fine.
using Expect = std::function<std::string(const harness::RunResult&)>;
Expect expectDamaged(size_t replayIndex);  // the damaged-replay message of that replay, code 1
Expect expectEnd(int exitCode, std::string line);
std::string expectReport(const harness::RunResult& result);

// Runs whole events in-process and collects the runs that did not end in a defined way, as
// expected and within a few seconds; `finish` reports them (the first few in full).
class Sweep {
 public:
  explicit Sweep(std::string_view label) : dir_(label) {}
  void run(const std::string& name, const harness::EventFiles& files, const Expect& expect = {});
  void finish();

 private:
  harness::ScratchDir dir_;
  int cases_ = 0;
  int failures_ = 0;
  std::ostringstream report_;
};

}  // namespace vorlind::testing
