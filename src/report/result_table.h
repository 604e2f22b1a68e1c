// The race result over all grids: first the entries still running when their grid's winner
// finished, ranked by race time projected to the full distance, then everybody else who started,
// by laps completed and time. Every time is measured from the start of the entry's own grid.
#pragma once

#include "report/report_writer.h"

namespace vorlind {

// Opens the division that the consistency table closes.
void writeResultTable(ReportWriter& writer);

}  // namespace vorlind
