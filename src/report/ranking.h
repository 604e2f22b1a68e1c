// Every ranked table of the report is built by repeated selection: one scan of the driver slots
// 0..99 per row keeps the best key among the slots still unlisted, and slot 0 as the result means
// that nothing was found. The tables differ only in their key, their candidates and whether an
// equal key takes over the choice made so far.
#pragma once

#include <array>
#include <cstdint>

#include "replay/event_store.h"

namespace vorlind {

enum class RankOrder { kSmallestFirst, kLargestFirst };
// kLowerSlot keeps the first slot of equal keys; kHigherSlot lets every later equal key take over.
enum class RankTies { kLowerSlot, kHigherSlot };

struct RankRule {
  RankOrder order;
  RankTies ties;
  int32_t start;  // the running best before the scan; a key must beat it to be chosen
};

inline constexpr RankRule kSmallestFromNoTime{RankOrder::kSmallestFirst, RankTies::kLowerSlot,
                                              kNoTime};
inline constexpr RankRule kLargestFromZero{RankOrder::kLargestFirst, RankTies::kLowerSlot, 0};

struct Selection {
  int slot = 0;  // 0: nothing found
  int32_t key = 0;
};

// One scan over the slots that are unlisted and pass `isCandidate`; `keyOf` gives a slot's key.
template <typename IsCandidate, typename KeyOf>
Selection selectNext(const std::array<uint8_t, kSlotCount>& unlisted, const RankRule& rule,
                     IsCandidate isCandidate, KeyOf keyOf) {
  Selection best{0, rule.start};
  for (int slot = 0; slot < kSlotCount; ++slot) {
    if (unlisted[slot] == 0 || !isCandidate(slot)) continue;
    const int32_t key = keyOf(slot);
    const bool beats = rule.order == RankOrder::kSmallestFirst ? key < best.key : key > best.key;
    const bool takesTie = rule.ties == RankTies::kHigherSlot && key == best.key;
    if (beats || takesTie) best = Selection{slot, key};
  }
  return best;
}

}  // namespace vorlind
