#include "report/fastest_lap_count_table.h"

#include "report/ranking.h"

namespace vorlind {

void writeFastestLapCountTable(ReportWriter& writer) {
  const EventStore& store = writer.store();
  writer.write(
      "<table border=3 cellpadding=\"2\" align=\"center\"> "
      "<caption align=\"left\"> NUMBER OF FASTEST LAPS </caption> "
      "<tr> <td align=\"center\"> laps "
      " </td>\n<td> driver"
      " </td>\n </tr>");
  writer.markAllUnlisted();
  for (int search = 1; search <= kSlotCount; ++search) {
    const Selection choice = selectNext(
        writer.unlisted(), kLargestFromZero, [](int) { return true; },
        [&](int slot) { return store.FastestLapCount[slot]; });
    if (choice.slot == 0) break;
    writer.openRow(choice.slot);
    writer.write("<td align=\"center\"> ");
    writer.writeNumber(choice.key);
    writer.write(" </td> <td> ");
    writer.writeDriverName(choice.slot);
    writer.closeRow();
    writer.markListed(choice.slot);
  }
  writer.write("</border> </table> \n</div> <br clear=\"all\"> \n <BR> ");
}

}  // namespace vorlind
