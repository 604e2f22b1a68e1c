// The leader table names, for every stint of consecutive laps with the same leader of the merged
// race, the laps and the driver, five cells to a table row. The leader of each lap comes from the
// store's LapLeader, filled by the console lap pass.
#pragma once

#include "report/report_writer.h"

namespace vorlind {

void writeLeaderTable(ReportWriter& writer);

}  // namespace vorlind
