#include "replay/byte_source.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "event_plans.h"
#include "replay/grid_reader.h"
#include "test_support.h"

namespace vorlind {
namespace {

constexpr int64_t kBlock = FileBlockMemory::kBlockSize;

std::string fileBytes(int64_t size) {
  std::string bytes(static_cast<size_t>(size), '\0');
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7 + i / 251);
  return bytes;
}

class FileSource : public ::testing::TestWithParam<bool> {};
INSTANTIATE_TEST_SUITE_P(ReadAhead, FileSource, ::testing::Bool());

TEST_P(FileSource, ServesViewsInsideAndCopiesThoseAcrossABlockEdge) {
  const std::string bytes = fileBytes(6 * kBlock + 12345);  // seven blocks, the last one short
  const testing::TempDir dir;
  testing::writeFile(dir.path() / "a.rpy", bytes);
  const auto source = FileByteSource::open(dir.path() / "a.rpy", nullptr, GetParam());
  ASSERT_NE(source, nullptr);
  const auto size = static_cast<int64_t>(bytes.size());
  ASSERT_EQ(source->size(), size);

  enum Served { kRefused, kInPlace, kCopied };
  // The order matters: a view outside the block read last is served afresh, not from memory.
  const std::tuple<int64_t, int64_t, Served> kCases[] = {{0, 5, kInPlace},
                                                         {2 * kBlock - 16, 16, kInPlace},
                                                         {kBlock, 16, kInPlace},
                                                         {kBlock - 3, 8, kCopied},
                                                         {kBlock - 1, kBlock + 2, kCopied},
                                                         {3 * kBlock - 10, 20, kCopied},
                                                         {size - 4, 4, kInPlace},
                                                         {size - 3, 4, kRefused},
                                                         {-1, 4, kRefused},
                                                         {INT64_MAX - 1, 4, kRefused},
                                                         {10, -1, kRefused}};
  std::vector<uint8_t> scratch(kBlock + 2);
  for (const auto& [offset, count, served] : kCases) {
    SCOPED_TRACE(std::to_string(offset) + " +" + std::to_string(count));
    const uint8_t* view = source->view(offset, count, scratch.data());
    ASSERT_EQ(view == nullptr, served == kRefused);
    if (view == nullptr) continue;
    EXPECT_EQ(view == scratch.data(), served == kCopied);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(view), static_cast<size_t>(count)),
              bytes.substr(static_cast<size_t>(offset), static_cast<size_t>(count)));
  }
}

// A file that loses its end after it was opened: the blocks that are gone, or short, are refused
// wherever the reader was before, and the source tells that it changed; those still there are
// served, the ones read ahead included. The file is longer than the read-ahead reaches before the
// first view.
TEST_P(FileSource, RefusesTheBlocksOfAFileThatGotShorter) {
  const std::string bytes = fileBytes(100 * kBlock);
  const testing::TempDir dir;
  const std::filesystem::path file = dir.path() / "a.rpy";
  testing::writeFile(file, bytes);
  const auto source = FileByteSource::open(file, nullptr, GetParam());
  ASSERT_NE(source, nullptr);
  std::filesystem::resize_file(file, 97 * kBlock + kBlock / 2);  // block 97 is short
  uint8_t scratch[8];
  for (const int64_t offset : {int64_t{0}, 40 * kBlock + 5, 98 * kBlock, 97 * kBlock, 96 * kBlock,
                               99 * kBlock + 9, int64_t{3}}) {
    const uint8_t* view = source->view(offset, 8, scratch);
    EXPECT_EQ(view != nullptr, offset < 97 * kBlock) << offset;
    EXPECT_EQ(source->changed(), offset != 0 && offset != 40 * kBlock + 5) << offset;
    if (view != nullptr) {
      EXPECT_EQ(std::string(reinterpret_cast<const char*>(view), 8),
                bytes.substr(static_cast<size_t>(offset), 8));
    }
  }
}

// Another program cuts the replay in half while its frame stream is being searched.
TEST_P(FileSource, AReplayCutDuringItsReadingHasChanged) {
  tools::EventDirectory event;
  ASSERT_TRUE(tools::scenarioEvent("longtrack", &event));
  const testing::TempDir dir;
  ASSERT_EQ(tools::writeEventDirectory(dir.path().string(), event), "");
  const std::filesystem::path file = dir.path() / "replays" / (event.Grids[0].ReplayName + ".rpy");
  ASSERT_GT(std::filesystem::file_size(file), 4u * FileBlockMemory::kBlockCount * kBlock);
  struct Cutter : SilentGridListener {
    std::filesystem::path File;
    void trackSearchStarted() override {
      std::filesystem::resize_file(File, std::filesystem::file_size(File) / 2);
    }
  } cutter;
  cutter.File = file;
  auto store = std::make_unique<EventStore>();
  initEventStore(*store);
  const auto source = FileByteSource::open(file, nullptr, GetParam());
  ASSERT_NE(source, nullptr);
  EXPECT_EQ(GridReader().read(*source, *store, 1, 0, cutter).Outcome, GridOutcome::kChanged);
}

}  // namespace
}  // namespace vorlind
