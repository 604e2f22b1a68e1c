#include "replay/byte_source.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <vector>

namespace vorlind {
namespace {

std::vector<uint8_t> pattern(size_t size) {
  std::vector<uint8_t> bytes(size);
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>((i * 7 + i / 251) & 0xFF);
  return bytes;
}

class FileSource : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = std::filesystem::temp_directory_path() /
            ("vorlind-bytes-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
             ".bin");
    bytes_ = pattern(3 * (1 << 18) + 12345);
    std::ofstream(path_, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes_.data()), static_cast<std::streamsize>(bytes_.size()));
  }
  void TearDown() override { std::filesystem::remove(path_); }

  std::filesystem::path path_;
  std::vector<uint8_t> bytes_;
};

TEST_F(FileSource, ReadsAnywhereIncludingAcrossBlocks) {
  auto source = FileByteSource::open(path_.string());
  ASSERT_NE(source, nullptr);
  EXPECT_EQ(source->size(), static_cast<int64_t>(bytes_.size()));
  const int64_t block = 1 << 18;
  const int64_t offsets[] = {0, block - 3, 2 * block - 1, 5, block + 17, 3 * block + 12340, 100};
  for (const int64_t offset : offsets) {
    uint8_t out[5];
    ASSERT_TRUE(source->readAt(offset, out)) << offset;
    for (int i = 0; i < 5; ++i) EXPECT_EQ(out[i], bytes_[offset + i]) << offset;
  }
}

TEST_F(FileSource, RefusesReadsPastTheEnd) {
  auto source = FileByteSource::open(path_.string());
  ASSERT_NE(source, nullptr);
  const int64_t size = source->size();
  uint8_t out[4] = {1, 2, 3, 4};
  EXPECT_FALSE(source->readAt(size - 3, out));
  EXPECT_FALSE(source->readAt(size, out));
  EXPECT_FALSE(source->readAt(-1, out));
  EXPECT_FALSE(source->readAt(INT64_MAX - 1, out));
  EXPECT_TRUE(source->readAt(size - 4, out));
  EXPECT_EQ(out[3], bytes_.back());
  EXPECT_EQ(source->peek(size - 3, 4), nullptr);
}

TEST_F(FileSource, PeekGivesTheBytesOrNothingAcrossABlockEdge) {
  auto source = FileByteSource::open(path_.string());
  ASSERT_NE(source, nullptr);
  const int64_t block = 1 << 18;
  const uint8_t* inside = source->peek(block + 100, 64);
  ASSERT_NE(inside, nullptr);
  EXPECT_EQ(std::vector<uint8_t>(inside, inside + 64),
            std::vector<uint8_t>(bytes_.begin() + block + 100, bytes_.begin() + block + 164));
  EXPECT_EQ(source->peek(block - 10, 20), nullptr);
  uint8_t out[20];
  ASSERT_TRUE(source->readAt(block - 10, out));
  EXPECT_EQ(out[19], bytes_[block + 9]);
}

TEST_F(FileSource, PeekRunReachesTheEndOfTheBlockHoldingTheOffset) {
  auto source = FileByteSource::open(path_.string());
  ASSERT_NE(source, nullptr);
  const int64_t block = 1 << 18;
  const int64_t size = source->size();
  const std::span<const uint8_t> run = source->peekRun(block + 100);
  ASSERT_EQ(run.size(), static_cast<size_t>(block - 100));
  EXPECT_EQ(run.front(), bytes_[block + 100]);
  EXPECT_EQ(run.back(), bytes_[2 * block - 1]);
  EXPECT_EQ(source->peekRun(size - 1).size(), 1u);
  EXPECT_EQ(source->peekRun(size - 1).front(), bytes_.back());
  EXPECT_TRUE(source->peekRun(size).empty());
  EXPECT_TRUE(source->peekRun(-1).empty());

  MemoryByteSource memory(bytes_);
  EXPECT_EQ(memory.peekRun(block - 1).size(), bytes_.size() - (block - 1)) << "all of the buffer";
  EXPECT_TRUE(memory.peekRun(size).empty());
}

TEST(FileSourceOpen, MissingFileGivesNothing) {
  EXPECT_EQ(FileByteSource::open("/nonexistent/vorlind/replay.rpy"), nullptr);
}

TEST(ByteCursor, DecodesLittleEndianAndFailsStickily) {
  const std::vector<uint8_t> bytes = {0x4F, 0x52, 0x50, 0x4C, 0x01, 0x02, 0x03, 0xFF};
  MemoryByteSource source(bytes);
  ByteCursor cursor(source);
  EXPECT_EQ(cursor.readI32(), 1280332367);
  EXPECT_EQ(cursor.readU24(), 0x030201u);
  EXPECT_FALSE(cursor.failed());
  EXPECT_EQ(cursor.readU16(), 0);  // one byte left
  EXPECT_TRUE(cursor.failed());
  cursor.seek(7);
  EXPECT_EQ(cursor.readU8(), 0xFF);
  EXPECT_TRUE(cursor.failed());
  cursor.clearFailure();
  cursor.seek(6);
  EXPECT_EQ(cursor.readU16(), 0xFF03);
  EXPECT_FALSE(cursor.failed());
}

}  // namespace
}  // namespace vorlind
