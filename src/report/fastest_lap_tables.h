// The four fastest lap tables rank the entries by their single best lap of race or practice, over
// all laps or over the laps without an off-track mark. One procedure writes all four; the members
// differ in the arrays they read and in the colour cell of the two tables over all laps.
#pragma once

#include "report/report_writer.h"

namespace vorlind {

enum class FastestLapMember { kRace, kPractice, kRaceOnTrack, kPracticeOnTrack };

// Writes the member from its caption to its last row; the table tag and the closing fragments
// belong to the surrounding layout.
void writeFastestLapTable(ReportWriter& writer, FastestLapMember member);

}  // namespace vorlind
