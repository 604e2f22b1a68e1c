// The practice lap list is the body of a report without a race: a table captioned with the name
// of the replay's own slot and one row per practice lap, each holding only the lap number.
#pragma once

#include "report/report_writer.h"

namespace vorlind {

// The slot whose practice laps are listed: only server replays, whose own slot is 0, are read.
inline constexpr int kOwnSlot = 0;

void writePracticeLapList(ReportWriter& writer);

}  // namespace vorlind
