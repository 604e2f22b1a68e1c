#include "test_support.h"

#include <sys/wait.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace vorlind::testing {

namespace {

std::string lineAround(const std::string& text, size_t offset) {
  const size_t begin = text.rfind('\n', offset == 0 ? 0 : offset - 1);
  const size_t start = begin == std::string::npos || offset == 0 ? 0 : begin + 1;
  const size_t end = text.find('\n', offset);
  std::string line = text.substr(start, (end == std::string::npos ? text.size() : end) - start);
  std::string shown;
  for (char c : line) {
    if (c == '\0') {
      shown += "\\0";
    } else if (c == '\r') {
      shown += "\\r";
    } else {
      shown += c;
    }
  }
  return shown;
}

}  // namespace

TempDir::TempDir() {
  static std::atomic<int> counter{0};
  path_ = std::filesystem::temp_directory_path() /
          ("vorlind-test-" + std::to_string(getpid()) + "-" + std::to_string(counter++));
  std::filesystem::remove_all(path_);
  std::filesystem::create_directories(path_);
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
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
  size_t offset = 0;
  while (offset < expected.size() && offset < actual.size() && expected[offset] == actual[offset]) {
    ++offset;
  }
  size_t line = 1;
  for (size_t i = 0; i < offset; ++i) line += expected[i] == '\n';
  std::ostringstream text;
  text << "first difference at byte " << offset << " (line " << line << "); sizes "
       << expected.size() << " expected, " << actual.size() << " actual\n"
       << "  expected: " << lineAround(expected, offset) << "\n"
       << "  actual:   " << lineAround(actual, offset) << "\n";
  return text.str();
}

int runProgram(const std::filesystem::path& workDir, const std::string& answers,
               std::string& output) {
  const std::filesystem::path scratch = workDir.parent_path() / (workDir.filename().string() + ".io");
  std::filesystem::create_directories(scratch);
  writeFile(scratch / "answers.txt", answers);
  const std::string command = "cd '" + workDir.string() + "' && '" VORLIND_BINARY "' < '" +
                              (scratch / "answers.txt").string() + "' > '" +
                              (scratch / "stdout.bin").string() + "'";
  const int status = std::system(command.c_str());
  output = readFile(scratch / "stdout.bin");
  std::filesystem::remove_all(scratch);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace vorlind::testing
