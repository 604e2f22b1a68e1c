#include "images/badges.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "test_support.h"

namespace vorlind::badges {
namespace {

// Whether the images decode is left to the browser check, which loads them in a real browser.
TEST(Badges, EveryImageTheReportNamesIsWrittenAsAGifOfItsSize) {
  testing::TempDir scratch;
  ASSERT_EQ(writeBadges(scratch.path() / "images"), "");
  std::set<std::string> written;
  for (const auto& entry : std::filesystem::directory_iterator(scratch.path() / "images")) {
    written.insert(entry.path().filename().string());
  }
  std::set<int> logoWidths;
  for (const Badge& badge : reportBadges()) {
    const std::string bytes = testing::readFile(scratch.path() / "images" / badge.FileName);
    ASSERT_GE(bytes.size(), 14u) << badge.FileName;
    EXPECT_EQ(bytes.substr(0, 6), "GIF89a") << badge.FileName;
    EXPECT_EQ(bytes.back(), ';') << badge.FileName;
    const int width = static_cast<uint8_t>(bytes[6]) | static_cast<uint8_t>(bytes[7]) << 8;
    const int height = static_cast<uint8_t>(bytes[8]) | static_cast<uint8_t>(bytes[9]) << 8;
    EXPECT_EQ(width, badge.Image.Width) << badge.FileName;
    EXPECT_EQ(height, 15) << badge.FileName;
    EXPECT_TRUE(badge.FileName.starts_with("logo_") || width == 15) << badge.FileName;
    if (badge.FileName.starts_with("logo_")) logoWidths.insert(width);
  }
  // The names the report's image tags use.
  EXPECT_EQ(written, (std::set<std::string>{"logo_Brabham.gif", "logo_BRM.gif", "logo_Cooper.gif",
                                            "logo_Eagle.gif", "logo_Ferrari.gif", "logo_Lotus.gif",
                                            "logo_Honda.gif", "grid_A.gif", "grid_B.gif",
                                            "grid_C.gif", "grid_D.gif", "grid_E.gif"}));
  EXPECT_EQ(logoWidths.size(), 1u) << "the car column is as wide for every make";
}

}  // namespace
}  // namespace vorlind::badges
