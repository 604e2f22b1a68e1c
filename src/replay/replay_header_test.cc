#include "replay/replay_header.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "replay_builder.h"

namespace vorlind {
namespace {

TEST(ReplayHeader, ReadsRateNamesAndKind) {
  using enum HeaderResult;
  struct Case {
    uint8_t RateByte;
    const char *Track, *Mod;
    int32_t Marker;
    size_t Length;  // the replay is cut to this many bytes when not 0
    HeaderResult Result;
    int32_t RateOrFailedAt;
    const char* TrackRead;
  };
  const Case kCases[] = {
      {60, "abcdefgh", "abcdef", 0, 0, kServerReplay, 60, "Abcdefgh"},
      {59, "zulu", "", 0, 0, kServerReplay, 36, "Zulu"},
      {60, "`ab", "", 0, 0, kServerReplay, 60, "`ab"},
      {60, "{ab", "", 0, 0, kServerReplay, 60, "{ab"},
      {60, "\xE1gb", "", 0, 0, kServerReplay, 60, "\xE1gb"},
      {60, "monza", "mod67", 0, 134, kServerReplay, 60, "Monza"},
      {60, "monza", "mod67", 1 << 24, 0, kPlayerReplay, 0, nullptr},
      {60, "monza", "mod67", 7, 100, kPlayerReplay, 0, nullptr},  // the MOD name is not read
      {60, "monza", "mod67", 0, 133, kDamaged, 128, nullptr},
      {60, "monza", "mod67", 0, 55, kDamaged, 52, nullptr},
      {60, "monza", "mod67", 0, 5, kDamaged, 5, nullptr}};
  for (const Case& c : kCases) {
    SCOPED_TRACE(::testing::Message()
                 << int{c.RateByte} << " " << c.Track << " " << c.Marker << " " << c.Length);
    tools::ReplayBuilder builder;
    builder.setFrameRateByte(c.RateByte).setTrackName(c.Track).setModName(c.Mod);
    // Text right behind both names, which a read up to a terminator would take in.
    builder.setServerMarker(c.Marker).setHeaderByte(32, 'X').setHeaderByte(134, 'X');
    std::vector<uint8_t> bytes = builder.take();
    if (c.Length != 0) bytes.resize(c.Length);
    MemoryByteSource source(bytes);
    const auto store = std::make_unique<EventStore>();
    initEventStore(*store);
    ReadFailure failure;
    ASSERT_EQ(readReplayHeader(source, *store, failure), c.Result);
    EXPECT_EQ(store->ModName.view(), c.Result == kServerReplay ? c.Mod : "");
    if (c.Result == kDamaged) {
      EXPECT_EQ(failure.Offset, c.RateOrFailedAt);
    } else if (c.Result == kServerReplay) {
      EXPECT_EQ(store->ReplayFrameRate, c.RateOrFailedAt);
      EXPECT_EQ(store->TrackName.view(), c.TrackRead);
    }
  }
}

}  // namespace
}  // namespace vorlind
