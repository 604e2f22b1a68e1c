#include "platform/console.h"

#include <gtest/gtest.h>

namespace vorlind {
namespace {

TEST(Console, KeyPressLengthTakesEachKeyWhole) {
  const std::pair<std::string_view, size_t> cases[] = {
      {"", 0},
      {"a3", 1},
      {"\n", 1},
      {"\x1b", 0},       // Escape alone, or the start of a sequence
      {"\x1b[", 0},      // a sequence still arriving
      {"\x1b[A0", 3},    // arrow up, then a typed 0
      {"\x1b[15~", 5},   // F5
      {"\x1b[1;5C", 6},  // Ctrl+Right
      {"\x1bOP", 3},     // F1
      {"\x1bO", 0},
      {"\x1bx", 2},     // Alt+x
      {"\xC3\xA4", 2},  // a UTF-8 letter
      {"\xE2\x82", 0},  // a three-byte character cut short
      {"\xF0\x9F\x8F\x81", 4},
  };
  for (const auto& [bytes, length] : cases) {
    EXPECT_EQ(keyPressLength(bytes), length) << testing::PrintToString(std::string(bytes));
  }
}

}  // namespace
}  // namespace vorlind
