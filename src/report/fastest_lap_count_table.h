// The number-of-fastest-laps table lists the entries by the number of laps of the merged race in
// which they drove the fastest time, most first. It closes the division that the on-track laps
// table opened.
#pragma once

#include "report/report_writer.h"

namespace vorlind {

void writeFastestLapCountTable(ReportWriter& writer);

}  // namespace vorlind
