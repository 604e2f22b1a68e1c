// Helpers shared by the whole-run tests: temporary working directories, whole-file reading and
// a readable description of the first difference between two byte strings.
#pragma once

#include <filesystem>
#include <string>

namespace vorlind::testing {

// A fresh directory under the system's temporary directory, removed with the object.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

std::string readFile(const std::filesystem::path& file);
void writeFile(const std::filesystem::path& file, const std::string& bytes);

// Empty when equal; otherwise the offset, line and the differing lines of both texts.
std::string describeFirstDifference(const std::string& expected, const std::string& actual);

// Runs the vorlind program in `workDir` with `answers` on standard input (a file, not a
// terminal); returns the exit code and stores standard output in `output`.
int runProgram(const std::filesystem::path& workDir, const std::string& answers,
               std::string& output);

}  // namespace vorlind::testing
