// The consistency table ranks the race entries by how far their average lap from the second lap on
// lay above their own best race lap. It stands beside the result table and closes the division
// that the result table opened, ending the first row of tables.
#pragma once

#include "report/report_writer.h"

namespace vorlind {

void writeConsistencyTable(ReportWriter& writer);

}  // namespace vorlind
