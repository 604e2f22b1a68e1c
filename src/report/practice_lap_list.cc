#include "report/practice_lap_list.h"

namespace vorlind {

namespace {

constexpr int32_t kLastListedLap = 199;

}  // namespace

std::vector<PracticeLapRow> listPracticeLaps(const EventStore& store) {
  std::vector<PracticeLapRow> rows;
  const int32_t lapCount = store.PracticeLapCount[kOwnSlot];
  for (int32_t lap = 1; lap <= kLastListedLap && lap <= lapCount; ++lap) rows.push_back({lap});
  return rows;
}

}  // namespace vorlind
