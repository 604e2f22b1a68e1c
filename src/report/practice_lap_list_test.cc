#include "report/practice_lap_list.h"

#include <gtest/gtest.h>

#include "report/report_test_support.h"

namespace vorlind {
namespace {

using namespace report_test;

const std::string kTag = "<table border=3 cellpadding=\"0\"> ";
const std::string kEnd = "</border> </table> \n <BR> <BR> ";

std::string lapRow(int lap) {
  return "<tr> \n<td align=\"center\"> " + std::to_string(lap) + " </td> ";
}

std::string practiceList(const EventStore& store) {
  return render(store, [](ReportWriter& w) { writePracticeLapList(w); });
}

TEST(PracticeLapList, EmptySlotGivesThreeBlankCaptionAndNoRows) {
  auto store = makeStore();
  EXPECT_EQ(practiceList(*store), kTag + "<caption align=\"left\"> PRACTISE LAPS of   </caption> " +
                                      std::string(kPracticeHeader) + kEnd);
}

TEST(PracticeLapList, OneRowPerLapHoldingOnlyItsNumber) {
  auto store = makeStore();
  nameSlots(*store, {0});
  store->PracticeLapCount[0] = 3;
  store->PracticeLapCount[1] = 9;  // only slot 0 is listed
  EXPECT_EQ(practiceList(*store),
            kTag + "<caption align=\"left\"> PRACTISE LAPS of  Ola Olive</caption> " +
                std::string(kPracticeHeader) + lapRow(1) + lapRow(2) + lapRow(3) + kEnd);
}

TEST(PracticeLapList, StopsAfter199Laps) {
  auto store = makeStore();
  store->PracticeLapCount[0] = 250;
  const std::string list = practiceList(*store);
  const std::string rows = list.substr(0, list.size() - kEnd.size());
  EXPECT_TRUE(rows.ends_with(lapRow(198) + lapRow(199)));
  size_t count = 0;
  for (size_t at = rows.find("<tr> \n"); at != std::string::npos; at = rows.find("<tr> \n", at + 1))
    ++count;
  EXPECT_EQ(count, 199u);
  EXPECT_TRUE(list.ends_with(kEnd));
}

}  // namespace
}  // namespace vorlind
