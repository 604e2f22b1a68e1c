#include "report/report_writer.h"

#include <gtest/gtest.h>

#include <sstream>

#include "report/report_test_support.h"

namespace vorlind {
namespace {

// The number formats around the whole hour, where the minutes wrap or run on, and the minute.
TEST(ReportFormat, TimesGapsSecondsAndHundredths) {
  auto store = report_test::makeStore();
  auto text = [&](auto format) {
    std::ostringstream out;
    ReportWriter writer(*store, out);
    format(writer);
    return out.str();
  };
  EXPECT_EQ(text([](ReportWriter& w) { w.formatClockTime(3600000); }), "60:00.000");
  EXPECT_EQ(text([](ReportWriter& w) { w.formatLapTime(3600000); }), "0:00.000");
  EXPECT_EQ(text([](ReportWriter& w) { w.formatSectorTime(5007); }), "05.007");
  EXPECT_EQ(text([](ReportWriter& w) { w.formatSectorTime(3661002); }), "1:01.002");
  EXPECT_EQ(text([](ReportWriter& w) { w.formatGap(60000); }), "-1:00.000");
  EXPECT_EQ(text([](ReportWriter& w) { w.formatGap(3665123); }), "-1:05.123");
  EXPECT_EQ(text([](ReportWriter& w) { w.formatGap(3665123, false); }), "-61:05.123");
}

}  // namespace
}  // namespace vorlind
