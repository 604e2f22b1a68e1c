// A minimal GIF89a writer for small palette images: one global colour table, one image, LZW
// compressed with variable code widths and a clear code whenever the code table is full.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace vorlind::badges {

struct Rgb {
  uint8_t R = 0;
  uint8_t G = 0;
  uint8_t B = 0;
  friend bool operator==(const Rgb&, const Rgb&) = default;
};

// A picture as palette indices, row by row from the top left.
struct IndexedImage {
  int Width = 0;
  int Height = 0;
  std::vector<Rgb> Palette;     // 1 to 256 colours
  std::vector<uint8_t> Pixels;  // Width * Height indices into Palette
};

// The GIF's minimum LZW code size for a palette of `colours` entries: at least 2, as GIF demands.
int lzwMinimumCodeSize(int colours);

// The LZW code stream of `indices` (each below 2^minCodeSize), packed least significant bit
// first, before it is cut into data sub-blocks. It starts with a clear code and ends with the
// end-of-information code.
std::vector<uint8_t> lzwCompress(std::span<const uint8_t> indices, int minCodeSize);

// The whole GIF89a file. The image must be 1 to 65535 pixels wide and high, hold Width * Height
// pixels and use only indices of its palette; otherwise the result is empty.
std::vector<uint8_t> encodeGif(const IndexedImage& image);

}  // namespace vorlind::badges
