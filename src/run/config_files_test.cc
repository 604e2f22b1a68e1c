#include "run/config_files.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace vorlind {
namespace {

TEST(ConfigFiles, MyNameSplitsAtTheFirstBlankAndNamesNobodyOutsideItsLimits) {
  const std::string n19(19, 'n'), n20(20, 'n');
  // The bytes, then the first and the last name; both empty where nobody is named.
  const std::string cases[][3] = {
      {"Ada Maria Sommer", "Ada", "Maria Sommer"},
      {"Ada Sommer\r\n", "Ada", "Sommer\r\n"},
      {" Sommer", "", "Sommer"},
      {"Ada S", "Ada", "S"},
      {n19 + " " + n19, n19, n19},
      {"AdaSommer", "", ""},
      {"Ada ", "", ""},
      {"", "", ""},
      {n20 + " Sommer", "", ""},
      {"Ada " + n20, "", ""},
      {std::string("Ada So\0mer", 10), "", ""},
      {std::string("A\0a Sommer", 10), "", ""},
  };
  for (const auto& [bytes, first, last] : cases) {
    auto store = std::make_unique<EventStore>();
    initEventStore(*store);
    store->MyNameSet = true;
    store->MyFirstName.assign("Old");
    parseMyName(bytes, *store);
    EXPECT_EQ(store->MyNameSet, !last.empty()) << bytes;
    EXPECT_EQ(store->MyFirstName.view(), first) << bytes;
    EXPECT_EQ(store->MyLastName.view(), last) << bytes;
  }
}

TEST(ConfigFiles, SimDirIsTheFirstLineCutTo78Characters) {
  const std::pair<std::string, std::string> cases[] = {
      {"replays\\\nother\\\n", "replays\\"},
      {"ends with cr\r", "ends with cr\r"},
      {"\r\n", ""},
      {"\n", ""},
      {std::string(78, 'x') + "yz\r\n", std::string(78, 'x')},
  };
  for (const auto& [bytes, expected] : cases) {
    auto store = std::make_unique<EventStore>();
    initEventStore(*store);
    parseSimDir(bytes, *store);
    EXPECT_EQ(store->SimDir.view(), expected) << bytes;
  }
}

}  // namespace
}  // namespace vorlind
