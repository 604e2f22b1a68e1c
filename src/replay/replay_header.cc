#include "replay/replay_header.h"

#include "replay/replay_format.h"

namespace vorlind {

namespace fmt = replay_format;

namespace {

// Reads a text field of `N - 1` bytes: its text ends at the first zero byte or at its end.
template <int N>
void readTextField(ByteCursor& cursor, int64_t offset, FixedText<N>& text) {
  FixedText<N> field;
  cursor.seek(offset);
  cursor.readBytes(std::span(reinterpret_cast<uint8_t*>(field.Chars.data()), N - 1));
  text.assign(field.view());
}

}  // namespace

HeaderResult readReplayHeader(ByteSource& source, EventStore& store, ReadFailure& failure) {
  static_assert(sizeof(store.TrackName.Chars) == fmt::kTrackNameWidth + 1);
  static_assert(sizeof(store.ModName.Chars) == fmt::kModNameWidth + 1);
  ByteCursor cursor(source);
  cursor.seek(fmt::kFrameRateOffset);
  const uint8_t rate = cursor.readU8();
  readTextField(cursor, fmt::kTrackNameOffset, store.TrackName);
  cursor.seek(fmt::kServerMarkerOffset);
  const int32_t marker = cursor.readI32();
  if (!cursor.failed()) {
    store.ReplayFrameRate = rate == fmt::kFrameRate60Marker ? fmt::kFrameRate60 : fmt::kFrameRate36;
    if (marker != 0) return HeaderResult::kPlayerReplay;
    readTextField(cursor, fmt::kModNameOffset, store.ModName);
  }
  if (cursor.failed()) {
    failure = ReadFailure{"the replay is shorter than its header", cursor.failedAt()};
    return HeaderResult::kDamaged;
  }
  // Upper-casing as the "C" locale does it: only the letters a to z change.
  char& first = store.TrackName.Chars[0];
  if (first >= 'a' && first <= 'z') first = static_cast<char>(first - 'a' + 'A');
  return HeaderResult::kServerReplay;
}

}  // namespace vorlind
