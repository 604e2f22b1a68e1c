#include "badges.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "gif_test_decoder.h"
#include "pixel_font.h"

namespace vorlind::badges {
namespace {

using testing::decodeGifForTest;

// The images the report refers to, in its "images" folder.
const std::set<std::string> kReportImages = {
    "logo_Brabham.gif", "logo_BRM.gif",   "logo_Cooper.gif", "logo_Eagle.gif",
    "logo_Ferrari.gif", "logo_Lotus.gif", "logo_Honda.gif",  "grid_A.gif",
    "grid_B.gif",       "grid_C.gif",     "grid_D.gif",      "grid_E.gif"};

// Brightness on a 0 to 255 scale, weighted as the eye sees the primaries.
int luma(Rgb c) { return (299 * c.R + 587 * c.G + 114 * c.B) / 1000; }

std::string picture(const IndexedImage& image) {
  std::string rows;
  for (int y = 0; y < image.Height; ++y) {
    for (int x = 0; x < image.Width; ++x) {
      const uint8_t index = image.Pixels[static_cast<size_t>(y * image.Width + x)];
      rows += index == kInk ? '#' : index == kBorder ? '+' : '.';
    }
    rows += '\n';
  }
  return rows;
}

TEST(PixelFont, EveryCapitalHasADistinctWellFormedGlyph) {
  std::set<std::string> seen;
  for (char c = 'A'; c <= 'Z'; ++c) {
    const Glyph* glyph = glyphFor(c);
    ASSERT_NE(glyph, nullptr) << c;
    std::string all;
    for (std::string_view row : *glyph) {
      EXPECT_EQ(row.size(), static_cast<size_t>(kGlyphWidth)) << c;
      EXPECT_EQ(row.find_first_not_of("#."), std::string_view::npos) << c;
      all += row;
    }
    EXPECT_NE(all.find('#'), std::string::npos) << c << " is blank";
    EXPECT_TRUE(seen.insert(all).second) << c << " looks like another letter";
  }
  EXPECT_EQ(glyphFor('a'), nullptr);
  EXPECT_EQ(glyphFor(' '), nullptr);
  EXPECT_EQ(glyphFor('['), nullptr);
  EXPECT_EQ(textWidth(""), 0);
  EXPECT_EQ(textWidth("A"), 5);
  EXPECT_EQ(textWidth("BRM"), 17);
}

TEST(Badges, GridBadgeIsTheLetterCentredInAFrame) {
  const IndexedImage a = drawBadge("A", 15, 15, {{0, 0, 0}, {1, 1, 1}, {2, 2, 2}});
  EXPECT_EQ(picture(a),
            "+++++++++++++++\n"
            "+.............+\n"
            "+.............+\n"
            "+.............+\n"
            "+.....###.....+\n"
            "+....#...#....+\n"
            "+....#...#....+\n"
            "+....#####....+\n"
            "+....#...#....+\n"
            "+....#...#....+\n"
            "+....#...#....+\n"
            "+.............+\n"
            "+.............+\n"
            "+.............+\n"
            "+++++++++++++++\n");
}

TEST(Badges, TextIsSetLetterByLetterWithOneColumnBetween) {
  const IndexedImage word = drawBadge("LI", 15, 9, {{0, 0, 0}, {1, 1, 1}, {2, 2, 2}});
  EXPECT_EQ(picture(word),
            "+++++++++++++++\n"
            "+.#......###..+\n"
            "+.#.......#...+\n"
            "+.#.......#...+\n"
            "+.#.......#...+\n"
            "+.#.......#...+\n"
            "+.#.......#...+\n"
            "+.#####..###..+\n"
            "+++++++++++++++\n");
}

TEST(Badges, TextThatDoesNotFitOrIsNotInTheFontDrawsNothing) {
  const BadgeStyle style{{0, 0, 0}, {1, 1, 1}, {2, 2, 2}};
  EXPECT_EQ(drawBadge("AB", 12, 15, style).Width, 0);
  EXPECT_EQ(drawBadge("A", 15, 8, style).Width, 0);
  EXPECT_EQ(drawBadge("Ab", 30, 15, style).Width, 0);
  EXPECT_EQ(drawBadge("AB", 13, 9, style).Width, 13);
}

TEST(Badges, OneForEveryImageTheReportNames) {
  std::set<std::string> names;
  for (const Badge& badge : reportBadges()) names.insert(badge.FileName);
  EXPECT_EQ(names, kReportImages);
  EXPECT_EQ(reportBadges().size(), kReportImages.size());
}

TEST(Badges, MakesShowTheirNameOnColoursOfTheirOwn) {
  std::set<std::tuple<int, int, int>> papers;
  int width = -1;
  for (const Badge& badge : reportBadges()) {
    if (badge.FileName.rfind("logo_", 0) != 0) continue;
    const std::string make = badge.FileName.substr(5, badge.FileName.size() - 9);
    std::string upper;
    for (char c : make) upper += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    EXPECT_EQ(badge.Text, upper);

    const IndexedImage& image = badge.Image;
    ASSERT_GT(image.Width, 0) << badge.FileName;
    if (width < 0) width = image.Width;
    EXPECT_EQ(image.Width, width) << "the car column is as wide for every make";
    EXPECT_EQ(image.Height, 15);
    const Rgb paper = image.Palette[kPaper];
    EXPECT_TRUE(papers.insert({paper.R, paper.G, paper.B}).second) << badge.FileName;
    EXPECT_GE(std::abs(luma(image.Palette[kInk]) - luma(paper)), 100)
        << badge.FileName << ": the name is hard to read";

    size_t glyphInk = 0;
    for (char c : badge.Text) {
      for (std::string_view row : *glyphFor(c)) {
        glyphInk += static_cast<size_t>(std::count(row.begin(), row.end(), '#'));
      }
    }
    const std::string drawn = picture(image);
    EXPECT_EQ(static_cast<size_t>(std::count(drawn.begin(), drawn.end(), '#')), glyphInk)
        << badge.FileName << "\n" << drawn;
  }
  EXPECT_EQ(papers.size(), 7u);
}

TEST(Badges, GridsShowTheirLetter) {
  std::set<std::tuple<int, int, int>> papers;
  for (const Badge& badge : reportBadges()) {
    if (badge.FileName.rfind("grid_", 0) != 0) continue;
    EXPECT_EQ(badge.Text, badge.FileName.substr(5, 1));
    const IndexedImage expected = drawBadge(badge.Text, 15, 15, {{0, 0, 0}, {1, 1, 1}, {2, 2, 2}});
    EXPECT_EQ(badge.Image.Pixels, expected.Pixels) << badge.FileName;
    const Rgb paper = badge.Image.Palette[kPaper];
    EXPECT_TRUE(papers.insert({paper.R, paper.G, paper.B}).second) << badge.FileName;
  }
  EXPECT_EQ(papers.size(), 5u);
}

TEST(Badges, WrittenFilesDecodeToTheBadges) {
  struct RemovedAtEnd {
    std::filesystem::path Path;
    ~RemovedAtEnd() { std::filesystem::remove_all(Path); }
  } scratch{std::filesystem::temp_directory_path() /
            ("vorlind-badges-test-" + std::to_string(std::random_device{}()))};
  const std::filesystem::path folder = scratch.Path / "images";
  ASSERT_EQ(writeBadges(folder), "");
  std::set<std::string> written;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    written.insert(entry.path().filename().string());
  }
  EXPECT_EQ(written, kReportImages);
  for (const Badge& badge : reportBadges()) {
    std::ifstream in(folder / badge.FileName, std::ios::binary);
    const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                     std::istreambuf_iterator<char>());
    const testing::DecodedGif decoded = decodeGifForTest(bytes);
    ASSERT_EQ(decoded.Error, "") << badge.FileName;
    EXPECT_EQ(decoded.Width, badge.Image.Width);
    EXPECT_EQ(decoded.Height, badge.Image.Height);
    EXPECT_EQ(decoded.Pixels, badge.Image.Pixels) << badge.FileName;
    for (size_t i = 0; i < badge.Image.Palette.size(); ++i) {
      EXPECT_EQ(decoded.GlobalTable[i], badge.Image.Palette[i]) << badge.FileName;
    }
  }
}

}  // namespace
}  // namespace vorlind::badges
