#include "gif_writer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

#include "gif_test_decoder.h"

namespace vorlind::badges {
namespace {

// The badge check proves the written images valid only if the test decoder notices damage.
TEST(GifTestDecoder, RejectsDamagedFiles) {
  std::vector<uint8_t> pixels(40 * 30);
  for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<uint8_t>(i * 7 / 5 % 16);
  const std::vector<uint8_t> good = encodeGif({40, 30, std::vector<Rgb>(16), pixels});
  ASSERT_EQ(decodeGifForTest(good).Error, "");
  const size_t image = 13 + 3 * 16;  // the image descriptor, behind the colour table
  const std::pair<const char*, std::function<void(std::vector<uint8_t>&)>> damages[] = {
      {"cut inside the data", [](auto& b) { b.resize(b.size() - 40); }},
      {"a byte behind the trailer", [](auto& b) { b.push_back(0); }},
      {"a row more", [&](auto& b) { b[8] = b[image + 7] = 31; }},
      {"first sub-block cut short", [&](auto& b) { b[image + 11] = 254; }},
      {"screen larger than the image", [](auto& b) { b[8] = 31; }},
  };
  for (const auto& [label, damage] : damages) {
    std::vector<uint8_t> bytes = good;
    damage(bytes);
    EXPECT_NE(decodeGifForTest(bytes).Error, "") << label;
  }
}

}  // namespace
}  // namespace vorlind::badges
