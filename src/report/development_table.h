// The development table shows how the fastest race lap of the merged race fell: one cell per lap
// that set a new record, with the driver and the time, six cells to a table row. The records come
// from the store's FastestLapDevelopment, filled by the console lap pass.
#pragma once

#include "report/report_writer.h"

namespace vorlind {

void writeDevelopmentTable(ReportWriter& writer);

}  // namespace vorlind
