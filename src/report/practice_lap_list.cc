#include "report/practice_lap_list.h"

namespace vorlind {

namespace {

constexpr int kLastListedLap = 199;

}  // namespace

void writePracticeLapList(ReportWriter& writer) {
  const EventStore& store = writer.store();
  writer.write(
      "<table border=3 cellpadding=\"0\"> "
      "<caption align=\"left\"> PRACTISE LAPS of  ");
  writer.writeDriverName(kOwnSlot);
  writer.write(
      "</caption> "
      "<tr> <td>\n lap"
      " </td>\n<td align=\"center\"> sec1"
      " </td>\n<td align=\"center\"> sec2"
      " </td>\n<td align=\"center\"> sec3"
      " </td>\n<td align=\"center\"> sec4"
      " </td>\n<td align=\"center\"> lap time"
      " </td>\n<td> cha"
      " </td>\n<td align=\"center\"> v min"
      " </td>\n<td align=\"center\"> v max"
      " </td>\n<td> cha"
      " </td>\n<td align=\"center\"> S1max"
      " </td>\n<td align=\"center\"> S2max"
      " </td>\n<td align=\"center\"> S3max"
      " </td>\n<td align=\"center\"> S4max"
      " </td>\n<td> cha"
      " </td>\n<td align=\"center\"> S1min"
      " </td>\n<td align=\"center\"> S2min"
      " </td>\n<td align=\"center\"> S3min"
      " </td>\n<td align=\"center\"> S4min"
      " </td>\n </tr>");
  const int32_t lapCount = store.PracticeLapCount[kOwnSlot];
  for (int lap = 1; lap <= kLastListedLap && lap <= lapCount; ++lap) {
    writer.write("<tr> \n<td align=\"center\"> ");
    writer.writeNumber(lap);
    writer.write(" </td> ");
  }
  writer.write("</border> </table> \n <BR> <BR> ");
}

}  // namespace vorlind
