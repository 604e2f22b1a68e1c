// The ideal laps table closes the report without a race. It belongs to the same slot as the
// practice lap list and holds its caption and header row only.
#pragma once

#include "report/report_writer.h"

namespace vorlind {

void writeIdealLaps(ReportWriter& writer);

}  // namespace vorlind
