#include "images/gif_writer.h"

#include <algorithm>
#include <cstddef>
#include <unordered_map>

namespace vorlind::badges {

namespace {

constexpr int kMaxCodeBits = 12;
constexpr uint32_t kCodeLimit = 1u << kMaxCodeBits;

class BitPacker {
 public:
  void put(uint32_t code, int bits) {
    buffer_ |= code << filled_;
    filled_ += bits;
    while (filled_ >= 8) {
      bytes_.push_back(static_cast<uint8_t>(buffer_ & 0xFF));
      buffer_ >>= 8;
      filled_ -= 8;
    }
  }

  std::vector<uint8_t> finish() {
    if (filled_ > 0) bytes_.push_back(static_cast<uint8_t>(buffer_ & 0xFF));
    buffer_ = 0;
    filled_ = 0;
    return std::move(bytes_);
  }

 private:
  std::vector<uint8_t> bytes_;
  uint32_t buffer_ = 0;
  int filled_ = 0;
};

void putU16(std::vector<uint8_t>& out, int value) {
  out.push_back(static_cast<uint8_t>(value & 0xFF));
  out.push_back(static_cast<uint8_t>((value >> 8) & 0xFF));
}

// The exponent n of the colour table size 2^(n+1) that holds `colours` entries.
int colourTableSizeField(int colours) {
  int field = 0;
  while ((2 << field) < colours) ++field;
  return field;
}

}  // namespace

int lzwMinimumCodeSize(int colours) {
  int bits = 2;
  while ((1 << bits) < colours) ++bits;
  return bits;
}

std::vector<uint8_t> lzwCompress(std::span<const uint8_t> indices, int minCodeSize) {
  const uint32_t clearCode = 1u << minCodeSize;
  const uint32_t endCode = clearCode + 1;
  BitPacker packer;
  // Strings of the table are keyed by (code of the prefix, next index).
  std::unordered_map<uint32_t, uint32_t> table;
  int width = minCodeSize + 1;
  uint32_t nextCode = endCode + 1;
  auto reset = [&] {
    table.clear();
    width = minCodeSize + 1;
    nextCode = endCode + 1;
  };

  packer.put(clearCode, width);
  if (indices.empty()) {
    packer.put(endCode, width);
    return packer.finish();
  }
  uint32_t prefix = indices[0];
  for (size_t i = 1; i < indices.size(); ++i) {
    const uint32_t key = (prefix << 8) | indices[i];
    if (const auto found = table.find(key); found != table.end()) {
      prefix = found->second;
      continue;
    }
    packer.put(prefix, width);
    if (nextCode < kCodeLimit) {
      table.emplace(key, nextCode++);
      // The decoder adds this string one code later, so it reads the next code with the width
      // that the largest code defined so far needs.
      if (nextCode > (1u << width) && width < kMaxCodeBits) ++width;
    } else {
      packer.put(clearCode, width);
      reset();
    }
    prefix = indices[i];
  }
  packer.put(prefix, width);
  // Having read the last code, the decoder defines one more string, which can widen the codes
  // just before the end code.
  if (nextCode >= (1u << width) && width < kMaxCodeBits) ++width;
  packer.put(endCode, width);
  return packer.finish();
}

std::vector<uint8_t> encodeGif(const IndexedImage& image) {
  const int colours = static_cast<int>(image.Palette.size());
  if (image.Width < 1 || image.Width > 0xFFFF || image.Height < 1 || image.Height > 0xFFFF ||
      colours < 1 || colours > 256 ||
      image.Pixels.size() != static_cast<size_t>(image.Width) * static_cast<size_t>(image.Height)) {
    return {};
  }
  for (uint8_t index : image.Pixels) {
    if (index >= colours) return {};
  }

  std::vector<uint8_t> out = {'G', 'I', 'F', '8', '9', 'a'};
  // Logical screen: the image's size, a global colour table, 8 bits per primary.
  const int sizeField = colourTableSizeField(colours);
  putU16(out, image.Width);
  putU16(out, image.Height);
  out.push_back(static_cast<uint8_t>(0x80 | (7 << 4) | sizeField));
  out.push_back(0);  // background colour index
  out.push_back(0);  // no pixel aspect ratio
  const int tableEntries = 2 << sizeField;
  for (int i = 0; i < tableEntries; ++i) {
    const Rgb colour = i < colours ? image.Palette[static_cast<size_t>(i)] : Rgb{};
    out.push_back(colour.R);
    out.push_back(colour.G);
    out.push_back(colour.B);
  }

  // Image descriptor: the whole screen, no local table, not interlaced.
  out.push_back(0x2C);
  putU16(out, 0);
  putU16(out, 0);
  putU16(out, image.Width);
  putU16(out, image.Height);
  out.push_back(0);

  const int minCodeSize = lzwMinimumCodeSize(colours);
  out.push_back(static_cast<uint8_t>(minCodeSize));
  const std::vector<uint8_t> codes = lzwCompress(image.Pixels, minCodeSize);
  for (size_t at = 0; at < codes.size(); at += 255) {
    const size_t length = std::min<size_t>(255, codes.size() - at);
    out.push_back(static_cast<uint8_t>(length));
    out.insert(out.end(), codes.begin() + static_cast<std::ptrdiff_t>(at),
               codes.begin() + static_cast<std::ptrdiff_t>(at + length));
  }
  out.push_back(0);     // end of the image data
  out.push_back(0x3B);  // trailer
  return out;
}

}  // namespace vorlind::badges
