#include "badges.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "gif_test_decoder.h"
#include "test_support.h"

namespace vorlind::badges {
namespace {

TEST(Badges, EveryImageTheReportNamesIsWrittenAsAGifOfItsSize) {
  testing::TempDir scratch;
  ASSERT_EQ(writeBadges(scratch.path() / "images"), "");
  std::set<std::string> written;
  for (const auto& entry : std::filesystem::directory_iterator(scratch.path() / "images")) {
    written.insert(entry.path().filename().string());
  }
  EXPECT_EQ(written, (std::set<std::string>{"logo_Brabham.gif", "logo_BRM.gif", "logo_Cooper.gif",
                                            "logo_Eagle.gif", "logo_Ferrari.gif", "logo_Lotus.gif",
                                            "logo_Honda.gif", "grid_A.gif", "grid_B.gif",
                                            "grid_C.gif", "grid_D.gif", "grid_E.gif"}));
  std::set<int> logoWidths;
  for (const Badge& badge : reportBadges()) {
    const std::string bytes = testing::readFile(scratch.path() / "images" / badge.FileName);
    const DecodedGif gif = decodeGifForTest({bytes.begin(), bytes.end()});
    ASSERT_EQ(gif.Error, "") << badge.FileName;
    EXPECT_EQ(gif.Height, 15) << badge.FileName;
    if (badge.FileName.starts_with("grid_")) {
      EXPECT_EQ(gif.Width, 15) << badge.FileName;
    } else {
      logoWidths.insert(gif.Width);
    }
    EXPECT_EQ(gif.Pixels, badge.Image.Pixels) << badge.FileName;
  }
  EXPECT_EQ(logoWidths.size(), 1u) << "the car column is as wide for every make";
}

}  // namespace
}  // namespace vorlind::badges
