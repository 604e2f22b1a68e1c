// The standings page: one self-contained HTML file (well-formed XML, nothing loaded from
// elsewhere) with the drivers' standings, a cell per round, the stewards' deductions, the makes'
// table and a chart of the leading drivers' points after each round. A small inline script
// highlights a driver's line, label and row while the pointer rests on one of them.
#pragma once

#include <string>

#include "season/standings.h"

namespace vorlind {

// The drivers the chart draws: those placed in the first ten.
inline constexpr int kChartedPlaces = 10;

std::string seasonPageHtml(const Standings& standings);

}  // namespace vorlind
