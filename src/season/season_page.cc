#include "season/season_page.h"

#include <algorithm>
#include <sstream>

#include "export/event_json.h"
#include "export/line_chart.h"

namespace vorlind {

namespace {

constexpr const char* kLineColours[] = {"#1f77b4", "#d62728", "#2ca02c", "#ff7f0e", "#9467bd",
                                        "#8c564b", "#e377c2", "#17becf", "#bcbd22", "#7f7f7f"};

constexpr const char* kStyle =
    "body{font-family:sans-serif;margin:16px;max-width:1220px}"
    "table{border-collapse:collapse;margin:8px 0 28px 0}"
    "caption{text-align:left;font-weight:bold;font-size:120%;padding:4px 0}"
    "th,td{border:1px solid #cccccc;padding:3px 8px;text-align:center}"
    "th span{font-weight:normal;font-size:85%}"
    "td.name{text-align:left}td.total{font-weight:bold}"
    "td.p1{background:#f4d35e}td.p2{background:#d6d6d6}td.p3{background:#e3b38a}"
    "td.absent{color:#999999}td.dropped{color:#a0a0a0;background:#f0f0f0}"
    "td.fl::after{content:\"FL\";color:#8e44ad;font-size:65%;vertical-align:super;"
    "margin-left:2px}"
    "tr.highlight td.name{background:#fff0a0}"
    "svg{display:block;margin:8px 0 28px 0;border:1px solid #cccccc}"
    "svg [data-series]{cursor:default}"
    "svg polyline[data-series]{stroke-width:2.5;pointer-events:stroke}"
    ".hovering svg [data-series]{opacity:0.2}"
    ".hovering svg [data-series].highlight{opacity:1;font-weight:bold}"
    ".hovering svg polyline[data-series].highlight{stroke-width:4.5}";

// Marks every element of the series under the pointer, and the page while one is marked.
constexpr const char* kScript =
    "(function () {\n"
    "  var page = document.documentElement;\n"
    "  var marked = document.querySelectorAll(\"[data-series]\");\n"
    "  function mark(key) {\n"
    "    page.classList.toggle(\"hovering\", key !== null);\n"
    "    marked.forEach(function (e) {\n"
    "      e.classList.toggle(\"highlight\", e.getAttribute(\"data-series\") === key);\n"
    "    });\n"
    "  }\n"
    "  marked.forEach(function (e) {\n"
    "    e.addEventListener(\"mouseenter\", function () { mark(e.getAttribute(\"data-series\")); "
    "});\n"
    "    e.addEventListener(\"mouseleave\", function () { mark(null); });\n"
    "  });\n"
    "})();\n";

std::string seriesKey(size_t driver) { return std::string("d").append(std::to_string(driver + 1)); }

std::string plural(int64_t count, const char* one) {
  return std::to_string(count) + " " + one + (count == 1 ? "" : "s");
}

std::string rulesText(const SeasonRules& rules) {
  std::string text;
  if (rules.Points.empty()) {
    text = "No points for places";
  } else {
    text = "Points for places 1 to " + std::to_string(rules.Points.size()) + ": ";
    for (size_t index = 0; index < rules.Points.size(); ++index) {
      text += (index > 0 ? ", " : "") + std::to_string(rules.Points[index]);
    }
  }
  text += ". ";
  if (rules.FastestLapPoints > 0) {
    text += "The fastest lap: " + plural(rules.FastestLapPoints, "point") +
            " to a driver who finished. ";
  }
  text += rules.BestRounds ? "Each driver's best " + plural(*rules.BestRounds, "round") + " count."
                           : std::string("Every round counts.");
  return text;
}

// A driver's cell of one round: his place, DNF or DSQ, or a dash when he was absent.
void writeRoundCell(const DriverRound& round, std::ostream& out) {
  if (!round.TookPart) {
    out << "<td class=\"absent\">\u2013</td>";
    return;
  }
  std::string classes;
  const bool finished = round.Status == ResultStatus::kFinished;
  if (finished && round.Place <= 3) classes += " p" + std::to_string(round.Place);
  if (!finished) classes += " dnf";
  if (!round.Counted) classes += " dropped";
  if (round.FastestLap) classes += " fl";
  std::string title = plural(round.Points, "point");
  if (round.FastestLap) title += ", fastest lap";
  if (!round.Counted) title += ", not counted";
  out << "<td" << (classes.empty() ? "" : " class=\"" + classes.substr(1) + "\"") << " title=\""
      << title << "\">"
      << (finished ? std::to_string(round.Place) : std::string(statusWord(round.Status)))
      << "</td>";
}

void writeRoundHeads(const Standings& standings, std::ostream& out) {
  for (const SeasonRound& round : standings.Rounds) {
    out << "<th title=\"" << xmlEscape(round.Source) << ", track " << xmlEscape(round.Track)
        << "\">R" << round.Number << "<br/><span>" << xmlEscape(round.Name) << "</span></th>";
  }
}

void writeDrivers(const Standings& standings, std::ostream& out) {
  const bool deductions = !standings.Deductions.empty();
  out << "<table class=\"drivers\">\n<caption>Drivers</caption>\n<tr><th>Pos</th><th>Driver</th>";
  writeRoundHeads(standings, out);
  out << (deductions ? "<th>Deducted</th>" : "") << "<th>Points</th></tr>\n";
  for (size_t index = 0; index < standings.Drivers.size(); ++index) {
    const DriverStanding& driver = standings.Drivers[index];
    out << "<tr data-series=\"" << seriesKey(index) << "\"><td>" << driver.Position
        << "</td><td class=\"name\">" << xmlEscape(driver.Name) << "</td>";
    for (const DriverRound& round : driver.Rounds) writeRoundCell(round, out);
    if (deductions) {
      out << "<td>" << (driver.Deducted > 0 ? std::to_string(-driver.Deducted) : "") << "</td>";
    }
    out << "<td class=\"total\">" << driver.Points << "</td></tr>\n";
  }
  out << "</table>\n<p>Gold, silver and bronze: the podium. Grey: a round that does not count. "
         "FL: the fastest lap of the round. A dash: absent.</p>\n";
}

void writeChart(const Standings& standings, std::ostream& out) {
  LineChart chart;
  chart.Title = "Points after each round";
  chart.StepLabel = "round";
  chart.ValueLabel = "points";
  chart.IntegerTicks = true;
  chart.Low = 0.0;
  chart.SpreadLabels = true;
  size_t index = 0;
  for (const DriverStanding& driver : standings.Drivers) {
    if (driver.Position > kChartedPlaces) break;
    ChartLine line{
        driver.Name, kLineColours[index % std::size(kLineColours)], false, seriesKey(index), {}};
    ++index;
    for (size_t round = 0; round < driver.PointsAfterRound.size(); ++round) {
      const auto points = static_cast<double>(driver.PointsAfterRound[round]);
      line.Points.push_back({static_cast<int>(round) + 1, points});
      chart.Low = std::min(*chart.Low, points);
    }
    chart.Lines.push_back(std::move(line));
  }
  writeLineChart(chart, out);
}

void writeDeductions(const Standings& standings, std::ostream& out) {
  if (standings.Deductions.empty()) {
    out << "<p>No points were deducted.</p>\n";
    return;
  }
  out << "<table class=\"deductions\">\n<caption>Deductions</caption>\n"
      << "<tr><th>Round</th><th>Driver</th><th>Points</th><th>Reason</th></tr>\n";
  for (const Deduction& deduction : standings.Deductions) {
    out << "<tr><td>R" << deduction.Round << "</td><td class=\"name\">"
        << xmlEscape(deduction.Driver) << "</td><td>" << -deduction.Points
        << "</td><td class=\"name\">" << xmlEscape(deduction.Reason) << "</td></tr>\n";
  }
  out << "</table>\n";
}

void writeMakes(const Standings& standings, std::ostream& out) {
  if (standings.Makes.empty()) {
    out << "<p>No car of a known make took part.</p>\n";
    return;
  }
  out << "<table class=\"makes\">\n<caption>Makes</caption>\n<tr><th>Pos</th><th>Make</th>";
  writeRoundHeads(standings, out);
  out << "<th>Points</th></tr>\n";
  for (const MakeStanding& make : standings.Makes) {
    out << "<tr><td>" << make.Position << "</td><td class=\"name\">" << xmlEscape(make.Make)
        << "</td>";
    for (const int64_t points : make.RoundPoints) out << "<td>" << points << "</td>";
    out << "<td class=\"total\">" << make.Points << "</td></tr>\n";
  }
  out << "</table>\n";
}

}  // namespace

std::string seasonPageHtml(const Standings& standings) {
  const std::string title =
      xmlEscape(standings.Name ? *standings.Name : std::string("Season standings"));
  std::ostringstream out;
  out << "<!DOCTYPE html>\n"
      << "<html xmlns=\"http://www.w3.org/1999/xhtml\" lang=\"en\">\n<head>\n"
      << "<meta charset=\"utf-8\"/>\n<title>" << title << "</title>\n<style>" << kStyle
      << "</style>\n</head>\n<body>\n<h1>" << title << "</h1>\n<p>"
      << xmlEscape(rulesText(standings.Rules)) << "</p>\n";
  writeDrivers(standings, out);
  if (!standings.Drivers.empty()) writeChart(standings, out);
  writeDeductions(standings, out);
  writeMakes(standings, out);
  out << "<script>\n" << kScript << "</script>\n</body>\n</html>\n";
  return out.str();
}

}  // namespace vorlind
