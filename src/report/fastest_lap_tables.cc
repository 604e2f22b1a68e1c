#include "report/fastest_lap_tables.h"

#include "report/ranking.h"
#include "report/report_arithmetic.h"

namespace vorlind {

namespace {

// Laps of this length or shorter are never ranked.
constexpr int32_t kShortestRankedLap = 30000;

struct MemberData {
  std::string_view caption;
  const SlotValues& bestLap;
  const SlotValues& bestLapNo;
  const SlotValues& lapCount;
  const SlotMarks* offTrack;  // null: the member has no colour cell
};

MemberData memberData(const EventStore& store, FastestLapMember member) {
  switch (member) {
    case FastestLapMember::kRace:
      return {"<caption align=\"left\"> FASTEST RACE LAPS </caption> ", store.RaceBestLap,
              store.RaceBestLapNo, store.RaceLapCount, &store.RaceOffTrack};
    case FastestLapMember::kPractice:
      return {"<caption align=\"left\"> FASTEST PRACTICE LAPS </caption> ", store.PracticeBestLap,
              store.PracticeBestLapNo, store.PracticeLapCount, &store.PracticeOffTrack};
    case FastestLapMember::kRaceOnTrack:
      return {"<caption align=\"left\"> FASTEST RACE LAPS (ONLY ON TRACK) </caption> ",
              store.RaceBestOnTrackLap, store.RaceBestOnTrackLapNo, store.RaceLapCount, nullptr};
    case FastestLapMember::kPracticeOnTrack:
      break;
  }
  return {"<caption align=\"left\"> FASTEST PRACTICE LAPS (ONLY ON TRACK) </caption> ",
          store.PracticeBestOnTrackLap, store.PracticeBestOnTrackLapNo, store.PracticeLapCount,
          nullptr};
}

}  // namespace

void writeFastestLapTable(ReportWriter& writer, FastestLapMember member) {
  const MemberData data = memberData(writer.store(), member);
  writer.write(data.caption);
  if (data.offTrack != nullptr) {
    writer.write("<tr> <td>\n otl </td>\n<td align=\"center\"> pos");
  } else {
    writer.write("<tr> <td>\n pos");
  }
  writer.write(
      " </td>\n<td> driver"
      " </td>\n <td align=\"center\">  car"
      " </td>\n<td align=\"center\"> lap time"
      " </td>\n <td align=\"center\"> -first"
      " </td>\n<td align=\"center\"> -before"
      " </td>\n<td align=\"center\"> fl/nl"
      " </td>\n<td align=\"center\"> grid"
      " </td>\n </tr>");

  writer.markAllUnlisted();
  int32_t firstKey = 0;
  int32_t previousKey = 0;
  for (int position = 1; position <= kSlotCount; ++position) {
    const Selection choice = selectNext(
        writer.unlisted(), kSmallestFromNoTime,
        [&](int slot) { return data.bestLap[slot] > kShortestRankedLap; },
        [&](int slot) { return data.bestLap[slot]; });
    if (choice.slot == 0) break;
    const int slot = choice.slot;
    writer.openRow(slot);
    if (data.offTrack != nullptr) {
      const bool offTrack = cellAt((*data.offTrack)[slot], data.bestLapNo[slot]) != 0;
      writer.write(offTrack ? " <td bgcolor=\"#000000\">" : " <td bgcolor=\"#00FF00\">");
      writer.write(" </td> ");
    }
    writer.writeRankCells(position, slot);
    writer.write(" </td> <td> ");
    writer.formatLapTime(choice.key);
    writer.write(" </td> <td> ");
    if (position > 1) writer.formatGap(wrap32(int64_t{choice.key} - firstKey));
    writer.write(" </td> <td> ");
    if (position > 1) writer.formatGap(wrap32(int64_t{choice.key} - previousKey));
    writer.write("<td align=\"center\"> ");
    writer.writeNumber(data.bestLapNo[slot]);
    writer.write("/");
    writer.writeNumber(data.lapCount[slot]);
    writer.write(" </td> <td align=\"center\"> ");
    writer.writeGridImage(slot);
    writer.closeRow();
    writer.markListed(slot);
    if (position == 1) firstKey = choice.key;
    previousKey = choice.key;
  }
}

}  // namespace vorlind
