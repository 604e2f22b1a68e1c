// The one ranking procedure of the report's tables: repeated selection, one scan of the driver
// slots 0..99 per row, keeping the best key among the slots not yet listed. The tables differ only
// in their key, their candidates and whether an equal key takes over the choice made so far.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "replay/event_store.h"

namespace vorlind {

enum class RankOrder { kSmallestFirst, kLargestFirst };
// kLowerSlot keeps the first slot of equal keys; kHigherSlot lets every later equal key take over
// from the slot chosen so far (never from the start, which a key must beat).
enum class RankTies { kLowerSlot, kHigherSlot };

struct RankRule {
  RankOrder Order;
  RankTies Ties;
  int32_t Start;  // the running best before the scan; a key must beat it to be chosen
};

inline constexpr RankRule kSmallestFromNoTime{RankOrder::kSmallestFirst, RankTies::kLowerSlot,
                                              kNoTime};
inline constexpr RankRule kLargestFromZero{RankOrder::kLargestFirst, RankTies::kLowerSlot, 0};

inline constexpr int kNoSlot = -1;

struct Selection {
  int Slot = kNoSlot;
  int32_t Key = 0;

  bool found() const { return Slot != kNoSlot; }
};

// What slot 0 is to a ranking. The classic report lets it stand for "nothing found": it is never
// listed, and when slot 0 itself is the best candidate left the ranking ends there and the slots
// behind it get no row either; the report's tables keep that. A complete classification ranks
// slot 0 as the driver it is.
enum class SlotZero { kMeansNothing, kRanks };

// The "already listed" flags of one ranking.
class Ranking {
 public:
  explicit Ranking(SlotZero slotZero = SlotZero::kMeansNothing) : slotZero_(slotZero) {
    unlisted_.fill(1);
  }

  // One scan over the slots that are unlisted and pass `isCandidate`; `keyOf` gives a slot's key.
  template <typename IsCandidate, typename KeyOf>
  Selection next(const RankRule& rule, IsCandidate isCandidate, KeyOf keyOf) const {
    Selection best{kNoSlot, rule.Start};
    for (int slot = 0; slot < kSlotCount; ++slot) {
      if (unlisted_[slot] == 0 || !isCandidate(slot)) continue;
      const int32_t key = keyOf(slot);
      const bool beats = rule.Order == RankOrder::kSmallestFirst ? key < best.Key : key > best.Key;
      const bool takesTie = rule.Ties == RankTies::kHigherSlot && key == best.Key && best.found();
      if (beats || takesTie) best = Selection{slot, key};
    }
    if (best.Slot == 0 && slotZero_ == SlotZero::kMeansNothing) best.Slot = kNoSlot;
    return best;
  }

  void markListed(int slot) { unlisted_[slot] = 0; }

 private:
  SlotZero slotZero_;
  std::array<uint8_t, kSlotCount> unlisted_;
};

// Every selection of one ranking in order, until a search finds nothing; as each row lists one of
// the slots 1..99, there are at most 99.
template <typename IsCandidate, typename KeyOf>
std::vector<Selection> rankSlots(const RankRule& rule, IsCandidate isCandidate, KeyOf keyOf) {
  Ranking ranking;
  std::vector<Selection> order;
  for (Selection choice = ranking.next(rule, isCandidate, keyOf); choice.found();
       choice = ranking.next(rule, isCandidate, keyOf)) {
    order.push_back(choice);
    ranking.markListed(choice.Slot);
  }
  return order;
}

}  // namespace vorlind
