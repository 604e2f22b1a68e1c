#include "export/charts_page.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <optional>
#include <vector>

#include "export/event_json.h"
#include "report/lap_pass.h"
#include "report/report_writer.h"
#include "report/result_table.h"

namespace vorlind {

namespace {

constexpr int kWidth = 1200;
constexpr int kHeight = 560;
constexpr int kLeft = 80;
constexpr int kRight = 190;  // room for the names at the line ends
constexpr int kTop = 84;
constexpr int kBottom = 56;
constexpr const char* kHighlightColour = "#e00000";
constexpr const char* kGridColours[kGridCount] = {"#1f77b4", "#2ca02c", "#ff7f0e", "#9467bd",
                                                  "#8c564b"};
constexpr const char* kCarMakes[] = {"Brabham", "BRM",   "Cooper", "Eagle",
                                     "Ferrari", "Lotus", "Honda"};
constexpr const char* kCarColours[] = {"#17becf", "#2ca02c", "#1f77b4", "#bcbd22",
                                       "#d62728", "#9467bd", "#ff7f0e"};
constexpr const char* kOtherCarColour = "#7f7f7f";

struct Point {
  int Lap = 0;
  double Value = 0;
};

struct Series {
  int Slot = 0;
  std::string Colour;
  std::vector<Point> Points;
};

struct LegendEntry {
  std::string Colour;
  std::string Label;
};

struct Chart {
  std::string Title;
  std::string YLabel;
  bool YDownward = false;  // the smallest value at the top (places, gaps)
  bool IntegerTicks = false;
  std::vector<Series> Lines;
  std::vector<LegendEntry> Legend;
};

std::string number(double value, int decimals) {
  char text[32];
  const auto written =
      std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals);
  return std::string(text, written.ptr);
}

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

std::vector<LegendEntry> gridLegend(const EventStore& store) {
  std::vector<LegendEntry> legend;
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

Chart lapChart(const EventStore& store) {
  Chart chart{"Lap chart: place after each lap", "place", true, true, {}, gridLegend(store)};
  for (int slot : raceDrivers(store)) {
    const LapPlaces places = lapPlaces(store, slot);
    Series line{slot, lineColour(store, slot), {}};
    for (int lap = 1; lap <= lastLap(store, slot); ++lap) {
      if (places[lap] > 0) line.Points.push_back({lap, static_cast<double>(places[lap])});
    }
    chart.Lines.push_back(std::move(line));
  }
  return chart;
}

Chart raceTrace(const EventStore& store) {
  Chart chart{"Race trace: gap to the leader after each lap, each grid on its own clock",
              "gap to the leader (s)",
              true,
              false,
              {},
              gridLegend(store)};
  for (int slot : raceDrivers(store)) {
    Series line{slot, lineColour(store, slot), {}};
    for (int lap = 1; lap <= lastLap(store, slot); ++lap) {
      const std::optional<int32_t> own = raceTimeAt(store, slot, lap);
      const std::optional<int32_t> leader = raceTimeAt(store, store.LapLeader[lap], lap);
      if (own && leader) line.Points.push_back({lap, (*own - *leader) / 1000.0});
    }
    chart.Lines.push_back(std::move(line));
  }
  return chart;
}

Chart lapTimes(const EventStore& store) {
  Chart chart{"Race lap times", "lap time (s)", false, false, {}, {}};
  std::vector<bool> makeUsed(std::size(kCarMakes) + 1, false);
  for (int slot : raceDrivers(store)) {
    const int32_t car = store.SlotCar[slot];
    const bool known = car >= 0 && car < static_cast<int32_t>(std::size(kCarMakes));
    makeUsed[known ? static_cast<size_t>(car) : std::size(kCarMakes)] = true;
    Series line{slot, slot == highlightedDriver(store) ? kHighlightColour : carColour(car), {}};
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

// A tick step of 1, 2 or 5 times a power of ten that gives about `ticks` ticks over `span`.
double tickStep(double span, int ticks, bool integer) {
  const double raw = std::max(span / ticks, integer ? 1.0 : 1e-3);
  const double power = std::pow(10.0, std::floor(std::log10(raw)));
  for (const double factor : {1.0, 2.0, 5.0}) {
    if (factor * power >= raw) return factor * power;
  }
  return 10 * power;
}

void writeChart(const EventStore& store, const Chart& chart, std::ostream& out) {
  int maxLap = 1;
  double low = 0;
  double high = 1;
  bool first = true;
  for (const Series& line : chart.Lines) {
    for (const Point& point : line.Points) {
      maxLap = std::max(maxLap, point.Lap);
      low = first ? point.Value : std::min(low, point.Value);
      high = first ? point.Value : std::max(high, point.Value);
      first = false;
    }
  }
  if (chart.IntegerTicks) low = 1;
  if (chart.YDownward && !chart.IntegerTicks) low = 0;
  if (high <= low) high = low + 1;
  const double plotWidth = kWidth - kLeft - kRight;
  const double plotHeight = kHeight - kTop - kBottom;
  auto x = [&](double lap) {
    return kLeft + (maxLap == 1 ? 0.5 : (lap - 1) / (maxLap - 1)) * plotWidth;
  };
  auto y = [&](double value) {
    const double share = (value - low) / (high - low);
    return kTop + (chart.YDownward ? share : 1 - share) * plotHeight;
  };

  out << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << kWidth << "\" height=\"" << kHeight
      << "\" viewBox=\"0 0 " << kWidth << ' ' << kHeight << "\" role=\"img\">\n"
      << "<title>" << xmlEscape(chart.Title) << "</title>\n"
      << "<rect width=\"" << kWidth << "\" height=\"" << kHeight << "\" fill=\"#ffffff\"/>\n"
      << "<text x=\"" << kWidth / 2 << "\" y=\"26\" text-anchor=\"middle\" font-size=\"18\" "
      << "font-weight=\"bold\">" << xmlEscape(chart.Title) << "</text>\n";

  double legendX = kLeft;
  for (const LegendEntry& entry : chart.Legend) {
    out << "<rect x=\"" << number(legendX, 1) << "\" y=\"42\" width=\"18\" height=\"10\" fill=\""
        << entry.Colour << "\"/><text x=\"" << number(legendX + 24, 1)
        << "\" y=\"52\" font-size=\"13\">" << xmlEscape(entry.Label) << "</text>\n";
    legendX += 40 + 7.5 * static_cast<double>(entry.Label.size());
  }

  const double lapStep = tickStep(maxLap, 20, true);
  for (double lap = 1; lap <= maxLap; lap += lapStep) {
    out << "<line x1=\"" << number(x(lap), 1) << "\" y1=\"" << kTop << "\" x2=\""
        << number(x(lap), 1) << "\" y2=\"" << kHeight - kBottom
        << "\" stroke=\"#e4e4e4\"/><text x=\"" << number(x(lap), 1) << "\" y=\""
        << kHeight - kBottom + 18 << "\" text-anchor=\"middle\" font-size=\"12\">" << lap
        << "</text>\n";
  }
  const double valueStep = tickStep(high - low, 10, chart.IntegerTicks);
  const int decimals = valueStep >= 1 ? 0 : 1;
  for (double value = std::ceil(low / valueStep) * valueStep; value <= high + 1e-9;
       value += valueStep) {
    out << "<line x1=\"" << kLeft << "\" y1=\"" << number(y(value), 1) << "\" x2=\""
        << kWidth - kRight << "\" y2=\"" << number(y(value), 1)
        << "\" stroke=\"#e4e4e4\"/><text x=\"" << kLeft - 8 << "\" y=\"" << number(y(value) + 4, 1)
        << "\" text-anchor=\"end\" font-size=\"12\">" << number(value, decimals) << "</text>\n";
  }
  out << "<rect x=\"" << kLeft << "\" y=\"" << kTop << "\" width=\"" << plotWidth << "\" height=\""
      << plotHeight << "\" fill=\"none\" stroke=\"#000000\"/>\n"
      << "<text x=\"" << kLeft + plotWidth / 2 << "\" y=\"" << kHeight - 14
      << "\" text-anchor=\"middle\" font-size=\"14\">lap</text>\n"
      << "<text x=\"20\" y=\"" << kTop + plotHeight / 2 << "\" text-anchor=\"middle\" "
      << "font-size=\"14\" transform=\"rotate(-90 20 " << kTop + plotHeight / 2 << ")\">"
      << xmlEscape(chart.YLabel) << "</text>\n";

  for (const Series& line : chart.Lines) {
    if (line.Points.empty()) continue;
    const bool strong = line.Colour == kHighlightColour;
    out << "<polyline fill=\"none\" stroke=\"" << line.Colour << "\" stroke-width=\""
        << (strong ? "3.5" : "1.5") << "\" stroke-opacity=\"" << (strong ? "1" : "0.75")
        << "\" points=\"";
    for (const Point& point : line.Points) {
      out << number(x(point.Lap), 1) << ',' << number(y(point.Value), 1) << ' ';
    }
    const Point& end = line.Points.back();
    out << "\"><title>" << xmlEscape(driverNameUtf8(store, line.Slot)) << "</title></polyline>\n"
        << "<text x=\"" << number(x(end.Lap) + 6, 1) << "\" y=\"" << number(y(end.Value) + 4, 1)
        << "\" font-size=\"11\" fill=\"" << line.Colour << "\""
        << (strong ? " font-weight=\"bold\"" : "") << '>'
        << xmlEscape(driverNameUtf8(store, line.Slot)) << "</text>\n";
  }
  out << "</svg>\n";
}

}  // namespace

std::string xmlEscape(std::string_view text) {
  std::string escaped;
  escaped.reserve(text.size());
  for (const char c : text) {
    switch (c) {
      case '&':
        escaped += "&amp;";
        break;
      case '<':
        escaped += "&lt;";
        break;
      case '>':
        escaped += "&gt;";
        break;
      case '"':
        escaped += "&quot;";
        break;
      case '\'':
        escaped += "&apos;";
        break;
      default:
        escaped += c;
    }
  }
  return escaped;
}

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
    writeChart(store, lapChart(store), out);
    writeChart(store, raceTrace(store), out);
    writeChart(store, lapTimes(store), out);
  }
  out << "</body>\n</html>\n";
}

}  // namespace vorlind
