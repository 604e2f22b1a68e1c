// A strict GIF decoder for the tests, written from the file format alone: it reads what the
// writer produced and fails on anything the format does not allow, so that a round trip through
// it proves the writer's bytes decodable.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "gif_writer.h"

namespace vorlind::badges::testing {

struct DecodedGif {
  std::string Error;  // empty when the file decoded
  int ScreenWidth = 0;
  int ScreenHeight = 0;
  std::vector<Rgb> GlobalTable;
  int Width = 0;
  int Height = 0;
  int MinCodeSize = 0;
  std::vector<size_t> SubBlockSizes;
  std::vector<uint8_t> Pixels;
};

inline DecodedGif decodeGifForTest(const std::vector<uint8_t>& file) {
  DecodedGif gif;
  size_t at = 0;
  auto fail = [&](const std::string& why) {
    gif.Error = why + " at byte " + std::to_string(at);
    return gif;
  };
  auto have = [&](size_t n) { return file.size() - at >= n && at <= file.size(); };
  auto u8 = [&] { return file[at++]; };
  auto u16 = [&] {
    const int value = file[at] | (file[at + 1] << 8);
    at += 2;
    return value;
  };

  if (!have(13)) return fail("short header");
  if (std::string(file.begin(), file.begin() + 6) != "GIF89a") return fail("no GIF89a signature");
  at = 6;
  gif.ScreenWidth = u16();
  gif.ScreenHeight = u16();
  const uint8_t screenFlags = u8();
  u8();  // background colour
  u8();  // aspect ratio
  if ((screenFlags & 0x80) == 0) return fail("no global colour table");
  const size_t tableEntries = size_t{2} << (screenFlags & 7);
  if (!have(3 * tableEntries)) return fail("short colour table");
  for (size_t i = 0; i < tableEntries; ++i) {
    const uint8_t r = u8();
    const uint8_t g = u8();
    const uint8_t b = u8();
    gif.GlobalTable.push_back({r, g, b});
  }

  if (!have(11) || u8() != 0x2C) return fail("no image descriptor");
  if (u16() != 0 || u16() != 0) return fail("image not at the origin");
  gif.Width = u16();
  gif.Height = u16();
  if (u8() != 0) return fail("local table or interlace");
  gif.MinCodeSize = u8();
  if (gif.MinCodeSize < 2 || gif.MinCodeSize > 8) return fail("bad minimum code size");

  std::vector<uint8_t> data;
  while (true) {
    if (!have(1)) return fail("unterminated image data");
    const size_t length = u8();
    if (length == 0) break;
    if (!have(length)) return fail("short sub-block");
    gif.SubBlockSizes.push_back(length);
    data.insert(data.end(), file.begin() + static_cast<std::ptrdiff_t>(at),
                file.begin() + static_cast<std::ptrdiff_t>(at + length));
    at += length;
  }
  if (!have(1) || u8() != 0x3B) return fail("no trailer");
  if (at != file.size()) return fail("bytes after the trailer");

  // LZW: a table of strings, each a prefix code and a last index; codes grow from
  // MinCodeSize + 1 bits up to 12 when the next free code no longer fits.
  const uint32_t clear = 1u << gif.MinCodeSize;
  const uint32_t end = clear + 1;
  std::vector<std::vector<uint8_t>> table;
  auto resetTable = [&] {
    table.clear();
    for (uint32_t i = 0; i < clear + 2; ++i) table.push_back({static_cast<uint8_t>(i)});
  };
  size_t bit = 0;
  int width = gif.MinCodeSize + 1;
  auto readCode = [&](uint32_t& code) {
    if (bit + static_cast<size_t>(width) > data.size() * 8) return false;
    code = 0;
    for (int i = 0; i < width; ++i, ++bit) {
      code |= static_cast<uint32_t>((data[bit / 8] >> (bit % 8)) & 1) << i;
    }
    return true;
  };
  uint32_t code = 0;
  if (!readCode(code) || code != clear) return fail("code stream does not start with a clear");
  resetTable();
  int previous = -1;
  const size_t pixelCount = static_cast<size_t>(gif.Width) * static_cast<size_t>(gif.Height);
  while (true) {
    if (!readCode(code)) return fail("code stream ends without an end code");
    if (code == clear) {
      resetTable();
      width = gif.MinCodeSize + 1;
      previous = -1;
      continue;
    }
    if (code == end) break;
    std::vector<uint8_t> string;
    if (code < table.size()) {
      string = table[code];
      if (previous >= 0 && table.size() < 4096) {
        std::vector<uint8_t> added = table[static_cast<size_t>(previous)];
        added.push_back(string[0]);
        table.push_back(added);
      }
    } else if (code == table.size() && previous >= 0) {
      string = table[static_cast<size_t>(previous)];
      string.push_back(string[0]);
      table.push_back(string);
    } else {
      return fail("code " + std::to_string(code) + " not yet defined");
    }
    gif.Pixels.insert(gif.Pixels.end(), string.begin(), string.end());
    if (gif.Pixels.size() > pixelCount) return fail("more pixels than the image holds");
    previous = static_cast<int>(code);
    if (table.size() == (size_t{1} << width) && width < 12) ++width;
  }
  if (gif.Pixels.size() != pixelCount) return fail("fewer pixels than the image holds");
  if ((bit + 7) / 8 != data.size()) return fail("data behind the end code");
  for (size_t rest = bit; rest < data.size() * 8; ++rest) {
    if ((data[rest / 8] >> (rest % 8)) & 1) return fail("padding bits after the end code");
  }
  return gif;
}

}  // namespace vorlind::badges::testing
