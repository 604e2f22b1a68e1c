// The fixed header of a replay: frame rate, track name, the marker that tells a server replay
// from a player's, and the MOD name. Only server replays are read further.
#pragma once

#include "replay/byte_source.h"
#include "replay/event_store.h"

namespace vorlind {

enum class HeaderResult { kServerReplay, kPlayerReplay, kDamaged };

// Reads the header into store.ReplayFrameRate, TrackName (first letter upper-cased) and ModName.
// The MOD name is read only when the replay is a server replay. A replay too short for the
// header is damaged, and `failure` says where it ends.
[[nodiscard]] HeaderResult readReplayHeader(ByteSource& source, EventStore& store,
                                            ReadFailure& failure);

}  // namespace vorlind
