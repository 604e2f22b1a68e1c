#include "report/report_writer.h"

#include <charconv>

#include "report/consistency_table.h"
#include "report/development_table.h"
#include "report/fastest_lap_count_table.h"
#include "report/fastest_lap_tables.h"
#include "report/ideal_laps_table.h"
#include "report/leader_table.h"
#include "report/on_track_speed_tables.h"
#include "report/practice_lap_list.h"
#include "report/report_arithmetic.h"
#include "report/result_table.h"
#include "report/sector_tables.h"

namespace vorlind {

namespace {

constexpr std::string_view kCarLogos[] = {
    "<img src=\"images/logo_Brabham.gif\" />", "<img src=\"images/logo_BRM.gif\" />",
    "<img src=\"images/logo_Cooper.gif\" />",  "<img src=\"images/logo_Eagle.gif\" />",
    "<img src=\"images/logo_Ferrari.gif\" />", "<img src=\"images/logo_Lotus.gif\" />",
    "<img src=\"images/logo_Honda.gif\" />",
};

constexpr std::string_view kLeftTable = "<table border=3 cellpadding=\"0\" align=\"left\"> ";
constexpr std::string_view kCentreTable = "<table border=3 cellpadding=\"0\" align=\"center\"> ";
constexpr std::string_view kEndOfTable = "</border> </table> \n";
constexpr std::string_view kEndOfTableRow = "</div> <br clear=\"all\"> <BR> ";

void writeDocumentHead(ReportWriter& writer) {
  const EventStore& store = writer.store();
  writer.write("<html> \n<head> \n <PRE> ");
  writer.write("track:   ");
  writer.write(store.TrackName.view());
  writer.write("          file name:   ");
  writer.write(store.ReportBaseName.view());
  writer.write("           MOD:    ");
  writer.write(store.ModName.view());
  writer.write(" </PRE>  <BR> <BR> </head> \n<body> \n");
}

// A race member and a practice member of the fastest lap tables side by side in one division.
void writeFastestLapPair(ReportWriter& writer, FastestLapMember race, FastestLapMember practice) {
  writer.write("<div> ");
  writer.write(kLeftTable);
  writeFastestLapTable(writer, race);
  writer.write(kEndOfTable);
  writer.write(kCentreTable);
  writeFastestLapTable(writer, practice);
  writer.write(kEndOfTable);
  writer.write(kEndOfTableRow);
}

// Tables 1 to 15 with the divisions and breaks that stand between them.
void writeRaceBody(ReportWriter& writer) {
  writeResultTable(writer);
  writeConsistencyTable(writer);
  writeLeaderTable(writer);

  writeFastestLapPair(writer, FastestLapMember::kRace, FastestLapMember::kPractice);
  writeDevelopmentTable(writer);
  writeFastestLapPair(writer, FastestLapMember::kRaceOnTrack, FastestLapMember::kPracticeOnTrack);

  writeOnTrackLapsTable(writer);
  if (!writer.noSpeedValues()) writeSpeedTable(writer);
  writeFastestLapCountTable(writer);
  writeSectorTables(writer);
  writer.write("</div> ");
}

}  // namespace

void ReportWriter::openRow(int slot) {
  write(slot == store_.HighlightSlot ? "<tr bgcolor=\"#FFFF00\"> \n" : "<tr> \n");
}

void ReportWriter::closeRow() { write(" </td> \n </tr> \n"); }

void ReportWriter::writeNumber(int64_t value) {
  std::array<char, 80> scratch;
  const auto result = std::to_chars(scratch.data(), scratch.data() + scratch.size(), value);
  out_.write(scratch.data(), result.ptr - scratch.data());
}

void ReportWriter::writeDriverName(int slot) {
  if (!isSlot(slot)) {
    write(" ");
    return;
  }
  write(store_.SlotFirstName[slot].view());
  write(" ");
  write(store_.SlotLastName[slot].view());
}

void ReportWriter::writeCarLogo(int slot) {
  if (!isSlot(slot)) return;
  const int32_t car = store_.SlotCar[slot];
  if (car >= 0 && car < static_cast<int32_t>(std::size(kCarLogos))) write(kCarLogos[car]);
}

void ReportWriter::writeGridImage(int slot) {
  if (slot < 20) {
    write("<img src=\"images/grid_A.gif\" />");
  } else if (slot > 20 && slot < 40) {
    write("<img src=\"images/grid_B.gif\" />");
  } else if (slot > 40 && slot < 60) {
    write("<img src=\"images/grid_C.gif\" />");
  } else if (slot > 60 && slot < 80) {
    write("<img src=\"images/grid_D.gif\" />");
  } else if (slot > 80) {
    write("<img src=\"images/grid_E.gif\" />");
  }
}

void ReportWriter::writeRankCells(int position, int slot) {
  write("<td align=\"center\"> ");
  writeNumber(position);
  write(" </td> <td> ");
  writeDriverName(slot);
  write(" </td> <td> ");
  writeCarLogo(slot);
}

void ReportWriter::writePadded2(int32_t value) {
  if (value < 10) write("0");
  writeNumber(value);
}

void ReportWriter::writePadded3(int32_t value) {
  if (value < 10) write("0");
  if (value < 100) write("0");
  writeNumber(value);
}

void ReportWriter::formatClockTime(int32_t ms) {
  writeNumber(ms / 60000);
  write(":");
  writePadded2(ms / 1000 % 60);
  write(".");
  writePadded3(ms % 1000);
}

void ReportWriter::formatLapTime(int32_t ms) {
  writeNumber(ms / 60000 % 60);
  write(":");
  writePadded2(ms / 1000 % 60);
  write(".");
  writePadded3(ms % 1000);
}

void ReportWriter::formatGap(int32_t ms, bool reduceMinutes) {
  write("-");
  const int32_t minutes = reduceMinutes ? ms / 60000 % 60 : ms / 60000;
  const int32_t seconds = ms / 1000 % 60;
  if (minutes > 0) {
    writeNumber(minutes);
    write(":");
    writePadded2(seconds);
  } else {
    writeNumber(seconds);
  }
  write(".");
  writePadded3(ms % 1000);
}

void ReportWriter::formatSeconds(int32_t ms) {
  writeNumber(ms / 1000 % 60);
  write(".");
  writePadded3(ms % 1000);
}

void ReportWriter::formatHundredths(int32_t value) {
  writeNumber(value / 100);
  write(".");
  writePadded2(value % 100);
}

void writeReport(const EventStore& store, std::ostream& out) {
  ReportWriter writer(store, out);
  writeDocumentHead(writer);
  if (store.RaceFound != 0) {
    writeRaceBody(writer);
  } else {
    writePracticeLapList(writer);
    writeIdealLaps(writer);
    writer.write(" <BR> <BR> <BR> ");
  }
  if (!writer.noSpeedValues()) {
    writer.write("<div> All speed values are without warranty </div> ");
  }
  writer.write("</body> \n</html> \n");
}

}  // namespace vorlind
