#include "run/config_files.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace vorlind {
namespace {

TEST(ConfigFiles, MyNameSplitsAtTheFirstBlankAndNamesNobodyOutsideItsLimits) {
  const std::string n19(19, 'n'), n20(20, 'n');
  const struct {
    std::string Bytes;
    bool Named;
    std::string First;
    std::string Last;
  } cases[] = {
      {"Ada Maria Sommer", true, "Ada", "Maria Sommer"},
      {"Ada Sommer\r\n", true, "Ada", "Sommer\r\n"},
      {" Sommer", true, "", "Sommer"},
      {"Ada S", true, "Ada", "S"},
      {n19 + " " + n19, true, n19, n19},
      {"AdaSommer", false, "", ""},
      {"Ada ", false, "", ""},
      {"", false, "", ""},
      {n20 + " Sommer", false, "", ""},
      {"Ada " + n20, false, "", ""},
      {std::string("Ada So\0mer", 10), false, "", ""},
      {std::string("A\0a Sommer", 10), false, "", ""},
  };
  for (const auto& c : cases) {
    auto store = std::make_unique<EventStore>();
    initEventStore(*store);
    store->MyNameSet = true;
    store->MyFirstName.assign("Old");
    parseMyName(c.Bytes, *store);
    EXPECT_EQ(store->MyNameSet, c.Named) << c.Bytes;
    EXPECT_EQ(store->MyFirstName.view(), c.First) << c.Bytes;
    EXPECT_EQ(store->MyLastName.view(), c.Last) << c.Bytes;
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
