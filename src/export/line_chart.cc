#include "export/line_chart.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <functional>

namespace vorlind {

namespace {

constexpr int kWidth = 1200;
constexpr int kHeight = 560;
constexpr int kLeft = 80;
constexpr int kRight = 190;  // room for the labels at the line ends
constexpr int kTop = 84;
constexpr int kBottom = 56;

std::string number(double value, int decimals) {
  char text[32];
  const auto written =
      std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals);
  return std::string(text, written.ptr);
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

// The baselines of the labels at the line ends: 4 below each end, and with `spread` at least a
// label's height apart, kept inside the picture.
std::vector<double> labelBaselines(const LineChart& chart, const std::function<double(double)>& y,
                                   bool spread) {
  constexpr double kLabelHeight = 12;
  std::vector<double> baselines;
  std::vector<size_t> order;
  for (const ChartLine& line : chart.Lines) {
    baselines.push_back(line.Points.empty() ? 0 : y(line.Points.back().Value) + 4);
    if (!line.Points.empty()) order.push_back(baselines.size() - 1);
  }
  if (!spread || order.empty()) return baselines;
  std::ranges::stable_sort(order, [&](size_t a, size_t b) { return baselines[a] < baselines[b]; });
  for (size_t index = 1; index < order.size(); ++index) {
    baselines[order[index]] =
        std::max(baselines[order[index]], baselines[order[index - 1]] + kLabelHeight);
  }
  const double overflow = baselines[order.back()] - (kHeight - 4);
  for (size_t index = order.size(); overflow > 0 && index-- > 0;) {
    const double limit =
        index + 1 < order.size() ? baselines[order[index + 1]] - kLabelHeight : kHeight - 4;
    baselines[order[index]] = std::min(baselines[order[index]], limit);
  }
  return baselines;
}

std::string seriesAttribute(const ChartLine& line) {
  return line.Key.empty() ? std::string() : " data-series=\"" + xmlEscape(line.Key) + "\"";
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

void writeLineChart(const LineChart& chart, std::ostream& out) {
  int maxStep = 1;
  double low = 0;
  double high = 1;
  bool first = true;
  for (const ChartLine& line : chart.Lines) {
    for (const ChartPoint& point : line.Points) {
      maxStep = std::max(maxStep, point.Step);
      low = first ? point.Value : std::min(low, point.Value);
      high = first ? point.Value : std::max(high, point.Value);
      first = false;
    }
  }
  if (chart.Low) low = *chart.Low;
  if (high <= low) high = low + 1;
  const double plotWidth = kWidth - kLeft - kRight;
  const double plotHeight = kHeight - kTop - kBottom;
  auto x = [&](double step) {
    return kLeft + (maxStep == 1 ? 0.5 : (step - 1) / (maxStep - 1)) * plotWidth;
  };
  auto y = [&](double value) {
    const double share = (value - low) / (high - low);
    return kTop + (chart.ValuesDownward ? share : 1 - share) * plotHeight;
  };

  out << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << kWidth << "\" height=\"" << kHeight
      << "\" viewBox=\"0 0 " << kWidth << ' ' << kHeight << "\" role=\"img\">\n"
      << "<title>" << xmlEscape(chart.Title) << "</title>\n"
      << "<rect width=\"" << kWidth << "\" height=\"" << kHeight << "\" fill=\"#ffffff\"/>\n"
      << "<text x=\"" << kWidth / 2 << "\" y=\"26\" text-anchor=\"middle\" font-size=\"18\" "
      << "font-weight=\"bold\">" << xmlEscape(chart.Title) << "</text>\n";

  double legendX = kLeft;
  for (const ChartLegendEntry& entry : chart.Legend) {
    out << "<rect x=\"" << number(legendX, 1) << "\" y=\"42\" width=\"18\" height=\"10\" fill=\""
        << entry.Colour << "\"/><text x=\"" << number(legendX + 24, 1)
        << "\" y=\"52\" font-size=\"13\">" << xmlEscape(entry.Label) << "</text>\n";
    legendX += 40 + 7.5 * static_cast<double>(entry.Label.size());
  }

  const double stepStep = tickStep(maxStep, 20, true);
  for (double step = 1; step <= maxStep; step += stepStep) {
    out << "<line x1=\"" << number(x(step), 1) << "\" y1=\"" << kTop << "\" x2=\""
        << number(x(step), 1) << "\" y2=\"" << kHeight - kBottom
        << "\" stroke=\"#e4e4e4\"/><text x=\"" << number(x(step), 1) << "\" y=\""
        << kHeight - kBottom + 18 << "\" text-anchor=\"middle\" font-size=\"12\">" << step
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
      << "\" text-anchor=\"middle\" font-size=\"14\">" << xmlEscape(chart.StepLabel) << "</text>\n"
      << "<text x=\"20\" y=\"" << kTop + plotHeight / 2 << "\" text-anchor=\"middle\" "
      << "font-size=\"14\" transform=\"rotate(-90 20 " << kTop + plotHeight / 2 << ")\">"
      << xmlEscape(chart.ValueLabel) << "</text>\n";

  const std::vector<double> baselines = labelBaselines(chart, y, chart.SpreadLabels);
  for (size_t index = 0; index < chart.Lines.size(); ++index) {
    const ChartLine& line = chart.Lines[index];
    if (line.Points.empty()) continue;
    out << "<polyline fill=\"none\" stroke=\"" << line.Colour << "\" stroke-width=\""
        << (line.Strong ? "3.5" : "1.5") << "\" stroke-opacity=\"" << (line.Strong ? "1" : "0.75")
        << "\"" << seriesAttribute(line) << " points=\"";
    for (const ChartPoint& point : line.Points) {
      out << number(x(point.Step), 1) << ',' << number(y(point.Value), 1) << ' ';
    }
    const ChartPoint& end = line.Points.back();
    out << "\"><title>" << xmlEscape(line.Label) << "</title></polyline>\n"
        << "<text x=\"" << number(x(end.Step) + 6, 1) << "\" y=\"" << number(baselines[index], 1)
        << "\" font-size=\"11\" fill=\"" << line.Colour << "\""
        << (line.Strong ? " font-weight=\"bold\"" : "") << seriesAttribute(line) << '>'
        << xmlEscape(line.Label) << "</text>\n";
  }
  out << "</svg>\n";
}

}  // namespace vorlind
