// The HTML of the report document and of each table family, written from the rows that the
// tables' rankings computed.
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/file_names.h"
#include "report/consistency_table.h"
#include "report/development_table.h"
#include "report/fast_lap_count_table.h"
#include "report/fast_lap_tables.h"
#include "report/leader_table.h"
#include "report/on_track_speed_tables.h"
#include "report/practice_lap_list.h"
#include "report/report_writer.h"
#include "report/result_table.h"
#include "report/sector_tables.h"

namespace vorlind {

namespace {

constexpr std::string_view kTableEnd = "</border> </table> \n";
constexpr std::string_view kLeftTable = "<table border=3 cellpadding=\"0\" align=\"left\"> ";
constexpr std::string_view kCentreTable = "<table border=3 cellpadding=\"0\" align=\"center\"> ";
constexpr std::string_view kEndOfTableRow = "</div> <br clear=\"all\"> <BR> ";

// The header row has no opening tag and begins by closing a cell that was never opened; the
// classic report writes it so, and the report keeps the bytes.
constexpr std::string_view kResultHead =
    "<div> "
    "<table border=3 cellpadding=\"0\" align=\"left\"> "
    "<caption align=\"center\"> RESULT </caption> \n "
    " </td>\n <td align=\"center\">  10 "
    " </td>\n <td align=\"center\">  20 "
    " </td>\n <td align=\"center\">  30 "
    " </td>\n <td align=\"center\">  40 "
    " </td>\n <td align=\"center\">  50 "
    " </td>\n <td align=\"center\">  60 "
    " </td>\n <td align=\"center\">  70 "
    " </td>\n <td align=\"center\">  80 "
    " </td>\n <td align=\"center\">  90 "
    " </td>\n <td align=\"center\">  pos"
    " </td>\n<td> driver"
    " </td>\n <td align=\"center\">  car"
    " </td>\n<td align=\"center\"> laps"
    " </td>\n <td align=\"center\"> race time"
    " </td>\n<td align=\"center\"> -first"
    " </td>\n<td align=\"center\"> grid"
    " </td>\n </tr>";

constexpr std::string_view kConsistencyHead =
    "<table border=3 cellpadding=\"2\" align=\"center\"> "
    "<caption align=\"left\"> CONSISTENCY </caption> "
    "<tr> <td>\n pos"
    " </td>\n<td> driver"
    " </td>\n<td align=\"center\">av. lap t"
    " </td>\n <td align=\"center\"> c.in s "
    " </td>\n <td align=\"center\"> in % "
    " </td>\n </tr> ";

// The position, driver and car titles that open the header row of most ranking tables.
constexpr std::string_view kPosTitle = "<tr> <td>\n pos";
constexpr std::string_view kDriverCarTitles =
    " </td>\n<td> driver </td>\n <td align=\"center\">  car";

// The leader and development tables: lone cells without a header row, `cellsPerRow` to a table
// row, each opened yellow for the highlight slot; `writeCell` writes a cell's text and closing.
template <typename Row, typename WriteCell>
void writeCellTable(ReportWriter& writer, std::string_view caption, const std::vector<Row>& rows,
                    std::size_t cellsPerRow, WriteCell writeCell) {
  writer.write("<table border=3 cellpadding=\"3\"> ");
  writer.write(caption);
  writer.write("<tr> \n");
  for (std::size_t cell = 0; cell < rows.size(); ++cell) {
    const bool highlighted = rows[cell].Slot == writer.store().HighlightSlot;
    writer.write(highlighted ? "<td bgcolor=\"#FFFF00\"> \n" : "<td> \n");
    writeCell(rows[cell]);
    if ((cell + 1) % cellsPerRow == 0) writer.write("</tr> <tr> \n ");
  }
  writer.write("</tr> \n </border> </table> \n");
}

// Indexed by FastestLapMember.
constexpr std::string_view kFastestLapCaptions[] = {
    "<caption align=\"left\"> FASTEST RACE LAPS </caption> ",
    "<caption align=\"left\"> FASTEST PRACTICE LAPS </caption> ",
    "<caption align=\"left\"> FASTEST RACE LAPS (ONLY ON TRACK) </caption> ",
    "<caption align=\"left\"> FASTEST PRACTICE LAPS (ONLY ON TRACK) </caption> ",
};

// Opens the division that the consistency table closes.
void writeResultTable(ReportWriter& writer, const std::vector<ResultRow>& rows) {
  writer.write(kResultHead);
  for (const ResultRow& row : rows) {
    writer.openRow(row.Slot);
    for (const std::optional<int32_t>& place : row.PlaceAtTenth) {
      writer.write("<td align=\"center\"> ");
      if (place) {
        writer.writeNumber(*place);
      } else {
        writer.write("-");
      }
      writer.write(" </td> ");
    }
    writer.write("<td align=\"center\">  <b> ");
    writer.writeNumber(row.Position);
    writer.write(" </b>  </td> <td> ");
    writer.writeDriverName(row.Slot);
    writer.write(" </td> <td> ");
    writer.writeCarLogo(row.Slot);
    writer.write(" </td> <td align=\"center\"> ");
    writer.writeNumber(row.Laps);
    writer.write(" </td> <td align=\"right\"> ");
    writer.formatClockTime(row.RaceTime);
    writer.write("</td> ");
    if (row.GapToWinner) {
      writer.write("<td align=\"right\"> ");
      writer.formatGap(*row.GapToWinner, false);
    } else if (row.Status == ResultStatus::kDsq) {
      writer.write("<td align=\"center\"> DSQ");
    } else if (row.Position == 1) {
      writer.write("<td> ");
    } else {
      writer.write("<td align=\"center\"> DNF");
    }
    writer.write("</td> <td align=\"center\"> ");
    writer.writeGridImage(row.Slot);
    writer.closeRow();
  }
  writer.write(kTableEnd);
}

// Below the result table, a line for each penalised driver in the order of the rows: his name,
// his time penalty or DSQ, and the stewards' reasons. The consistency table then stands below.
void writePenaltyLines(ReportWriter& writer, const std::vector<ResultRow>& rows,
                       std::span<const Penalty> penalties) {
  writer.write("<br clear=\"left\"> ");
  for (const ResultRow& row : rows) {
    std::string reasons;
    bool penalised = false;
    for (const Penalty& penalty : penalties) {
      if (penalty.Slot != row.Slot) continue;
      penalised = true;
      if (penalty.Reason.empty()) continue;
      if (!reasons.empty()) reasons += "; ";
      reasons += penalty.Reason;
    }
    if (!penalised) continue;
    writer.write("<div> ");
    writer.writeDriverName(row.Slot);
    writer.write(" <b> ");
    if (row.Status == ResultStatus::kDsq) {
      writer.write("DSQ");
    } else {
      writer.write("+");
      writer.writeNumber(row.Penalty / 1000);
      writer.write(".");
      writer.writePadded3(row.Penalty % 1000);
      writer.write(" s");
    }
    writer.write(" </b> ");
    writer.writeText(windows1252FromUtf8(reasons));
    writer.write(" </div> \n");
  }
}

// Stands beside the result table and closes its division, ending the first row of tables.
void writeConsistencyTable(ReportWriter& writer, const std::vector<ConsistencyRow>& rows) {
  writer.write(kConsistencyHead);
  for (const ConsistencyRow& row : rows) {
    writer.openRow(row.Slot);
    writer.write("<td align=\"center\"> ");
    writer.writeNumber(row.Position);
    writer.write(" </td> <td> ");
    writer.writeDriverName(row.Slot);
    writer.write(" </td> <td> ");
    writer.formatLapTime(row.AverageLap);
    writer.write(" </td> <td> ");
    writer.formatSeconds(row.AboveBest);
    writer.write(" </td> <td> ");
    writer.formatHundredths(row.ExcessShare);
    writer.closeRow();
  }
  writer.write("</border>  </table> \n</div> <br clear=\"all\"> <BR> ");
}

void writeLeaderTable(ReportWriter& writer, const std::vector<LeaderStint>& stints) {
  writeCellTable(writer, "<caption align=\"left\"> LEADER </caption> ", stints, 5,
                 [&](const LeaderStint& stint) {
                   writer.write(" lap ");
                   writer.writeNumber(stint.FirstLap);
                   if (stint.LastLap != stint.FirstLap) {
                     writer.write("-");
                     writer.writeNumber(stint.LastLap);
                   }
                   writer.write(": ");
                   writer.writeDriverName(stint.Slot);
                   writer.write(" </td> \n ");
                 });
  writer.write(" <BR> <BR><br clear=\"all\"> ");
}

// From the caption to the last row; the table tag and the closing belong to the layout around it.
void writeFastestLapTable(ReportWriter& writer, FastestLapMember member,
                          const std::vector<FastestLapRow>& rows) {
  writer.write(kFastestLapCaptions[static_cast<int>(member)]);
  writer.write(showsOffTrack(member) ? "<tr> <td>\n otl </td>\n<td align=\"center\"> pos"
                                     : kPosTitle);
  writer.write(kDriverCarTitles);
  writer.write(
      " </td>\n<td align=\"center\"> lap time"
      " </td>\n <td align=\"center\"> -first"
      " </td>\n<td align=\"center\"> -before"
      " </td>\n<td align=\"center\"> fl/nl"
      " </td>\n<td align=\"center\"> grid"
      " </td>\n </tr>");
  for (const FastestLapRow& row : rows) {
    writer.openRow(row.Slot);
    if (row.OffTrack) {
      writer.write(*row.OffTrack ? " <td bgcolor=\"#000000\">" : " <td bgcolor=\"#00FF00\">");
      writer.write(" </td> ");
    }
    writer.writeRankCells(row.Position, row.Slot);
    writer.write(" </td> <td> ");
    writer.formatLapTime(row.LapTime);
    writer.write(" </td> <td> ");
    if (row.GapToFirst) writer.formatGap(*row.GapToFirst);
    writer.write(" </td> <td> ");
    if (row.GapToPrevious) writer.formatGap(*row.GapToPrevious);
    // The -before cell is left open, as in the classic report.
    writer.write("<td align=\"center\"> ");
    writer.writeNumber(row.LapNumber);
    writer.write("/");
    writer.writeNumber(row.LapCount);
    writer.write(" </td> <td align=\"center\"> ");
    writer.writeGridImage(row.Slot);
    writer.closeRow();
  }
}

void writeDevelopmentTable(ReportWriter& writer, const std::vector<DevelopmentRow>& rows) {
  writeCellTable(writer, "<caption align=\"left\"> DEVELOPMENT FASTEST LAP </caption> ", rows, 6,
                 [&](const DevelopmentRow& row) {
                   writer.write(" lap");
                   writer.writeNumber(row.Lap);
                   writer.write(" ");
                   writer.writeDriverName(row.Slot);
                   writer.write("  ");
                   writer.formatLapTime(row.LapTime);
                   writer.write("</td> \n ");
                 });
  writer.write(" <BR> <BR> ");
}

// Opens the division that the number-of-fastest-laps table closes.
void writeOnTrackLapsTable(ReportWriter& writer, const std::vector<OnTrackRow>& rows) {
  writer.write(
      "<div> "
      "<table border=3 cellpadding=\"1\" align=\"left\"> "
      "<caption align=\"left\"> ON TRACK LAPS </caption> ");
  writer.write(kPosTitle);
  writer.write(kDriverCarTitles);
  writer.write(
      " </td>\n<td align=\"center\"> %"
      " </td>\n<td align=\"center\"> ol/nl"
      " </td>\n </tr>");
  for (const OnTrackRow& row : rows) {
    writer.openRow(row.Slot);
    // The car cell and the share cell are left open, as in the classic report.
    writer.writeRankCells(row.Position, row.Slot);
    writer.write("<td align=\"center\"> ");
    writer.writeNumber(row.SharePerMille / 10);
    writer.write(".");
    writer.writeNumber(row.SharePerMille % 10);
    writer.write("<td align=\"center\"> (");
    writer.writeNumber(row.OnTrackLaps);
    writer.write("/");
    writer.writeNumber(row.Laps);
    writer.write(")");
    writer.closeRow();
  }
  writer.write(kTableEnd);
}

void writeSpeedTable(ReportWriter& writer, const std::vector<SpeedRow>& rows) {
  writer.write(
      "<table border=3 cellpadding=\"0\" align=\"right\"> "
      "<caption align=\"left\"> SPEED </caption> ");
  writer.write(kPosTitle);
  writer.write(kDriverCarTitles);
  writer.write(
      " </td>\n<td align=\"center\"> v min"
      " </td>\n<td align=\"center\"> v max"
      " </td>\n </tr>");
  for (const SpeedRow& row : rows) {
    writer.openRow(row.Slot);
    writer.writeRankCells(row.Position, row.Slot);
    writer.write(" </td> <td> ");
    writer.formatHundredths(row.MinSpeed);
    writer.write(" </td> <td> ");
    writer.formatHundredths(row.MaxSpeed);
    writer.closeRow();
  }
  writer.write(kTableEnd);
}

void writeFastestLapCountTable(ReportWriter& writer, const std::vector<FastestLapCountRow>& rows) {
  writer.write(
      "<table border=3 cellpadding=\"2\" align=\"center\"> "
      "<caption align=\"left\"> NUMBER OF FASTEST LAPS </caption> "
      "<tr> <td align=\"center\"> laps "
      " </td>\n<td> driver"
      " </td>\n </tr>");
  for (const FastestLapCountRow& row : rows) {
    writer.openRow(row.Slot);
    writer.write("<td align=\"center\"> ");
    writer.writeNumber(row.FastestLaps);
    writer.write(" </td> <td> ");
    writer.writeDriverName(row.Slot);
    writer.closeRow();
  }
  writer.write("</border> </table> \n</div> <br clear=\"all\"> \n <BR> ");
}

void writeSectorTable(ReportWriter& writer, int sector, const std::vector<SectorRow>& rows) {
  writer.write(sector % 2 == 1 ? kLeftTable : kCentreTable);
  writer.write("<caption align=\"left\"> SECTOR ");
  writer.writeNumber(sector);
  writer.write(" </caption> ");
  writer.write(kPosTitle);
  writer.write(kDriverCarTitles);
  writer.write(
      " </td>\n<td align=\"center\"> lap time"
      " </td>\n <td align=\"center\"> -first");
  if (writer.noSpeedValues()) {
    writer.write(" </td>\n<td align=\"center\"> grid");
  } else {
    writer.write(" </td>\n<td align=\"center\"> v min </td>\n<td align=\"center\"> v max");
  }
  writer.write(" </td>\n </tr>");
  for (const SectorRow& row : rows) {
    writer.openRow(row.Slot);
    // The car cell, the gap cell and the first speed cell are left open, as in the classic report.
    writer.writeRankCells(row.Position, row.Slot);
    writer.write("<td align=\"right\"> ");
    writer.formatSectorTime(row.SectorTime);
    writer.write(" </td> <td> ");
    if (row.GapToFirst) writer.formatGap(*row.GapToFirst);
    if (writer.noSpeedValues()) {
      writer.write("<td>");
      writer.writeGridImage(row.Slot);
      writer.write("</td>");
    } else {
      writer.write("<td align=\"right\"> ");
      writer.formatHundredths(row.MinSpeed);
      writer.write("<td align=\"right\"> ");
      writer.formatHundredths(row.MaxSpeed);
      writer.write(" </td> ");
    }
    writer.write("\n </tr> \n");
  }
  writer.write(kTableEnd);
}

void writePracticeLapList(ReportWriter& writer, const std::vector<PracticeLapRow>& rows) {
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
  // A row holds the lap number only and is never closed, as in the classic report.
  for (const PracticeLapRow& row : rows) {
    writer.write("<tr> \n<td align=\"center\"> ");
    writer.writeNumber(row.Lap);
    writer.write(" </td> ");
  }
  writer.write("</border> </table> \n <BR> <BR> ");
}

// The last table of the report without a race: caption and header row only.
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
  writeFastestLapTable(writer, race, rankFastestLaps(writer.store(), race));
  writer.write(kTableEnd);
  writer.write(kCentreTable);
  writeFastestLapTable(writer, practice, rankFastestLaps(writer.store(), practice));
  writer.write(kTableEnd);
  writer.write(kEndOfTableRow);
}

// The four sector tables two by two. The block opens two divisions and the document frame closes
// only one of them, as in the classic report.
void writeSectorTables(ReportWriter& writer) {
  writer.write("<div align=\"left\">");
  for (int sector = 1; sector <= kSectorCount; ++sector) {
    if (sector == 3) writer.write(" <BR> <br clear=\"all\"> <div> ");
    writeSectorTable(writer, sector, rankSector(writer.store(), sector));
  }
  writer.write(" <BR> <BR> ");
}

// Tables 1 to 15 with the divisions and breaks that stand between them.
void writeRaceBody(ReportWriter& writer, std::span<const Penalty> penalties) {
  const EventStore& store = writer.store();
  if (penalties.empty()) {
    writeResultTable(writer, rankResult(store));
  } else {
    const std::vector<ResultRow> rows = rankClassification(store, penalties);
    writeResultTable(writer, rows);
    writePenaltyLines(writer, rows, penalties);
  }
  writeConsistencyTable(writer, rankConsistency(store));
  writeLeaderTable(writer, findLeaderStints(store));

  writeFastestLapPair(writer, FastestLapMember::kRace, FastestLapMember::kPractice);
  writeDevelopmentTable(writer, listDevelopment(store));
  writeFastestLapPair(writer, FastestLapMember::kRaceOnTrack, FastestLapMember::kPracticeOnTrack);

  writeOnTrackLapsTable(writer, rankOnTrackLaps(store));
  if (!writer.noSpeedValues()) writeSpeedTable(writer, rankSpeeds(store));
  writeFastestLapCountTable(writer, rankFastestLapCounts(store));
  writeSectorTables(writer);
  writer.write("</div> ");
}

}  // namespace

void writeReport(const EventStore& store, std::ostream& out, std::span<const Penalty> penalties) {
  ReportWriter writer(store, out);
  writeDocumentHead(writer);
  if (store.RaceFound != 0) {
    writeRaceBody(writer, penalties);
  } else {
    writePracticeLapList(writer, listPracticeLaps(store));
    writeIdealLaps(writer);
    writer.write(" <BR> <BR> <BR> ");
  }
  if (!writer.noSpeedValues()) {
    writer.write("<div> All speed values are without warranty </div> ");
  }
  writer.write("</body> \n</html> \n");
}

}  // namespace vorlind
