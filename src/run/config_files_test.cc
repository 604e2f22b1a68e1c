#include "run/config_files.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace vorlind {
namespace {

struct MyNameCase {
  std::string Bytes;
  bool Named;
  std::string First;
  std::string Last;
};

TEST(ConfigFiles, MyNameSplitsAtTheFirstBlank) {
  const MyNameCase cases[] = {
      {"Ada Sommer", true, "Ada", "Sommer"},
      {"Ada Maria Sommer", true, "Ada", "Maria Sommer"},
      {"Ada Sommer\r\n", true, "Ada", "Sommer\r\n"},
      {" Sommer", true, "", "Sommer"},
      {"AdaSommer", false, "", ""},
      {"Ada ", false, "", ""},
      {"", false, "", ""},
      {"Ada Sommerfeldhausenbergx", false, "", ""},
      {"Ada Sommerfeldhausenber", true, "Ada", "Sommerfeldhausenber"},
      {std::string("Ada So\0mer", 10), false, "", ""},
  };
  for (const MyNameCase& c : cases) {
    auto store = std::make_unique<EventStore>();
    initEventStore(*store);
    parseMyName(c.Bytes, *store);
    EXPECT_EQ(store->MyNameSet, c.Named) << c.Bytes;
    EXPECT_EQ(store->MyFirstName.view(), c.First) << c.Bytes;
    EXPECT_EQ(store->MyLastName.view(), c.Last) << c.Bytes;
  }
}

TEST(ConfigFiles, SimDirIsTheFirstLineCutTo78Characters) {
  const std::pair<std::string, std::string> cases[] = {
      {"replays\\\r\n", "replays\\"},
      {"replays\\\nother\\\n", "replays\\"},
      {"D:\\Races\\", "D:\\Races\\"},
      {"ends with cr\r", "ends with cr\r"},
      {std::string(100, 'x') + "\n", std::string(78, 'x')},
      {"", ""},
  };
  for (const auto& [bytes, expected] : cases) {
    auto store = std::make_unique<EventStore>();
    initEventStore(*store);
    parseSimDir(bytes, *store);
    EXPECT_EQ(store->SimDir.view(), expected);
  }
}

}  // namespace
}  // namespace vorlind
