#include "replay_builder.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace vorlind::tools {
namespace {

// The section and chunk layout is checked against the event writer's independent decoder;
// these cases cover the fields and encodings that decoder does not read.
using Bytes = std::vector<uint8_t>;

uint32_t u32At(const Bytes& b, size_t at) {
  return uint32_t{b[at]} | uint32_t{b[at + 1]} << 8 | uint32_t{b[at + 2]} << 16 |
         uint32_t{b[at + 3]} << 24;
}

Bytes slice(const Bytes& b, size_t from, size_t count) {
  return Bytes(b.begin() + static_cast<long>(from), b.begin() + static_cast<long>(from + count));
}

TEST(ReplayBuilderTest, HeaderAndEntryFieldsLandAtTheirOffsets) {
  ReplayBuilder builder;
  builder.setFrameRateByte(36)
      .setTrackName("dunholm")
      .setServerMarker(0x01020304)
      .setModName("abcdefgh");
  const Bytes& b = builder.bytes();
  ASSERT_EQ(b.size(), 320u);
  EXPECT_EQ(b[5], 36);
  EXPECT_EQ(slice(b, 24, 8), (Bytes{'d', 'u', 'n', 'h', 'o', 'l', 'm', 0}));
  EXPECT_EQ(u32At(b, 52), 0x01020304u);
  EXPECT_EQ(slice(b, 128, 7), (Bytes{'a', 'b', 'c', 'd', 'e', 'f', 0}));  // cut to 6 bytes
  builder.setTrackName("eightchr");
  EXPECT_EQ(slice(builder.bytes(), 30, 3), (Bytes{'h', 'r', 0}));

  builder.addEntry("Ada", "Sommer", 4, 0).addEntry("Sixteen_chars_xx", "Second", -2, 19);
  ASSERT_EQ(b.size(), 320u + 2 * 152u);
  EXPECT_EQ(slice(b, 320, 4), (Bytes{'A', 'd', 'a', 0}));
  EXPECT_EQ(b[336], 'S');
  EXPECT_EQ(u32At(b, 320 + 108), 4u);
  EXPECT_EQ(slice(b, 472 + 15, 2), (Bytes{'x', 'S'}));  // full 16-byte name, no terminator
  EXPECT_EQ(u32At(b, 472 + 108), 0xFFFFFFFEu);
  EXPECT_EQ(u32At(b, 472 + 124), 19u);
}

TEST(ReplayBuilderTest, BlockLengthsTrailersAndPracticeOnlyEnd) {
  ReplayBuilder builder;
  builder.addEntry("A", "B", 0, 7).addPracticeBlock(7, {{0x123456, 0}, {0x0FFFFF, 64}});
  const size_t damaged = builder.size();
  builder.addPracticeBlockWithLength(7, 2001, {{1, 16}});
  const size_t race = builder.size();
  builder.beginRaceSection().addRaceBlock(7, {{5007, 0}, {95007, 64}}).endRaceSection();
  const Bytes& b = builder.bytes();
  EXPECT_EQ(damaged, 472u + 24);
  EXPECT_EQ(u32At(b, 472), 0x4C50524Fu);  // "ORPL"
  EXPECT_EQ(u32At(b, 472 + 16), 0x123456u);
  EXPECT_EQ(u32At(b, damaged + 8), 2001u);
  EXPECT_EQ(b[damaged + 19], 16);
  EXPECT_EQ(race, damaged + 20);
  EXPECT_EQ(slice(b, race + 4, 16), Bytes(16, 0));
  EXPECT_EQ(u32At(b, race + 32), 95007u | (64u << 24));
  EXPECT_EQ(slice(b, race + 36, 8), Bytes(8, 0));  // 8 trailing bytes
  EXPECT_EQ(u32At(b, race + 44), 65540u);          // ending length field, above 2000
  EXPECT_EQ(b.size(), race + 48);

  ReplayBuilder practice;
  practice.addEntry("A", "B", 0, 0).addPracticeBlock(0, {{1000, 0}});
  const size_t end = practice.size();
  practice.endPracticeOnly(0x11223344);
  practice.addChunk({startMarkerRecord(0), StreamRecord{2, 0, {}}, carRecord({})});
  const Bytes& p = practice.bytes();
  EXPECT_EQ(u32At(p, end), 0x11223344u);
  EXPECT_GT(u32At(p, end + 4), 2000u);
  EXPECT_EQ(slice(p, end + 8, 2), (Bytes{4, 0}));  // a four-byte chunk
  EXPECT_EQ(p[end + 14], 4);                       // the first real chunk's previous length
}

TEST(ReplayBuilderTest, PositionsRecordsAndChunksEncode) {
  EXPECT_EQ(encodeTrackPosition(0x3ABCDEF, 5), (std::array<uint8_t, 4>{0xEF, 0xCD, 0xAB, 0x17}));
  EXPECT_EQ(encodeTrackPosition(0x1000000, 63), (std::array<uint8_t, 4>{0, 0, 0, 0xFD}));
  EXPECT_EQ(encodeTrackPosition(9600001, 0), (std::array<uint8_t, 4>{0x01, 0x7C, 0x92, 0x00}));

  const StreamRecord odd{9, 0, {1, 2, 3, 4, 5}};
  EXPECT_EQ(encodeRecord(odd), (Bytes{9, 0, 9, 0, 1, 2, 3, 4, 5, 0, 0, 0}));
  EXPECT_EQ(encodeRecord(StreamRecord{3, 47, {7}}), (Bytes{3, 0, 47, 0, 7, 0, 0, 0}));
  const Bytes pos = encodeRecord(positionRecord(1234567, 3));
  ASSERT_EQ(pos.size(), 32u);
  EXPECT_EQ(slice(pos, 0, 8), (Bytes{1, 0, 32, 0, 0x87, 0xD6, 0x12, 0x0C}));
  const StreamRecord cars = carRecord({{2, 100}, {4, 0x2000001}}, 3, 40, 0xAA);
  const Bytes car = encodeRecord(cars);
  ASSERT_EQ(car.size(), 44u);
  EXPECT_EQ(car[2], 8 + 32 + 3);  // size 43: 43 / 16 = 2 items
  EXPECT_EQ(slice(car, 4, 9), (Bytes{0, 0, 0, 0, 100, 0, 0, 8, 0xAA}));
  EXPECT_EQ(u32At(car, 24), 0x2000001u | (4u << 26));
  EXPECT_EQ(car[43], 0);  // padding

  ReplayBuilder builder;
  builder.setPreviousChunkLength(4);
  const size_t first = builder.size();
  builder.addChunk({startMarkerRecord(1), odd, cars}, 77);
  const size_t second = builder.size();
  builder.addChunk({StreamRecord{15, 0, {}}, cars});
  const Bytes junk = {0xDE, 0xAD};
  builder.appendBytes(junk).appendU16(0x1234).appendI32(-1).appendU8(9).appendZeros(2);
  const Bytes& b = builder.bytes();
  EXPECT_EQ(second - first, 8u + 8 + 12 + 44);
  EXPECT_EQ(slice(b, first, 13), (Bytes{72, 0, 4, 0, 77, 0, 0, 0, 13, 0, 8, 0, 1}));
  EXPECT_EQ(slice(b, second, 4), (Bytes{56, 0, 72, 0}));
  EXPECT_EQ(slice(b, second + 56, 11),
            (Bytes{0xDE, 0xAD, 0x34, 0x12, 0xFF, 0xFF, 0xFF, 0xFF, 9, 0, 0}));
  EXPECT_EQ(b.size(), second + 67);
}

}  // namespace
}  // namespace vorlind::tools
