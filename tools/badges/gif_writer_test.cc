#include "gif_writer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "gif_test_decoder.h"

namespace vorlind::badges {
namespace {

using testing::decodeGifForTest;

// A fixed sequence of pseudo-random bytes (a linear congruential generator), so that every run
// tests the same images.
std::vector<uint8_t> noise(size_t count, int colours, uint32_t seed) {
  std::vector<uint8_t> bytes(count);
  for (uint8_t& byte : bytes) {
    seed = seed * 1664525u + 1013904223u;
    byte = static_cast<uint8_t>((seed >> 16) % static_cast<uint32_t>(colours));
  }
  return bytes;
}

std::vector<Rgb> greys(int colours) {
  std::vector<Rgb> palette;
  for (int i = 0; i < colours; ++i) {
    const auto level = static_cast<uint8_t>(i * 255 / (colours > 1 ? colours - 1 : 1));
    palette.push_back({level, static_cast<uint8_t>(255 - level), static_cast<uint8_t>(i)});
  }
  return palette;
}

IndexedImage image(int width, int height, int colours, std::vector<uint8_t> pixels) {
  return IndexedImage{width, height, greys(colours), std::move(pixels)};
}

void expectRoundTrip(const IndexedImage& original) {
  const std::vector<uint8_t> file = encodeGif(original);
  ASSERT_FALSE(file.empty());
  const testing::DecodedGif decoded = decodeGifForTest(file);
  ASSERT_EQ(decoded.Error, "") << original.Width << "x" << original.Height << ", "
                               << original.Palette.size() << " colours";
  EXPECT_EQ(decoded.Width, original.Width);
  EXPECT_EQ(decoded.Height, original.Height);
  EXPECT_EQ(decoded.ScreenWidth, original.Width);
  EXPECT_EQ(decoded.ScreenHeight, original.Height);
  ASSERT_GE(decoded.GlobalTable.size(), original.Palette.size());
  for (size_t i = 0; i < original.Palette.size(); ++i) {
    EXPECT_EQ(decoded.GlobalTable[i], original.Palette[i]) << "colour " << i;
  }
  EXPECT_EQ(decoded.Pixels, original.Pixels) << original.Width << "x" << original.Height;
}

TEST(GifWriter, OnePixelImageIsTheSmallestGifByteForByte) {
  const IndexedImage dot{1, 1, {{255, 255, 255}, {0, 0, 0}}, {0}};
  // Worked out by hand from the format: the 3-bit codes clear (4), 0 and end (5), packed least
  // significant bit first, are the bytes 0x44 0x01.
  const std::vector<uint8_t> expected = {
      'G', 'I', 'F', '8', '9', 'a',                  // signature
      0x01, 0x00, 0x01, 0x00, 0xF0, 0x00, 0x00,      // screen 1x1, table of 2, 8 bits a colour
      0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x00,            // white, black
      0x2C, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x01, 0x00, 0x00,  // image descriptor
      0x02, 0x02, 0x44, 0x01, 0x00,                  // code size 2, one sub-block, end
      0x3B};
  EXPECT_EQ(encodeGif(dot), expected);
}

TEST(GifWriter, HeaderCarriesSizeAndColourTable) {
  const IndexedImage picture{300, 7, {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}}, std::vector<uint8_t>(2100, 2)};
  const std::vector<uint8_t> file = encodeGif(picture);
  ASSERT_GT(file.size(), 13u);
  EXPECT_EQ(std::string(file.begin(), file.begin() + 6), "GIF89a");
  EXPECT_EQ(file[6], 300 & 0xFF);
  EXPECT_EQ(file[7], 300 >> 8);
  EXPECT_EQ(file[8], 7);
  EXPECT_EQ(file[9], 0);
  EXPECT_EQ(file[10], 0xF1);  // a global table of 4 entries for 3 colours
  // The table: the three colours, then one unused black entry.
  const std::vector<uint8_t> table(file.begin() + 13, file.begin() + 25);
  EXPECT_EQ(table, (std::vector<uint8_t>{1, 2, 3, 4, 5, 6, 7, 8, 9, 0, 0, 0}));
  EXPECT_EQ(file[25], 0x2C);
  EXPECT_EQ(file[35], 2);  // minimum code size
  EXPECT_EQ(file.back(), 0x3B);
}

TEST(GifWriter, MinimumCodeSizeFollowsThePalette) {
  EXPECT_EQ(lzwMinimumCodeSize(1), 2);
  EXPECT_EQ(lzwMinimumCodeSize(2), 2);
  EXPECT_EQ(lzwMinimumCodeSize(4), 2);
  EXPECT_EQ(lzwMinimumCodeSize(5), 3);
  EXPECT_EQ(lzwMinimumCodeSize(16), 4);
  EXPECT_EQ(lzwMinimumCodeSize(17), 5);
  EXPECT_EQ(lzwMinimumCodeSize(256), 8);
}

TEST(GifWriter, UniformImagesRoundTrip) {
  // Long runs of one index: every new string is the previous one plus the same index, the case
  // in which the decoder meets a code it has not defined yet.
  for (int side : {1, 2, 3, 17, 64, 300}) {
    expectRoundTrip(image(side, side, 2, std::vector<uint8_t>(static_cast<size_t>(side * side), 1)));
  }
}

TEST(GifWriter, NoiseRoundTripsForEveryPaletteSize) {
  for (int colours : {1, 2, 3, 4, 5, 8, 16, 31, 100, 256}) {
    expectRoundTrip(image(97, 61, colours, noise(97 * 61, colours, static_cast<uint32_t>(colours))));
  }
}

TEST(GifWriter, EveryLengthAroundTheCodeWidthStepsRoundTrips) {
  // One-row images of 1 to 700 pixels end at every point of the code table, so the last code
  // and the end code meet each widening of the codes.
  for (int colours : {2, 4, 7}) {
    for (int length = 1; length <= 700; ++length) {
      expectRoundTrip(image(length, 1, colours,
                            noise(static_cast<size_t>(length), colours,
                                  static_cast<uint32_t>(length * 7 + colours))));
      if (::testing::Test::HasFailure()) return;
    }
  }
}

TEST(GifWriter, FullCodeTableIsClearedAndGoesOn) {
  // 256 colours of noise define a new string for almost every pixel: the 4096 codes run out
  // many times over.
  const IndexedImage busy = image(250, 200, 256, noise(250 * 200, 256, 99));
  expectRoundTrip(busy);
  const std::vector<uint8_t> codes = lzwCompress(busy.Pixels, 8);
  EXPECT_GT(codes.size(), 50000u) << "noise does not compress";
}

TEST(GifWriter, DataIsCutIntoSubBlocksOfAtMost255Bytes) {
  const IndexedImage busy = image(120, 100, 16, noise(120 * 100, 16, 5));
  const testing::DecodedGif decoded = decodeGifForTest(encodeGif(busy));
  ASSERT_EQ(decoded.Error, "");
  ASSERT_GT(decoded.SubBlockSizes.size(), 2u);
  for (size_t i = 0; i + 1 < decoded.SubBlockSizes.size(); ++i) {
    EXPECT_EQ(decoded.SubBlockSizes[i], 255u) << "sub-block " << i;
  }
  EXPECT_LE(decoded.SubBlockSizes.back(), 255u);
  EXPECT_GT(decoded.SubBlockSizes.back(), 0u);
}

TEST(GifWriter, RepetitiveImagesCompress) {
  std::vector<uint8_t> stripes(200 * 50);
  for (size_t i = 0; i < stripes.size(); ++i) stripes[i] = static_cast<uint8_t>((i / 3) % 4);
  const IndexedImage striped = image(200, 50, 4, stripes);
  expectRoundTrip(striped);
  EXPECT_LT(encodeGif(striped).size(), stripes.size() / 4);
}

TEST(GifWriter, RefusesImagesItCannotWrite) {
  EXPECT_TRUE(encodeGif(image(0, 5, 2, {})).empty());
  EXPECT_TRUE(encodeGif(image(5, 0, 2, {})).empty());
  EXPECT_TRUE(encodeGif(image(2, 2, 2, {0, 1, 0})).empty()) << "too few pixels";
  EXPECT_TRUE(encodeGif(image(2, 2, 2, {0, 1, 2, 0})).empty()) << "index outside the palette";
  EXPECT_TRUE(encodeGif(IndexedImage{1, 1, {}, {0}}).empty()) << "no palette";
  EXPECT_TRUE(encodeGif(IndexedImage{1, 1, std::vector<Rgb>(257), {0}}).empty());
}

TEST(GifTestDecoder, RejectsDamagedFiles) {
  // The round trips above prove something only if the decoder notices damage.
  const std::vector<uint8_t> good = encodeGif(image(40, 30, 16, noise(1200, 16, 3)));
  ASSERT_EQ(decodeGifForTest(good).Error, "");
  std::vector<uint8_t> truncated(good.begin(), good.end() - 40);
  EXPECT_NE(decodeGifForTest(truncated).Error, "");
  std::vector<uint8_t> noTrailer(good.begin(), good.end() - 1);
  EXPECT_NE(decodeGifForTest(noTrailer).Error, "");
  std::vector<uint8_t> badSignature = good;
  badSignature[4] = '7';
  EXPECT_NE(decodeGifForTest(badSignature).Error, "");
  std::vector<uint8_t> taller = good;
  taller[8] = 31;  // the screen says 31 rows; the image descriptor's height follows
  taller[13 + 3 * 16 + 7] = 31;
  EXPECT_NE(decodeGifForTest(taller).Error, "");
}

}  // namespace
}  // namespace vorlind::badges
