// Helpers for the report tests: a fresh store on the heap, setters for the few cells a test
// needs, and the fixed table openings of the report as the reader of the HTML file sees them.
#pragma once

#include <initializer_list>
#include <memory>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "replay/event_store.h"
#include "report/report_writer.h"

namespace vorlind::report_test {

inline std::unique_ptr<EventStore> makeStore() {
  auto store = std::make_unique<EventStore>();
  initEventStore(*store);
  return store;
}

// Names slots 0..9 "Ola Olive", "Ann Alder", "Ben Birch", ... and 20..22 "Ted Teak", "Uma Ulmus",
// "Lou Larch".
inline void nameSlots(EventStore& store, std::initializer_list<int> slots) {
  static constexpr std::string_view kNames[][2] = {
      {"Ola", "Olive"}, {"Ann", "Alder"}, {"Ben", "Birch"}, {"Cid", "Cedar"}, {"Dan", "Dogwood"},
      {"Eve", "Elm"},   {"Fay", "Fir"},   {"Gus", "Gum"},   {"Hal", "Hazel"}, {"Ivy", "Ilex"},
      {"Ted", "Teak"},  {"Uma", "Ulmus"}, {"Lou", "Larch"}};
  for (int slot : slots) {
    const auto& name = kNames[slot < 20 ? slot : slot - 10];
    store.SlotFirstName[slot].assign(name[0]);
    store.SlotLastName[slot].assign(name[1]);
    store.SlotCar[slot] = 7;  // no logo, which keeps the expected rows short
  }
}

// Crossing times from the first crossing on; the lap times and the lap count follow from them.
inline void setRaceCrossings(EventStore& store, int slot, const std::vector<int32_t>& crossings) {
  for (size_t k = 0; k < crossings.size(); ++k) {
    store.RaceCumTime[slot][k] = crossings[k];
    store.RaceLapTime[slot][k] = k == 0 ? crossings[0] : crossings[k] - crossings[k - 1];
  }
  store.RaceLapCount[slot] = static_cast<int32_t>(crossings.size()) - 1;
}

template <typename WriteFn>
std::string render(const EventStore& store, WriteFn write) {
  std::ostringstream out;
  ReportWriter writer(store, out);
  write(writer);
  return out.str();
}

inline constexpr std::string_view kYellowRow = "<tr bgcolor=\"#FFFF00\"> \n";
inline constexpr std::string_view kPlainRow = "<tr> \n";
inline constexpr std::string_view kRowEnd = " </td> \n </tr> \n";
inline constexpr std::string_view kGridA = "<img src=\"images/grid_A.gif\" />";
inline constexpr std::string_view kGridB = "<img src=\"images/grid_B.gif\" />";

// A centred header cell, and the four sector cells "S1<suffix>" .. "S4<suffix>".
inline std::string c(const std::string& text) {
  return "<td align=\"center\"> " + text + " </td>\n";
}
inline std::string sectorCells(const std::string& prefix, const std::string& suffix) {
  std::string cells;
  for (int k = 1; k <= 4; ++k) cells += c(prefix + std::to_string(k) + suffix);
  return cells;
}
inline const std::string kPosDriverCar =
    "<tr> <td>\n pos </td>\n<td> driver </td>\n <td align=\"center\">  car </td>\n";

inline const std::string kResultHead = [] {
  std::string head =
      "<div> <table border=3 cellpadding=\"0\" align=\"left\"> <caption "
      "align=\"center\"> RESULT </caption> \n  </td>\n";
  for (int d = 10; d <= 90; d += 10)
    head += " <td align=\"center\">  " + std::to_string(d) + "  </td>\n";
  return head +
         " <td align=\"center\">  pos </td>\n<td> driver </td>\n <td align=\"center\">  car "
         "</td>\n" +
         c("laps") + " " + c("race time") + c("-first") + c("grid") + " </tr>";
}();

inline const std::string kConsistencyHead =
    "<table border=3 cellpadding=\"2\" align=\"center\"> <caption align=\"left\"> CONSISTENCY "
    "</caption> <tr> <td>\n pos </td>\n<td> driver </td>\n<td align=\"center\">av. lap t </td>\n " +
    c("c.in s ") + " " + c("in % ") + " </tr> ";
inline constexpr std::string_view kConsistencyEnd =
    "</border>  </table> \n</div> <br clear=\"all\"> <BR> ";

inline constexpr std::string_view kLeaderHead =
    "<table border=3 cellpadding=\"3\"> <caption align=\"left\"> LEADER </caption> <tr> \n";
inline constexpr std::string_view kLeaderEnd =
    "</tr> \n </border> </table> \n <BR> <BR><br clear=\"all\"> ";

// Caption and header of a fastest lap member; `title` as in "FASTEST RACE LAPS".
inline std::string fastestLapHead(std::string_view title, bool colourCell) {
  return "<caption align=\"left\"> " + std::string(title) + " </caption> " +
         (colourCell ? "<tr> <td>\n otl </td>\n" + c("pos") : "<tr> <td>\n pos </td>\n") +
         "<td> driver </td>\n " + c(" car") + c("lap time") + " " + c("-first") + c("-before") +
         c("fl/nl") + c("grid") + " </tr>";
}

inline constexpr std::string_view kDevelopmentHead =
    "<table border=3 cellpadding=\"3\"> <caption align=\"left\"> DEVELOPMENT FASTEST LAP "
    "</caption> <tr> \n";
inline constexpr std::string_view kDevelopmentEnd = "</tr> \n </border> </table> \n <BR> <BR> ";

inline const std::string kOnTrackHead =
    "<div> <table border=3 cellpadding=\"1\" align=\"left\"> <caption align=\"left\"> ON TRACK "
    "LAPS </caption> " +
    kPosDriverCar + c("%") + c("ol/nl") + " </tr>";
inline const std::string kSpeedHead =
    "<table border=3 cellpadding=\"0\" align=\"right\"> <caption align=\"left\"> SPEED "
    "</caption> " +
    kPosDriverCar + c("v min") + c("v max") + " </tr>";
inline constexpr std::string_view kTableEnd = "</border> </table> \n";

inline const std::string kFastestLapCountHead =
    "<table border=3 cellpadding=\"2\" align=\"center\"> <caption align=\"left\"> NUMBER OF "
    "FASTEST LAPS </caption> <tr> " +
    c("laps ") + "<td> driver </td>\n </tr>";
inline constexpr std::string_view kFastestLapCountEnd =
    "</border> </table> \n</div> <br clear=\"all\"> \n <BR> ";

// Table tag, caption and header of sector table `sector`.
inline std::string sectorHead(int sector, bool speeds) {
  return std::string("<table border=3 cellpadding=\"0\" align=\"") +
         (sector % 2 == 1 ? "left" : "center") + "\"> <caption align=\"left\"> SECTOR " +
         std::to_string(sector) + " </caption> " + kPosDriverCar + c("lap time") + " " +
         c("-first") + (speeds ? c("v min") + c("v max") : c("grid")) + " </tr>";
}

inline const std::string kPracticeHeader =
    "<tr> <td>\n lap </td>\n" + sectorCells("sec", "") + c("lap time") + "<td> cha </td>\n" +
    c("v min") + c("v max") + "<td> cha </td>\n" + sectorCells("S", "max") + "<td> cha </td>\n" +
    sectorCells("S", "min") + " </tr>";

inline const std::string kIdealLaps =
    "<table border=3 cellpadding=\"0\"> <caption align=\"left\"> IDEAL LAPS</caption> <tr> "
    "<td>\n  </td>\n<td> sec1  </td>\n<td> sec2  </td>\n<td> sec3  </td>\n<td> sec4  </td>\n" +
    c("ideal t") + "<td>  </td>\n" + c("v min") + c("v max") + "<td>  </td>\n" +
    sectorCells("S", "max") + "<td>  </td>\n" + sectorCells("S", "min") +
    " </tr></border> </table> \n";

}  // namespace vorlind::report_test
