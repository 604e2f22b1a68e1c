#include "export/charts_page.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <regex>
#include <set>
#include <sstream>

#include "event_plans.h"
#include "run/command_line.h"
#include "test_support.h"

namespace vorlind {
namespace {

std::vector<std::string> matches(const std::string& text, const std::regex& pattern) {
  std::vector<std::string> found;
  for (auto it = std::sregex_iterator(text.begin(), text.end(), pattern);
       it != std::sregex_iterator(); ++it) {
    found.push_back((*it)[1].str());
  }
  return found;
}

// The page of a two-grid event, a name with XML's reserved characters included: well-formed XML,
// nothing to load, three charts of one line per driver with the highlighted driver drawn last.
TEST(ChartsPage, ThreeSelfContainedChartsWithTheHighlightedDriverOnTop) {
  testing::TempDir scratch;
  tools::EventDirectory event;
  ASSERT_TRUE(tools::scenarioEvent("36fps", &event));
  ASSERT_EQ(tools::writeEventDirectory(scratch.path().string(), event), "");
  CommandLine command;
  for (const tools::NamedGrid& grid : event.Grids) {
    command.Replays.push_back("replays/" + grid.ReplayName + ".rpy");
  }
  auto store = std::make_unique<EventStore>();
  std::vector<GridSource> grids;
  std::ostringstream err;
  ASSERT_TRUE(loadEvent(command, scratch.path(), *store, grids, err));
  store->SlotLastName[2].assign("Tom & <Jerry>");
  std::ostringstream page;
  writeChartsPage(*store, page);
  const std::string html = page.str();
  int drivers = 0;
  for (int slot = 0; slot < kSlotCount; ++slot) drivers += store->RaceLapCount[slot] > 0;
  const std::vector<std::string> charts = matches(html, std::regex("<svg([^]*?)</svg>"));
  ASSERT_EQ(charts.size(), 3u);
  for (const std::string& chart : charts) {
    const std::vector<std::string> lines =
        matches(chart, std::regex("<polyline fill=\"none\" stroke=\"(#[0-9a-f]{6})\""));
    ASSERT_EQ(lines.size(), static_cast<size_t>(drivers));
    EXPECT_EQ(lines.back(), "#e00000");
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "#e00000"), 1);
    EXPECT_GE(std::set<std::string>(lines.begin(), lines.end()).size(), 3u) << "colours apart";
    // Every point of every line lies in the plot frame, and the frame in the picture.
    const std::regex frameRect(
        "<rect x=\"([0-9]+)\" y=\"([0-9]+)\" width=\"([0-9]+)\" height=\"([0-9]+)\" fill=\"none\"");
    std::smatch frame;
    ASSERT_TRUE(std::regex_search(chart, frame, frameRect));
    const double left = std::stod(frame[1]), top = std::stod(frame[2]);
    const double right = left + std::stod(frame[3]), bottom = top + std::stod(frame[4]);
    EXPECT_TRUE(left > 0 && top > 0 && right < 1200 && bottom < 560) << frame[0];
    for (const std::string& points : matches(chart, std::regex(" points=\"([^\"]*)\""))) {
      std::istringstream pairs(points);
      double x = 0, y = 0;
      char comma = 0;
      while (pairs >> x >> comma >> y) {
        EXPECT_TRUE(x >= left && x <= right && y >= top - 0.05 && y <= bottom + 0.05)
            << x << "," << y;
      }
    }
    EXPECT_NE(chart.find("Tom &amp; &lt;Jerry&gt;</text>"), std::string::npos);
  }
  EXPECT_EQ(matches(html, std::regex("(https?:)")).size(), 4u) << "the namespaces only";
  EXPECT_EQ(html.find("<script"), std::string::npos);

  if (std::system("command -v xmllint >/dev/null 2>&1") != 0) {
    GTEST_SKIP() << "xmllint is not installed (libxml2-utils)";
  }
  testing::writeFile(scratch.path() / "charts.html", html);
  const std::string check = "xmllint --noout " + (scratch.path() / "charts.html").string();
  EXPECT_EQ(std::system(check.c_str()), 0);
}

// A driver of one grid whose leader lacks a time in lap 2: the race trace skips that lap, every
// line runs to the last lap the store holds, and about twenty lap ticks span the laps.
TEST(ChartsPage, LinesRunToTheLastStoredLapAndSkipLapsWithoutTheLeadersTime) {
  auto store = std::make_unique<EventStore>();
  initEventStore(*store);
  store->RaceFound = 1;
  store->GridStartTime[0] = 0;
  store->SlotFirstName[1].assign("Ada");
  store->SlotLastName[1].assign("Sommer");
  for (int lap = 0; lap < kCrossingCount; ++lap) {
    store->RaceCumTime[1][lap] = 1000 + 60000 * lap;
    store->RaceLapTime[1][lap] = 60000;
    store->LapLeader[lap] = lap == 2 ? 5 : 1;
  }
  for (const auto& [laps, points, ticks] : {std::tuple{21, 21, 11}, {600, 499, 10}}) {
    store->RaceLapCount[1] = laps;
    store->MaxRaceLaps = laps;
    std::ostringstream page;
    writeChartsPage(*store, page);
    // Long lines: found without std::regex, whose recursion they would overflow.
    std::vector<std::string> charts;
    for (size_t at = page.str().find("<svg"); at != std::string::npos;) {
      const size_t next = page.str().find("<svg", at + 1);
      charts.push_back(page.str().substr(at, next - at));
      at = next;
    }
    ASSERT_EQ(charts.size(), 3u);
    const auto pointsOf = [](const std::string& chart) {
      const size_t from = chart.find(" points=\"");
      if (from == std::string::npos || chart.find(" points=\"", from + 1) != std::string::npos) {
        return -1L;
      }
      return std::count(chart.begin() + from, chart.begin() + chart.find('"', from + 9), ',');
    };
    EXPECT_EQ(pointsOf(charts[1]), points - 1) << laps;
    EXPECT_EQ(pointsOf(charts[2]), points) << laps;
    int tickLabels = 0;
    for (size_t at = 0; (at = charts[2].find("text-anchor=\"middle\" font-size=\"12\"", at + 1)) !=
                        std::string::npos;) {
      ++tickLabels;
    }
    EXPECT_EQ(tickLabels, ticks) << laps;
  }
}

}  // namespace
}  // namespace vorlind
