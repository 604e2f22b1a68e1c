#include "replay/replay_header.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "replay_builder.h"

namespace vorlind {
namespace {

using tools::ReplayBuilder;

class ReplayHeader : public ::testing::Test {
 protected:
  ReplayHeader() : store_(std::make_unique<EventStore>()) { initEventStore(*store_); }

  HeaderResult read(const std::vector<uint8_t>& bytes) {
    MemoryByteSource source(bytes);
    return readReplayHeader(source, *store_);
  }

  std::unique_ptr<EventStore> store_;
};

TEST_F(ReplayHeader, FrameRateByte60MeansSixtyAnythingElseThirtySix) {
  const std::pair<uint8_t, int32_t> cases[] = {{60, 60}, {0, 36}, {36, 36}, {59, 36}, {61, 36}};
  for (const auto& [byte, rate] : cases) {
    ReplayBuilder b;
    b.setFrameRateByte(byte);
    ASSERT_EQ(read(b.bytes()), HeaderResult::kServerReplay);
    EXPECT_EQ(store_->ReplayFrameRate, rate) << int{byte};
  }
}

TEST_F(ReplayHeader, TrackNameGetsAnUpperCaseFirstLetter) {
  const std::pair<const char*, const char*> cases[] = {
      {"monza", "Monza"}, {"abcdefgh", "Abcdefgh"}, {"9lives", "9lives"}, {"", ""}};
  for (const auto& [stored, read_as] : cases) {
    ReplayBuilder b;
    b.setTrackName(stored).setModName("mod67");
    ASSERT_EQ(read(b.bytes()), HeaderResult::kServerReplay);
    EXPECT_EQ(store_->TrackName.view(), read_as);
    EXPECT_EQ(store_->ModName.view(), "mod67");
  }
}

TEST_F(ReplayHeader, ModNameOfSixBytesHasNoTerminator) {
  ReplayBuilder b;
  b.setModName("abcdef");
  b.setHeaderByte(134, 'X');
  ASSERT_EQ(read(b.bytes()), HeaderResult::kServerReplay);
  EXPECT_EQ(store_->ModName.view(), "abcdef");
}

TEST_F(ReplayHeader, NonZeroMarkerIsAPlayerReplay) {
  for (const int32_t marker : {1, -1, 7}) {
    ReplayBuilder b;
    b.setServerMarker(marker).setModName("none");
    EXPECT_EQ(read(b.bytes()), HeaderResult::kPlayerReplay);
    EXPECT_EQ(store_->ModName.view(), "");
  }
}

TEST_F(ReplayHeader, FileTooShortForTheHeaderIsDamaged) {
  std::vector<uint8_t> bytes(ReplayBuilder().bytes());
  bytes.resize(133);
  EXPECT_EQ(read(bytes), HeaderResult::kDamaged);
  bytes.resize(55);
  EXPECT_EQ(read(bytes), HeaderResult::kDamaged);
  bytes.resize(134);
  EXPECT_EQ(read(bytes), HeaderResult::kServerReplay);
}

}  // namespace
}  // namespace vorlind
