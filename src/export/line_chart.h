// A line chart drawn as inline SVG: numbered steps (laps, rounds) along the bottom, one value per
// step up the side, one line per series with its label at its end and a hover title. The charts
// page and the season's standings page draw their charts with it.
#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace vorlind {

struct ChartPoint {
  int Step = 0;  // 1, 2, ...
  double Value = 0;
};

struct ChartLine {
  std::string Label;  // at the line's end and in its hover title
  std::string Colour;
  bool Strong = false;  // drawn thicker and opaque
  // When not empty, the line and its label carry data-series="Key", so that a page can pick them.
  std::string Key;
  std::vector<ChartPoint> Points;
};

struct ChartLegendEntry {
  std::string Colour;
  std::string Label;
};

struct LineChart {
  std::string Title;
  std::string StepLabel;
  std::string ValueLabel;
  bool ValuesDownward = false;  // the smallest value at the top (places, gaps)
  bool IntegerTicks = false;
  std::optional<double> Low;  // where the value axis starts; the smallest value without
  bool SpreadLabels = false;  // move the labels at the line ends apart where they would overlap
  std::vector<ChartLine> Lines;
  std::vector<ChartLegendEntry> Legend;
};

// `text` with the five characters that XML reserves written as entities.
std::string xmlEscape(std::string_view text);

// Writes the chart as one <svg> element of 1200 x 560.
void writeLineChart(const LineChart& chart, std::ostream& out);

}  // namespace vorlind
