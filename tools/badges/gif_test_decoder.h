// A strict GIF decoder for the tests, written from the file format alone: one global colour
// table, one image at the origin filling the screen, LZW data in sub-blocks, the trailer, and
// nothing that the format does not allow.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace vorlind::badges {

struct DecodedGif {
  std::string Error;  // empty when the file decoded
  int Width = 0;
  int Height = 0;
  std::vector<uint8_t> Pixels;
};

inline DecodedGif decodeGifForTest(const std::vector<uint8_t>& file) {
  DecodedGif gif;
  size_t at = 0;
  auto fail = [&](const std::string& why) {
    gif.Error = why + " at byte " + std::to_string(at);
    return gif;
  };
  auto have = [&](size_t n) { return at <= file.size() && file.size() - at >= n; };
  auto u16 = [&](size_t from) { return file[from] | file[from + 1] << 8; };
  if (!have(13) || std::string(file.begin(), file.begin() + 6) != "GIF89a") return fail("header");
  if ((file[10] & 0x80) == 0) return fail("no global colour table");
  at = 13 + 3 * (size_t{2} << (file[10] & 7));
  if (!have(11) || file[at] != 0x2C || u16(at + 1) != 0 || u16(at + 3) != 0 || file[at + 9] != 0) {
    return fail("no plain image descriptor at the origin");
  }
  gif.Width = u16(at + 5);
  gif.Height = u16(at + 7);
  const int minCodeSize = file[at + 10];
  if (gif.Width != u16(6) || gif.Height != u16(8)) return fail("image and screen differ");
  if (minCodeSize < 2 || minCodeSize > 8) return fail("minimum code size");
  std::vector<uint8_t> data;
  for (at += 11; have(1) && file[at] != 0; at += file[at] + 1u) {
    if (!have(file[at] + 1u)) return fail("short sub-block");
    data.insert(data.end(), file.begin() + at + 1, file.begin() + at + 1 + file[at]);
  }
  if (!have(2) || file[at + 1] != 0x3B || at + 2 != file.size())
    return fail("no trailer at the end");

  // Codes grow from minCodeSize + 1 bits up to 12 as the string table fills; a clear code
  // empties it, the end code closes the data.
  const uint32_t clear = 1u << minCodeSize;
  const size_t pixelCount = static_cast<size_t>(gif.Width) * static_cast<size_t>(gif.Height);
  std::vector<std::vector<uint8_t>> table;
  int width = minCodeSize + 1;
  int previous = -1;
  size_t bit = 0;
  while (true) {
    if (bit + static_cast<size_t>(width) > data.size() * 8) return fail("no end code");
    uint32_t code = 0;
    for (int i = 0; i < width; ++i, ++bit) code |= ((data[bit / 8] >> (bit % 8)) & 1u) << i;
    if (code == clear) {
      table.clear();
      for (uint32_t i = 0; i < clear + 2; ++i) table.push_back({static_cast<uint8_t>(i)});
      width = minCodeSize + 1;
      previous = -1;
      continue;
    }
    if (table.empty()) return fail("no clear code first");
    if (code == clear + 1) break;
    if (code > table.size() || (previous < 0 && code == table.size())) return fail("unknown code");
    std::vector<uint8_t> string =
        table[code < table.size() ? code : static_cast<uint32_t>(previous)];
    if (code == table.size()) string.push_back(string[0]);
    if (previous >= 0 && table.size() < 4096) {
      std::vector<uint8_t> added = table[previous];
      added.push_back(string[0]);
      table.push_back(std::move(added));
    }
    gif.Pixels.insert(gif.Pixels.end(), string.begin(), string.end());
    if (gif.Pixels.size() > pixelCount) return fail("more pixels than the image holds");
    previous = static_cast<int>(code);
    if (table.size() == (size_t{1} << width) && width < 12) ++width;
  }
  if (gif.Pixels.size() != pixelCount) return fail("fewer pixels than the image holds");
  if ((bit + 7) / 8 != data.size()) return fail("data behind the end code");
  return gif;
}

}  // namespace vorlind::badges
