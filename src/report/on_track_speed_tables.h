// Two tables of one division: ON TRACK LAPS ranks the race entries by their number of laps without
// an off-track mark and shows it as a share of all their race laps; SPEED lists the lowest and
// highest speed of each entry's best race lap, highest first.
#pragma once

#include "report/report_writer.h"

namespace vorlind {

// Opens the division that the number-of-fastest-laps table closes.
void writeOnTrackLapsTable(ReportWriter& writer);
// Written only when the report carries speed values.
void writeSpeedTable(ReportWriter& writer);

}  // namespace vorlind
