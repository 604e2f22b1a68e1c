#include "replay/replay_header.h"

#include <string_view>

#include "replay/replay_format.h"

namespace vorlind {

namespace fmt = replay_format;

namespace {

// A name field: its text ends at the first zero byte or at the end of the field.
template <int N>
std::string_view nameField(const uint8_t (&bytes)[N]) {
  int length = 0;
  while (length < N && bytes[length] != 0) ++length;
  return std::string_view(reinterpret_cast<const char*>(bytes), length);
}

}  // namespace

HeaderResult readReplayHeader(ByteSource& source, EventStore& store) {
  uint8_t rate[1];
  uint8_t track[fmt::kTrackNameWidth];
  uint8_t marker[4];
  if (!source.readAt(fmt::kFrameRateOffset, rate) ||
      !source.readAt(fmt::kTrackNameOffset, track) ||
      !source.readAt(fmt::kServerMarkerOffset, marker)) {
    return HeaderResult::kDamaged;
  }
  store.ReplayFrameRate =
      rate[0] == fmt::kFrameRate60Marker ? fmt::kFrameRate60 : fmt::kFrameRate36;
  store.TrackName.assign(nameField(track));
  if (decodeI32(marker) != 0) return HeaderResult::kPlayerReplay;

  uint8_t mod[fmt::kModNameWidth];
  if (!source.readAt(fmt::kModNameOffset, mod)) return HeaderResult::kDamaged;
  store.ModName.assign(nameField(mod));
  // Upper-casing as the "C" locale does it: only the letters a to z change.
  char& first = store.TrackName.Chars[0];
  if (first >= 'a' && first <= 'z') first = static_cast<char>(first - 'a' + 'A');
  return HeaderResult::kServerReplay;
}

}  // namespace vorlind
