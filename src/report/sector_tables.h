// The four sector tables rank the drivers by the time each needed for one quarter of his best race
// lap, with the gap to the fastest and the sector's lowest and highest speed (or, without speed
// values, the starting grid). They stand two by two at the end of the race report.
#pragma once

#include "report/report_writer.h"

namespace vorlind {

// Writes the sector block up to its closing breaks; the division it leaves open is closed by the
// document frame.
void writeSectorTables(ReportWriter& writer);

// Sector time: minutes (mod 60) and ":" only from one minute on, seconds always with two digits.
void formatSectorTime(ReportWriter& writer, int32_t ms);

}  // namespace vorlind
