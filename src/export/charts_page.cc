#include "export/charts_page.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "export/event_json.h"
#include "export/line_chart.h"
#include "report/lap_pass.h"
#include "report/report_writer.h"
#include "report/result_table.h"

namespace vorlind {

namespace {

constexpr const char* kHighlightColour = "#e00000";
constexpr const char* kGridColours[kGridCount] = {"#1f77b4", "#2ca02c", "#ff7f0e", "#9467bd",
                                                  "#8c564b"};
constexpr const char* kCarColours[] = {"#17becf", "#2ca02c", "#1f77b4", "#bcbd22",
                                       "#d62728", "#9467bd", "#ff7f0e"};
constexpr const char* kOtherCarColour = "#7f7f7f";

const char* carColour(int32_t car) {
  return car >= 0 && car < static_cast<int32_t>(std::size(kCarColours)) ? kCarColours[car]
                                                                        : kOtherCarColour;
}

// The drivers of the race, in slot order, with the highlighted one last so that he is drawn on top.
std::vector<int> raceDrivers(const EventStore& store) {
  std::vector<int> slots;
  const std::optional<int> highlighted = highlightedDriver(store);
  for (int slot = 0; slot < kSlotCount; ++slot) {
    if (store.RaceLapCount[slot] > 0 && slotHoldsEntry(store, slot) && slot != highlighted) {
      slots.push_back(slot);
    }
  }
  if (highlighted && store.RaceLapCount[*highlighted] > 0) slots.push_back(*highlighted);
  return slots;
}

int lastLap(const EventStore& store, int slot) {
  return std::clamp(store.RaceLapCount[slot], 0, kCrossingCount - 1);
}

std::vector<ChartLegendEntry> gridLegend(const EventStore& store) {
  std::vector<ChartLegendEntry> legend;
  for (int grid = 0; grid < kGridCount; ++grid) {
    bool used = false;
    for (int slot : raceDrivers(store)) used = used || gridOfSlot(slot) == grid;
    if (used) legend.push_back({kGridColours[grid], std::string("grid ") + char('A' + grid)});
  }
  if (const std::optional<int> slot = highlightedDriver(store)) {
    legend.push_back({kHighlightColour, driverNameUtf8(store, *slot)});
  }
  return legend;
}

std::string lineColour(const EventStore& store, int slot) {
  return slot == highlightedDriver(store) ? kHighlightColour : kGridColours[gridOfSlot(slot)];
}

// A driver's line without points yet; the highlighted colour draws it strong.
ChartLine driverLine(const EventStore& store, int slot, std::string colour) {
  const bool strong = colour == kHighlightColour;
  return {driverNameUtf8(store, slot), std::move(colour), strong, {}, {}};
}

LineChart lapChart(const EventStore& store) {
  LineChart chart;
  chart.Title = "Lap chart: place after each lap";
  chart.StepLabel = "lap";
  chart.ValueLabel = "place";
  chart.ValuesDownward = true;
  chart.IntegerTicks = true;
  chart.Low = 1.0;
  chart.Legend = gridLegend(store);
  for (int slot : raceDrivers(store)) {
    const LapPlaces places = lapPlaces(store, slot);
    ChartLine line = driverLine(store, slot, lineColour(store, slot));
    for (int lap = 1; lap <= lastLap(store, slot); ++lap) {
      if (places[lap] > 0) line.Points.push_back({lap, static_cast<double>(places[lap])});
    }
    chart.Lines.push_back(std::move(line));
  }
  return chart;
}

LineChart raceTrace(const EventStore& store) {
  LineChart chart;
  chart.Title = "Race trace: gap to the leader after each lap, each grid on its own clock";
  chart.StepLabel = "lap";
  chart.ValueLabel = "gap to the leader (s)";
  chart.ValuesDownward = true;
  chart.Low = 0.0;
  chart.Legend = gridLegend(store);
  for (int slot : raceDrivers(store)) {
    ChartLine line = driverLine(store, slot, lineColour(store, slot));
    for (int lap = 1; lap <= lastLap(store, slot); ++lap) {
      const std::optional<int32_t> own = raceTimeAt(store, slot, lap);
      const std::optional<int32_t> leader = raceTimeAt(store, store.LapLeader[lap], lap);
      if (own && leader) line.Points.push_back({lap, (*own - *leader) / 1000.0});
    }
    chart.Lines.push_back(std::move(line));
  }
  return chart;
}

LineChart lapTimes(const EventStore& store) {
  LineChart chart;
  chart.Title = "Race lap times";
  chart.StepLabel = "lap";
  chart.ValueLabel = "lap time (s)";
  std::vector<bool> makeUsed(std::size(kCarMakes) + 1, false);
  for (int slot : raceDrivers(store)) {
    const int32_t car = store.SlotCar[slot];
    const bool known = car >= 0 && car < static_cast<int32_t>(std::size(kCarMakes));
    makeUsed[known ? static_cast<size_t>(car) : std::size(kCarMakes)] = true;
    ChartLine line = driverLine(
        store, slot, slot == highlightedDriver(store) ? kHighlightColour : carColour(car));
    for (int lap = 1; lap <= lastLap(store, slot); ++lap) {
      const int32_t time = store.RaceLapTime[slot][lap];
      if (time > 0) line.Points.push_back({lap, time / 1000.0});
    }
    chart.Lines.push_back(std::move(line));
  }
  for (size_t make = 0; make < std::size(kCarMakes); ++make) {
    if (makeUsed[make]) chart.Legend.push_back({kCarColours[make], kCarMakes[make]});
  }
  if (makeUsed.back()) chart.Legend.push_back({kOtherCarColour, "other car"});
  if (const std::optional<int> slot = highlightedDriver(store)) {
    chart.Legend.push_back({kHighlightColour, driverNameUtf8(store, *slot)});
  }
  return chart;
}

}  // namespace

void writeChartsPage(const EventStore& store, std::ostream& out) {
  const std::string track = xmlEscape(latin1ToUtf8(store.TrackName.view()));
  const std::string event = xmlEscape(latin1ToUtf8(store.ReportBaseName.view()));
  out << "<!DOCTYPE html>\n"
      << "<html xmlns=\"http://www.w3.org/1999/xhtml\" lang=\"en\">\n<head>\n"
      << "<meta charset=\"utf-8\"/>\n<title>" << event << " charts</title>\n"
      << "<style>body{font-family:sans-serif;margin:16px;max-width:1220px}"
      << "svg{display:block;margin:8px 0 28px 0;border:1px solid #cccccc}</style>\n"
      << "</head>\n<body>\n<h1>" << event << ": track " << track << ", " << store.MaxRaceLaps
      << " race laps</h1>\n";
  if (store.RaceFound == 0 || raceDrivers(store).empty()) {
    out << "<p>The event has no race laps to chart.</p>\n";
  } else {
    writeLineChart(lapChart(store), out);
    writeLineChart(raceTrace(store), out);
    writeLineChart(lapTimes(store), out);
  }
  out << "</body>\n</html>\n";
}

}  // namespace vorlind
