#include "report/report_writer.h"

#include <gtest/gtest.h>

#include "report/report_test_support.h"

namespace vorlind {
namespace {

using namespace report_test;

std::string formatted(void (ReportWriter::*format)(int32_t), int32_t value) {
  auto store = makeStore();
  return render(*store, [&](ReportWriter& w) { (w.*format)(value); });
}

std::string gap(int32_t value, bool reduceMinutes) {
  auto store = makeStore();
  return render(*store, [&](ReportWriter& w) { w.formatGap(value, reduceMinutes); });
}

TEST(ReportFormat, ClockAndLapTimes) {
  EXPECT_EQ(formatted(&ReportWriter::formatClockTime, 0), "0:00.000");
  EXPECT_EQ(formatted(&ReportWriter::formatClockTime, 83456), "1:23.456");
  EXPECT_EQ(formatted(&ReportWriter::formatClockTime, 5007), "0:05.007");
  EXPECT_EQ(formatted(&ReportWriter::formatClockTime, 3600000), "60:00.000");
  EXPECT_EQ(formatted(&ReportWriter::formatLapTime, 83456), "1:23.456");
  EXPECT_EQ(formatted(&ReportWriter::formatLapTime, 3600000), "0:00.000");
  EXPECT_EQ(formatted(&ReportWriter::formatLapTime, 60050), "1:00.050");
}

TEST(ReportFormat, GapsShowMinutesOnlyFromOneMinute) {
  EXPECT_EQ(gap(5123, true), "-5.123");
  EXPECT_EQ(gap(65123, true), "-1:05.123");
  EXPECT_EQ(gap(59999, true), "-59.999");
  EXPECT_EQ(gap(60000, true), "-1:00.000");
  EXPECT_EQ(gap(7, true), "-0.007");
  EXPECT_EQ(gap(0, true), "-0.000");
  EXPECT_EQ(gap(3665123, true), "-1:05.123");
  EXPECT_EQ(gap(3665123, false), "-61:05.123");
  EXPECT_EQ(gap(3600500, true), "-0.500");
}

TEST(ReportFormat, SecondsAndHundredths) {
  EXPECT_EQ(formatted(&ReportWriter::formatSeconds, 1234), "1.234");
  EXPECT_EQ(formatted(&ReportWriter::formatSeconds, 61234), "1.234");
  EXPECT_EQ(formatted(&ReportWriter::formatHundredths, 5), "0.05");
  EXPECT_EQ(formatted(&ReportWriter::formatHundredths, 100), "1.00");
  EXPECT_EQ(formatted(&ReportWriter::formatHundredths, 1205), "12.05");
  EXPECT_EQ(formatted(&ReportWriter::formatHundredths, 1234), "12.34");
  EXPECT_EQ(formatted(&ReportWriter::formatHundredths, 23456), "234.56");
}

TEST(ReportWriter, RowsOfTheHighlightSlotAreYellow) {
  auto store = makeStore();
  auto row = [&](int slot) { return render(*store, [&](ReportWriter& w) { w.openRow(slot); }); };
  EXPECT_EQ(row(0), kYellowRow);  // no highlight driver found: slot 0 stands in
  EXPECT_EQ(row(7), kPlainRow);
  store->HighlightSlot = 7;
  EXPECT_EQ(row(7), kYellowRow);
  EXPECT_EQ(row(0), kPlainRow);
  EXPECT_EQ(render(*store, [](ReportWriter& w) { w.closeRow(); }), kRowEnd);
}

TEST(ReportWriter, CarLogoByCarNumber) {
  auto store = makeStore();
  const char* makes[] = {"Brabham", "BRM", "Cooper", "Eagle", "Ferrari", "Lotus", "Honda"};
  for (int car = -1; car <= 7; ++car) {
    store->SlotCar[3] = car;
    const std::string expected =
        car >= 0 && car <= 6 ? std::string("<img src=\"images/logo_") + makes[car] + ".gif\" />"
                             : "";
    EXPECT_EQ(render(*store, [](ReportWriter& w) { w.writeCarLogo(3); }), expected) << car;
  }
}

TEST(ReportWriter, GridImageLeavesOutSlotsOfTwentyMultiples) {
  auto store = makeStore();
  auto image = [&](int slot) {
    return render(*store, [&](ReportWriter& w) { w.writeGridImage(slot); });
  };
  EXPECT_EQ(image(0), kGridA);
  EXPECT_EQ(image(19), kGridA);
  EXPECT_EQ(image(20), "");
  EXPECT_EQ(image(21), kGridB);
  EXPECT_EQ(image(40), "");
  EXPECT_EQ(image(59), "<img src=\"images/grid_C.gif\" />");
  EXPECT_EQ(image(60), "");
  EXPECT_EQ(image(61), "<img src=\"images/grid_D.gif\" />");
  EXPECT_EQ(image(80), "");
  EXPECT_EQ(image(81), "<img src=\"images/grid_E.gif\" />");
  EXPECT_EQ(image(99), "<img src=\"images/grid_E.gif\" />");
}

std::unique_ptr<EventStore> namedEvent() {
  auto store = makeStore();
  store->TrackName.assign("Kestrel");
  store->ReportBaseName.assign("heat1All");
  store->ModName.assign("GP67");
  return store;
}

constexpr std::string_view kDocumentHead =
    "<html> \n<head> \n <PRE> track:   Kestrel          file name:   heat1All           MOD:    "
    "GP67 </PRE>  <BR> <BR> </head> \n<body> \n";
constexpr std::string_view kWarranty = "<div> All speed values are without warranty </div> ";
constexpr std::string_view kDocumentEnd = "</body> \n</html> \n";

std::string emptyRaceBody(bool speeds) {
  const std::string left = "<table border=3 cellpadding=\"0\" align=\"left\"> ";
  const std::string centre = "<table border=3 cellpadding=\"0\" align=\"center\"> ";
  const std::string rowOfTablesEnd = "</div> <br clear=\"all\"> <BR> ";
  std::string body = kResultHead + std::string(kTableEnd) + kConsistencyHead +
                     std::string(kConsistencyEnd) + std::string(kLeaderHead) +
                     std::string(kLeaderEnd);
  body += "<div> " + left + fastestLapHead("FASTEST RACE LAPS", true) + std::string(kTableEnd) +
          centre + fastestLapHead("FASTEST PRACTICE LAPS", true) + std::string(kTableEnd) +
          rowOfTablesEnd;
  body += std::string(kDevelopmentHead) + std::string(kDevelopmentEnd);
  body += "<div> " + left + fastestLapHead("FASTEST RACE LAPS (ONLY ON TRACK)", false) +
          std::string(kTableEnd) + centre +
          fastestLapHead("FASTEST PRACTICE LAPS (ONLY ON TRACK)", false) + std::string(kTableEnd) +
          rowOfTablesEnd;
  body += std::string(kOnTrackHead) + std::string(kTableEnd);
  if (speeds) body += std::string(kSpeedHead) + std::string(kTableEnd);
  body += std::string(kFastestLapCountHead) + std::string(kFastestLapCountEnd);
  body += "<div align=\"left\">" + sectorHead(1, speeds) + std::string(kTableEnd) +
          sectorHead(2, speeds) + std::string(kTableEnd) + " <BR> <br clear=\"all\"> <div> " +
          sectorHead(3, speeds) + std::string(kTableEnd) + sectorHead(4, speeds) +
          std::string(kTableEnd) + " <BR> <BR> ";
  return body + "</div> ";
}

TEST(ReportDocument, RaceWithoutRankedEntriesKeepsEveryTableFrame) {
  auto store = namedEvent();
  store->RaceFound = 1;
  std::ostringstream out;
  writeReport(*store, out);
  EXPECT_EQ(out.str(), std::string(kDocumentHead) + emptyRaceBody(true) + std::string(kWarranty) +
                           std::string(kDocumentEnd));
}

TEST(ReportDocument, NoSpeedValuesDropsSpeedTableAndWarranty) {
  auto store = namedEvent();
  store->RaceFound = 1;
  store->NoSpeedValues = -1;
  std::ostringstream out;
  writeReport(*store, out);
  EXPECT_EQ(out.str(),
            std::string(kDocumentHead) + emptyRaceBody(false) + std::string(kDocumentEnd));
}

TEST(ReportDocument, EventWithoutRaceListsPracticeLapsAndIdealLaps) {
  auto store = namedEvent();
  const std::string practice =
      "<table border=3 cellpadding=\"0\"> <caption align=\"left\"> "
      "PRACTISE LAPS of   </caption> " +
      std::string(kPracticeHeader) + "</border> </table> \n <BR> <BR> ";
  const std::string body = practice + std::string(kIdealLaps) + " <BR> <BR> <BR> ";
  std::ostringstream withSpeeds;
  writeReport(*store, withSpeeds);
  EXPECT_EQ(withSpeeds.str(),
            std::string(kDocumentHead) + body + std::string(kWarranty) + std::string(kDocumentEnd));
  store->NoSpeedValues = 150;
  std::ostringstream withoutSpeeds;
  writeReport(*store, withoutSpeeds);
  EXPECT_EQ(withoutSpeeds.str(), std::string(kDocumentHead) + body + std::string(kDocumentEnd));
}

}  // namespace
}  // namespace vorlind
