// The charts page: one self-contained HTML file (well-formed XML, inline SVG, no script and
// nothing loaded from elsewhere) with three charts of the race: the lap chart of every driver's
// place after each lap, the race trace of the gap to the leader, and each driver's lap times.
#pragma once

#include <ostream>

#include "replay/event_store.h"

namespace vorlind {

// Writes the page of an event whose lap pass has run.
void writeChartsPage(const EventStore& store, std::ostream& out);

}  // namespace vorlind
