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

TEST(ReportFormat, TimesSecondsAndHundredths) {
  using W = ReportWriter;
  const struct {
    void (W::*format)(int32_t);
    int32_t value;
    const char* text;
  } cases[] = {{&W::formatClockTime, 0, "0:00.000"},    {&W::formatClockTime, 83456, "1:23.456"},
               {&W::formatClockTime, 5007, "0:05.007"}, {&W::formatClockTime, 3600000, "60:00.000"},
               {&W::formatLapTime, 83456, "1:23.456"},  {&W::formatLapTime, 3600000, "0:00.000"},
               {&W::formatLapTime, 60050, "1:00.050"},  {&W::formatSeconds, 1234, "1.234"},
               {&W::formatSeconds, 61234, "1.234"},     {&W::formatHundredths, 5, "0.05"},
               {&W::formatHundredths, 100, "1.00"},     {&W::formatHundredths, 1205, "12.05"},
               {&W::formatHundredths, 1234, "12.34"},   {&W::formatHundredths, 23456, "234.56"}};
  for (const auto& [format, value, text] : cases)
    EXPECT_EQ(formatted(format, value), text) << value;
}

TEST(ReportFormat, GapsShowMinutesOnlyFromOneMinute) {
  const struct {
    int32_t value;
    bool reduce;
    const char* text;
  } cases[] = {{5123, true, "-5.123"},       {65123, true, "-1:05.123"},
               {59999, true, "-59.999"},     {60000, true, "-1:00.000"},
               {7, true, "-0.007"},          {0, true, "-0.000"},
               {3665123, true, "-1:05.123"}, {3665123, false, "-61:05.123"},
               {3600500, true, "-0.500"}};
  for (const auto& [value, reduce, text] : cases) EXPECT_EQ(gap(value, reduce), text) << value;
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
  const std::pair<int, std::string_view> cases[] = {{0, kGridA},
                                                    {19, kGridA},
                                                    {20, ""},
                                                    {21, kGridB},
                                                    {40, ""},
                                                    {59, "<img src=\"images/grid_C.gif\" />"},
                                                    {60, ""},
                                                    {61, "<img src=\"images/grid_D.gif\" />"},
                                                    {80, ""},
                                                    {81, "<img src=\"images/grid_E.gif\" />"},
                                                    {99, "<img src=\"images/grid_E.gif\" />"}};
  for (const auto& [slot, text] : cases) EXPECT_EQ(image(slot), text) << slot;
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

TEST(ReportDocument, RaceKeepsEveryTableFrameAndNoSpeedValuesDropsSpeedAndWarranty) {
  auto store = namedEvent();
  store->RaceFound = 1;
  for (int32_t noSpeed : {0, -1}) {
    store->NoSpeedValues = noSpeed;
    std::ostringstream out;
    writeReport(*store, out);
    EXPECT_EQ(out.str(), std::string(kDocumentHead) + emptyRaceBody(noSpeed == 0) +
                             std::string(noSpeed == 0 ? kWarranty : "") +
                             std::string(kDocumentEnd));
  }
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
