#include "report/development_table.h"

#include <algorithm>

#include "report/report_arithmetic.h"

namespace vorlind {

std::vector<DevelopmentRow> listDevelopment(const EventStore& store) {
  const int64_t recordCount =
      std::clamp<int64_t>(store.FastestLapDevelopmentLength, 0, kCrossingCount);
  const int64_t rowLimit = std::min<int64_t>(recordCount, wrap32(int64_t{store.MaxRaceLaps} + 1));
  std::vector<DevelopmentRow> rows;
  for (int64_t m = 0; m < rowLimit; ++m) {
    const DevelopmentStep& step = store.FastestLapDevelopment[m];
    const int32_t lapTime = isSlot(step.Slot) ? cellAt(store.RaceLapTime[step.Slot], step.Lap) : 0;
    rows.push_back({step.Slot, step.Lap, lapTime});
  }
  return rows;
}

}  // namespace vorlind
