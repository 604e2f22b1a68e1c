#include "platform/file_names.h"

#include <gtest/gtest.h>

namespace vorlind {
namespace {

TEST(FileNames, Windows1252FromUtf8GivesEachCharacterItsCodeOrAQuestionMark) {
  const std::pair<std::string_view, std::string_view> cases[] = {
      {"Race 7_b", "Race 7_b"},
      {"Rennen Straße Ålesund ÿ", "Rennen Stra\337e \305lesund \377"},
      {"€ ‚ Ÿ Ž", "\200 \202 \237 \216"},  // the codes 0x80 to 0x9F
      {"Łódź", "?\363d?"},
      {"Гонка 比赛 🏁", "????? ?? ?"},
      {"\xC2\x80\xC2\x90", "??"},  // the first two-byte ones, unassigned in Windows-1252
      // Bytes of no UTF-8 character, kept: Latin-1, a cut character, overlong, a surrogate.
      {"J\xFCrgen", "J\xFCrgen"},
      {"a\xE6\xAF", "a\xE6\xAF"},
      {"\xC0\xAF", "\xC0\xAF"},
      {"\xED\xA0\x80", "\xED\xA0\x80"},
  };
  for (const auto& [utf8, expected] : cases) {
    EXPECT_EQ(windows1252FromUtf8(utf8), expected) << testing::PrintToString(std::string(utf8));
  }
}

TEST(FileNames, Utf8PrefixLengthCountsWholeCharacters) {
  EXPECT_EQ(utf8PrefixLength("Гонка", 2), 4u);
  EXPECT_EQ(utf8PrefixLength("a🏁b", 2), 5u);
  EXPECT_EQ(utf8PrefixLength("J\xFCrgen", 2), 2u);
  EXPECT_EQ(utf8PrefixLength("ab", 5), 2u);
}

}  // namespace
}  // namespace vorlind
