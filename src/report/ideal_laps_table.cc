#include "report/ideal_laps_table.h"

namespace vorlind {

void writeIdealLaps(ReportWriter& writer) {
  writer.write(
      "<table border=3 cellpadding=\"0\"> "
      "<caption align=\"left\"> IDEAL LAPS</caption> "
      "<tr> <td>\n "
      " </td>\n<td> sec1 "
      " </td>\n<td> sec2 "
      " </td>\n<td> sec3 "
      " </td>\n<td> sec4 "
      " </td>\n<td align=\"center\"> ideal t"
      " </td>\n<td> "
      " </td>\n<td align=\"center\"> v min"
      " </td>\n<td align=\"center\"> v max"
      " </td>\n<td> "
      " </td>\n<td align=\"center\"> S1max"
      " </td>\n<td align=\"center\"> S2max"
      " </td>\n<td align=\"center\"> S3max"
      " </td>\n<td align=\"center\"> S4max"
      " </td>\n<td> "
      " </td>\n<td align=\"center\"> S1min"
      " </td>\n<td align=\"center\"> S2min"
      " </td>\n<td align=\"center\"> S3min"
      " </td>\n<td align=\"center\"> S4min"
      " </td>\n </tr>"
      "</border> </table> \n");
}

}  // namespace vorlind
