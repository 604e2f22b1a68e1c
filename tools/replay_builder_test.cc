#include "replay_builder.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace vorlind::tools {
namespace {

uint32_t u32At(const std::vector<uint8_t>& b, size_t at) {
  return uint32_t{b[at]} | uint32_t{b[at + 1]} << 8 | uint32_t{b[at + 2]} << 16 |
         uint32_t{b[at + 3]} << 24;
}

TEST(ReplayBuilderTest, HeaderFieldsLandAtTheirOffsets) {
  ReplayBuilder builder;
  builder.setFrameRateByte(36)
      .setTrackName("dunholm")
      .setServerMarker(0x01020304)
      .setModName("abcdefgh");
  const std::vector<uint8_t>& b = builder.bytes();
  ASSERT_EQ(b.size(), 320u);
  EXPECT_EQ(b[5], 36);
  EXPECT_EQ(b[24], 'd');
  EXPECT_EQ(b[30], 'm');
  EXPECT_EQ(b[31], 0);
  EXPECT_EQ(b[52], 0x04);
  EXPECT_EQ(b[53], 0x03);
  EXPECT_EQ(b[55], 0x01);
  EXPECT_EQ(b[128], 'a');
  EXPECT_EQ(b[133], 'f');
  EXPECT_EQ(b[134], 0);  // cut to 6 bytes
  builder.setTrackName("eightchr");
  EXPECT_EQ(builder.bytes()[31], 'r');
  EXPECT_EQ(builder.bytes()[32], 0);
}

TEST(ReplayBuilderTest, EntriesAre152BytesFrom320) {
  ReplayBuilder builder;
  builder.addEntry("Ada", "Sommer", 4, 0).addEntry("Sixteen_chars_xx", "Second", -2, 19);
  const std::vector<uint8_t>& b = builder.bytes();
  ASSERT_EQ(b.size(), 320u + 2 * 152u);
  EXPECT_EQ(b[320], 'A');
  EXPECT_EQ(b[323], 0);
  EXPECT_EQ(b[336], 'S');
  EXPECT_EQ(u32At(b, 320 + 108), 4u);
  EXPECT_EQ(u32At(b, 320 + 124), 0u);
  EXPECT_EQ(b[472 + 15], 'x');  // full 16-byte name, no terminator
  EXPECT_EQ(b[472 + 16], 'S');
  EXPECT_EQ(u32At(b, 472 + 108), 0xFFFFFFFEu);
  EXPECT_EQ(u32At(b, 472 + 124), 19u);
}

TEST(ReplayBuilderTest, PracticeAndRaceBlocksHaveTheirLayout) {
  ReplayBuilder builder;
  builder.addEntry("A", "B", 0, 7);
  const size_t practice = builder.size();
  builder.addPracticeBlock(7, {{0x123456, 0}, {0x0FFFFF, 64}});
  const size_t damaged = builder.size();
  builder.addPracticeBlockWithLength(7, 2001, {{1, 16}});
  const size_t race = builder.size();
  builder.beginRaceSection().addRaceBlock(7, {{5007, 0}, {95007, 64}}).endRaceSection();
  const std::vector<uint8_t>& b = builder.bytes();

  EXPECT_EQ(practice, 472u);
  EXPECT_EQ(u32At(b, practice), 0x4C50524Fu);  // "ORPL"
  EXPECT_EQ(b[practice], 'O');
  EXPECT_EQ(u32At(b, practice + 8), 12u);  // entry number and two records
  EXPECT_EQ(u32At(b, practice + 12), 7u);
  EXPECT_EQ(b[practice + 16], 0x56);
  EXPECT_EQ(b[practice + 17], 0x34);
  EXPECT_EQ(b[practice + 18], 0x12);
  EXPECT_EQ(b[practice + 19], 0);
  EXPECT_EQ(b[practice + 23], 64);
  EXPECT_EQ(damaged, practice + 24);
  EXPECT_EQ(u32At(b, damaged + 8), 2001u);
  EXPECT_EQ(b[damaged + 19], 16);

  EXPECT_EQ(race, damaged + 20);
  EXPECT_EQ(u32At(b, race), 0x4C505442u);  // "BTPL"
  for (size_t i = 4; i < 20; ++i) EXPECT_EQ(b[race + i], 0) << i;
  EXPECT_EQ(u32At(b, race + 20), 12u);
  EXPECT_EQ(u32At(b, race + 24), 7u);
  EXPECT_EQ(u32At(b, race + 28) & 0xFFFFFF, 5007u);
  EXPECT_EQ(u32At(b, race + 32), 95007u | (64u << 24));
  EXPECT_EQ(u32At(b, race + 36), 0u);  // 8 trailing bytes
  EXPECT_EQ(u32At(b, race + 40), 0u);
  EXPECT_EQ(u32At(b, race + 44), 65540u);  // ending length field, above 2000
  EXPECT_EQ(b.size(), race + 48);
}

TEST(ReplayBuilderTest, PracticeOnlyEndIsAWordAndEightBytes) {
  ReplayBuilder builder;
  builder.addEntry("A", "B", 0, 0).addPracticeBlock(0, {{1000, 0}});
  const size_t end = builder.size();
  builder.endPracticeOnly(0x11223344);
  builder.addChunk({startMarkerRecord(0), StreamRecord{2, 0, {}}, carRecord({})});
  const std::vector<uint8_t>& b = builder.bytes();
  EXPECT_EQ(u32At(b, end), 0x11223344u);
  EXPECT_GT(u32At(b, end + 4), 2000u);
  EXPECT_EQ(b[end + 8], 4);  // low half of the second word: a four-byte chunk
  EXPECT_EQ(b[end + 9], 0);
  EXPECT_EQ(b[end + 14], 4);  // the first real chunk's previous length
}

TEST(ReplayBuilderTest, TrackPositionKeepsEntryNumberInUpperBits) {
  EXPECT_EQ(encodeTrackPosition(0x3ABCDEF, 5), (std::array<uint8_t, 4>{0xEF, 0xCD, 0xAB, 0x17}));
  EXPECT_EQ(encodeTrackPosition(0x1000000, 63), (std::array<uint8_t, 4>{0, 0, 0, 0xFD}));
  EXPECT_EQ(encodeTrackPosition(9600001, 0), (std::array<uint8_t, 4>{0x01, 0x7C, 0x92, 0x00}));
}

TEST(ReplayBuilderTest, RecordsArePaddedAndChunksChainTheirLengths) {
  const StreamRecord odd{9, 0, {1, 2, 3, 4, 5}};
  EXPECT_EQ(encodeRecord(odd), (std::vector<uint8_t>{9, 0, 9, 0, 1, 2, 3, 4, 5, 0, 0, 0}));
  const StreamRecord declared{3, 47, {7}};
  EXPECT_EQ(encodeRecord(declared), (std::vector<uint8_t>{3, 0, 47, 0, 7, 0, 0, 0}));

  const StreamRecord position = positionRecord(1234567, 3);
  const std::vector<uint8_t> pos = encodeRecord(position);
  ASSERT_EQ(pos.size(), 32u);
  EXPECT_EQ(pos[0], 1);
  EXPECT_EQ(pos[2], 32);
  EXPECT_EQ(u32At(pos, 4), 1234567u | (3u << 26));

  const StreamRecord cars = carRecord({{2, 100}, {4, 0x2000001}}, 3, 40, 0xAA);
  const std::vector<uint8_t> car = encodeRecord(cars);
  EXPECT_EQ(car[2], 8 + 32 + 3);  // size 43: 43 / 16 = 2 items
  ASSERT_EQ(car.size(), 44u);
  EXPECT_EQ(u32At(car, 4), 0u);
  EXPECT_EQ(u32At(car, 8), 100u | (2u << 26));
  EXPECT_EQ(car[12], 0xAA);
  EXPECT_EQ(u32At(car, 24), 0x2000001u | (4u << 26));
  EXPECT_EQ(car[43], 0);  // padding

  ReplayBuilder builder;
  builder.setPreviousChunkLength(4);
  const size_t first = builder.size();
  builder.addChunk({startMarkerRecord(1), odd, cars}, 77);
  const size_t second = builder.size();
  builder.addChunk({StreamRecord{15, 0, {}}, cars});
  const std::vector<uint8_t>& b = builder.bytes();
  EXPECT_EQ(second - first, 8u + 8 + 12 + 44);
  EXPECT_EQ(b[first], 72);
  EXPECT_EQ(b[first + 2], 4);
  EXPECT_EQ(u32At(b, first + 4), 77u);
  EXPECT_EQ(b[first + 8], 13);
  EXPECT_EQ(b[first + 12], 1);  // the start flag at chunk offset 12
  EXPECT_EQ(b[second], 8 + 4 + 44);
  EXPECT_EQ(b[second + 2], 72);
  EXPECT_EQ(b.size(), second + 56);
}

TEST(ReplayBuilderTest, RawBytesAppendUnchanged) {
  ReplayBuilder builder;
  const std::vector<uint8_t> junk = {0xDE, 0xAD};
  builder.appendBytes(junk).appendU16(0x1234).appendI32(-1).appendU8(9).appendZeros(2);
  const std::vector<uint8_t> expected = {0xDE, 0xAD, 0x34, 0x12, 0xFF, 0xFF, 0xFF, 0xFF, 9, 0, 0};
  const std::vector<uint8_t> tail(builder.bytes().begin() + 320, builder.bytes().end());
  EXPECT_EQ(tail, expected);
}

}  // namespace
}  // namespace vorlind::tools
