#include "replay/lap_extraction.h"

#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "replay/replay_format.h"
#include "replay_builder.h"

namespace vorlind {
namespace {

using tools::LapRecord;
using tools::ReplayBuilder;

constexpr uint8_t kInvalid = 16;
constexpr uint8_t kOffTrack = 64;

class LapExtraction : public ::testing::Test {
 protected:
  LapExtraction() : store_(std::make_unique<EventStore>()) { initEventStore(*store_); }

  LapsResult read(const ReplayBuilder& builder, int slotOffset = 0, int grid = 1) {
    bytes_ = builder.bytes();
    source_ = std::make_unique<MemoryByteSource>(bytes_);
    cursor_ = std::make_unique<ByteCursor>(*source_);
    console_.str("");
    return readReplayLaps(*cursor_, *store_, slotOffset, grid, console_);
  }

  EventStore& store() { return *store_; }

  std::unique_ptr<EventStore> store_;
  std::vector<uint8_t> bytes_;
  std::unique_ptr<MemoryByteSource> source_;
  std::unique_ptr<ByteCursor> cursor_;
  std::ostringstream console_;
};

ReplayBuilder threeEntries() {
  ReplayBuilder b;
  b.addEntry("Ada", "Sommer", 4, 0).addEntry("Bo", "Lind", 1, 1).addEntry("Cy", "Rask", 9, 2);
  return b;
}

TEST_F(LapExtraction, EntryTablePrintsTraceLinesAndStoresNames) {
  ReplayBuilder b;
  b.addEntry("Ada", "Sommer", 4, 3).addEntry("Bo", "Lind", -1, 0);
  b.beginRaceSection().endRaceSection();
  ASSERT_EQ(read(b, 20), LapsResult::kRead);
  // The word behind the first entry is the second entry's first name "Bo\0\0" = 0x6F42.
  EXPECT_EQ(console_.str(),
            "Sommer\nAuto=4  Welch=3\nWert=28482\n"
            "Lind\nAuto=-1  Welch=0\nWert=1280332866\n");
  EXPECT_EQ(store().EntryCount, 2);
  EXPECT_EQ(store().SlotFirstName[23].view(), "Ada");
  EXPECT_EQ(store().SlotLastName[23].view(), "Sommer");
  EXPECT_EQ(store().SlotCar[23], 4);
  EXPECT_EQ(store().SlotLastName[20].view(), "Lind");
  EXPECT_EQ(store().SlotCar[20], -1);
}

TEST_F(LapExtraction, NameFieldOfSixteenCharactersHasNoTerminator) {
  ReplayBuilder b;
  b.addEntry("Abcdefghijklmnop", "Qrstuvwxyzabcdef", 0, 1);
  b.beginRaceSection().endRaceSection();
  ASSERT_EQ(read(b), LapsResult::kRead);
  EXPECT_EQ(store().SlotFirstName[1].view(), "Abcdefghijklmnop");
  EXPECT_EQ(store().SlotLastName[1].view(), "Qrstuvwxyzabcdef");
}

TEST_F(LapExtraction, HighlightSlotIsTheLastMatchingEntry) {
  store().MyFirstName.assign("Bo");
  store().MyLastName.assign("Lind");
  store().MyNameSet = true;
  ReplayBuilder b;
  b.addEntry("Bo", "Lind", 0, 5).addEntry("Bo", "lind", 0, 6).addEntry("Bo", "Lind", 0, 7);
  b.beginRaceSection().endRaceSection();
  ASSERT_EQ(read(b, 40), LapsResult::kRead);
  EXPECT_EQ(store().HighlightSlot, 47);
}

TEST_F(LapExtraction, UnsetNameMatchesNobodyNotEvenEmptyNames) {
  ReplayBuilder b;
  b.addEntry("", "", 0, 5);
  b.beginRaceSection().endRaceSection();
  ASSERT_EQ(read(b), LapsResult::kRead);
  EXPECT_EQ(store().HighlightSlot, 0);
}

TEST_F(LapExtraction, PracticeFlagsBestLapsAndFirstCrossing) {
  ReplayBuilder b = threeEntries();
  b.addPracticeBlock(1, {{50000, 0},
                         {140000, kOffTrack},   // lap 1: 90000, off track
                         {235000, kInvalid},    // lap 2: invalid, time 0
                         {330000, 0},           // lap 3: 95000, measured from the invalid crossing
                         {428000, 0}});         // lap 4: 98000
  b.beginRaceSection().endRaceSection();
  ASSERT_EQ(read(b), LapsResult::kRead);
  const EventStore& s = store();
  EXPECT_EQ(s.PracticeLapCount[1], 4);
  EXPECT_EQ(s.PracticeLapTime[1][0], 50000);
  EXPECT_EQ(s.PracticeLapTime[1][1], 90000);
  EXPECT_EQ(s.PracticeLapTime[1][2], 0);
  EXPECT_EQ(s.PracticeLapTime[1][3], 95000);
  EXPECT_EQ(s.PracticeBestLap[1], 90000);
  EXPECT_EQ(s.PracticeBestLapNo[1], 1);
  EXPECT_EQ(s.PracticeBestOnTrackLap[1], 95000);
  EXPECT_EQ(s.PracticeBestOnTrackLapNo[1], 3);
  EXPECT_EQ(s.PracticeOffTrack[1][1], 1);
  EXPECT_EQ(s.PracticeOffTrack[1][3], 0);
}

TEST_F(LapExtraction, PracticeOffTrackMarkOnFirstCrossing) {
  ReplayBuilder b = threeEntries();
  b.addPracticeBlock(2, {{7000, kOffTrack}, {97000, 0}});
  b.beginRaceSection().endRaceSection();
  ASSERT_EQ(read(b), LapsResult::kRead);
  EXPECT_EQ(store().PracticeOffTrack[2][0], 1);
  EXPECT_EQ(store().PracticeBestOnTrackLap[2], 90000);
}

TEST_F(LapExtraction, ShortPracticeBlocks) {
  ReplayBuilder b = threeEntries();
  b.addPracticeBlockWithLength(1, 4, {});           // no record: count untouched
  b.addPracticeBlockWithLength(2, 8, {{5000, 0}});  // one crossing, no lap
  b.beginRaceSection().endRaceSection();
  store().PracticeLapCount[1] = 0;
  ASSERT_EQ(read(b), LapsResult::kRead);
  EXPECT_EQ(store().PracticeLapCount[1], 0);
  EXPECT_EQ(store().PracticeBestLap[1], kNoTime);
  EXPECT_EQ(store().PracticeLapCount[2], 0);
  EXPECT_EQ(store().PracticeBestLap[2], kNoTime);
  EXPECT_EQ(store().PracticeCumTime[2][0], 5000);
}

TEST_F(LapExtraction, RaceLapsOffTrackCountsAndBestLaps) {
  ReplayBuilder b = threeEntries();
  b.beginRaceSection();
  b.addRaceBlock(1, {{20000, 0},
                     {100000, kOffTrack},  // 80000 off track
                     {185000, 0},          // 85000
                     {275000, kInvalid},   // 90000: bit 4 means nothing in the race
                     {359000, 0}});        // 84000
  b.endRaceSection();
  ASSERT_EQ(read(b), LapsResult::kRead);
  const EventStore& s = store();
  EXPECT_EQ(s.RaceLapCount[1], 4);
  EXPECT_EQ(s.RaceLapTime[1][0], 20000);
  EXPECT_EQ(s.RaceLapTime[1][3], 90000);
  EXPECT_EQ(s.RaceBestLap[1], 80000);
  EXPECT_EQ(s.RaceBestLapNo[1], 1);
  EXPECT_EQ(s.RaceBestOnTrackLap[1], 84000);
  EXPECT_EQ(s.RaceBestOnTrackLapNo[1], 4);
  EXPECT_EQ(s.RaceOnTrackLapCount[1], 3);
  EXPECT_EQ(s.RaceOffTrack[1][1], 1);
  EXPECT_EQ(s.RaceFound, 1);
  EXPECT_EQ(s.MaxRaceLaps, 4);
  EXPECT_EQ(s.GridStartTime[0], 20000);
}

TEST_F(LapExtraction, RaceBestLapTakesEvenANegativeLapTime) {
  ReplayBuilder b = threeEntries();
  b.beginRaceSection().addRaceBlock(2, {{9000, 0}, {99000, 0}, {98000, 0}}).endRaceSection();
  ASSERT_EQ(read(b), LapsResult::kRead);
  EXPECT_EQ(store().RaceBestLap[2], -1000);
  EXPECT_EQ(store().RaceBestLapNo[2], 2);
  EXPECT_EQ(store().RaceBestOnTrackLap[2], 90000);
}

TEST_F(LapExtraction, ShortRaceBlocks) {
  ReplayBuilder b = threeEntries();
  b.beginRaceSection();
  b.addRaceBlockWithLength(1, 8, {{5000, 0}});
  b.addRaceBlockWithLength(2, 4, {});
  b.endRaceSection();
  ASSERT_EQ(read(b), LapsResult::kRead);
  EXPECT_EQ(store().RaceLapCount[1], 0);
  EXPECT_EQ(store().RaceLapCount[2], -1);
  EXPECT_EQ(store().RaceBestLap[2], kNoTime);
  EXPECT_EQ(store().GridStartTime[0], 5000);
  EXPECT_EQ(store().MaxRaceLaps, 0);
}

TEST_F(LapExtraction, RaceLengthOf2000IsABlockAnd2001EndsTheSection) {
  ReplayBuilder b = threeEntries();
  std::vector<LapRecord> records;
  for (int k = 0; k < 499; ++k) records.push_back({static_cast<uint32_t>(1000 + 60000 * k), 0});
  b.beginRaceSection().addRaceBlock(1, records).endRaceSection(2001);
  const size_t streamStart = b.size();
  ASSERT_EQ(read(b), LapsResult::kRead);
  EXPECT_EQ(store().RaceLapCount[1], 498);
  EXPECT_EQ(store().MaxRaceLaps, 498);
  EXPECT_EQ(cursor_->position(), static_cast<int64_t>(streamStart));
}

TEST_F(LapExtraction, TwentyRaceBlocksStartTheStreamBehindTheLastTrailer) {
  ReplayBuilder b;
  for (int e = 0; e < 20; ++e) b.addEntry("F", "L", 0, e);
  b.beginRaceSection();
  for (int e = 0; e < 20; ++e) b.addRaceBlock(e, {{1000, 0}, {61000, 0}});
  const size_t streamStart = b.size();
  b.endRaceSection();
  ASSERT_EQ(read(b), LapsResult::kRead);
  EXPECT_EQ(store().EntryCount, 20);
  EXPECT_EQ(cursor_->position(), static_cast<int64_t>(streamStart));
}

TEST_F(LapExtraction, MaxRaceLapsIsTheLongestBlockOverAllGrids) {
  for (const auto& [first, second] : {std::pair{88, 96}, std::pair{96, 88}}) {
    initEventStore(store());
    int offset = 0;
    for (const int length : {first, second}) {
      ReplayBuilder b = threeEntries();
      std::vector<LapRecord> records;
      for (int k = 0; k < length / 4 - 1; ++k) {
        records.push_back({static_cast<uint32_t>(1000 + 1000 * k), 0});
      }
      b.beginRaceSection().addRaceBlock(0, records).endRaceSection();
      ASSERT_EQ(read(b, offset, offset / 20 + 1), LapsResult::kRead);
      offset += 20;
    }
    EXPECT_EQ(store().MaxRaceLaps, 22) << first << " then " << second;
  }
}

TEST_F(LapExtraction, PracticeOnlyReplaySkipsEightBytesBehindTheWord) {
  ReplayBuilder b = threeEntries();
  b.addPracticeBlock(0, {{1000, 0}, {91000, 0}});
  const size_t wordAt = b.size();
  b.endPracticeOnly();
  ASSERT_EQ(read(b), LapsResult::kRead);
  EXPECT_EQ(store().RaceFound, 0);
  EXPECT_EQ(cursor_->position(), static_cast<int64_t>(wordAt + 4 + 8));
}

TEST_F(LapExtraction, ReusedSlotsStartFromTheirInitialValues) {
  ReplayBuilder first;
  first.addEntry("Longfirstname", "Longerlastname", 3, 1);
  first.beginRaceSection().addRaceBlock(1, {{1000, 0}, {2000, kOffTrack}}).endRaceSection();
  ASSERT_EQ(read(first), LapsResult::kRead);
  ReplayBuilder second;
  second.addEntry("Al", "Bo", 2, 1);
  second.addPracticeBlock(1, {{1000, 0}, {91000, 0}});
  second.endPracticeOnly();
  ASSERT_EQ(read(second), LapsResult::kRead);
  EXPECT_EQ(store().SlotLastName[1].view(), "Bo");
  EXPECT_EQ(store().SlotLastName[1].Chars[2], 0);
  EXPECT_EQ(store().SlotLastName[1].Chars[5], 0);
  EXPECT_EQ(store().RaceOffTrack[1][1], 0);
  EXPECT_EQ(store().RaceLapCount[1], 0);
  EXPECT_EQ(store().RaceBestLap[1], 0);
  EXPECT_EQ(store().RaceFound, 1);  // event-wide, never cleared
}

struct DamagedCase {
  const char* Name;
  ReplayBuilder Replay;
};

std::vector<DamagedCase> damagedReplays() {
  std::vector<DamagedCase> cases;
  {
    ReplayBuilder b;
    b.appendZeros(100);
    cases.push_back({"ends inside the first entry", b});
  }
  {
    ReplayBuilder b;
    b.addEntry("A", "B", 0, 0);
    cases.push_back({"no tag behind the entry table", b});
  }
  {
    ReplayBuilder b;
    b.addEntry("A", "B", 0, 20);
    b.beginRaceSection().endRaceSection();
    cases.push_back({"entry number 20", b});
  }
  {
    ReplayBuilder b;
    b.addEntry("A", "B", 0, -1);
    b.beginRaceSection().endRaceSection();
    cases.push_back({"entry number -1", b});
  }
  {
    ReplayBuilder b;
    for (int e = 0; e < 21; ++e) b.addEntry("A", "B", 0, e % 20);
    b.beginRaceSection().endRaceSection();
    cases.push_back({"21 entries", b});
  }
  {
    ReplayBuilder b = threeEntries();
    b.addPracticeBlock(25, {{1000, 0}});
    b.beginRaceSection().endRaceSection();
    cases.push_back({"practice entry number 25", b});
  }
  {
    ReplayBuilder b = threeEntries();
    std::vector<LapRecord> records(501, LapRecord{1000, 0});
    b.addPracticeBlock(1, records);
    b.beginRaceSection().endRaceSection();
    cases.push_back({"practice block of 501 records", b});
  }
  {
    ReplayBuilder b = threeEntries();
    b.beginRaceSection().addRaceBlock(19 + 1, {{1000, 0}}).endRaceSection();
    cases.push_back({"race entry number 20", b});
  }
  {
    ReplayBuilder b = threeEntries();
    b.beginRaceSection().addRaceBlock(1, {{1000, 0}, {61000, 0}, {121000, 0}});
    std::vector<uint8_t> bytes = b.take();
    bytes.resize(bytes.size() - 12);
    ReplayBuilder cut;
    cut.appendBytes(std::span<const uint8_t>(bytes).subspan(ReplayBuilder::kHeaderSize));
    cases.push_back({"cut inside the race blocks", cut});
  }
  {
    ReplayBuilder b = threeEntries();
    b.addPracticeBlock(1, {{1000, 0}});
    cases.push_back({"ends behind a practice block", b});
  }
  return cases;
}

TEST_F(LapExtraction, DamagedReplaysAreRefused) {
  for (const DamagedCase& c : damagedReplays()) {
    initEventStore(store());
    EXPECT_EQ(read(c.Replay), LapsResult::kDamaged) << c.Name;
  }
}

TEST(GridStartTime, PrintsSecondsWithThreeDigits) {
  const std::pair<int32_t, const char*> cases[] = {
      {5007, "Zeit in Startaufstellung dieses Grids:5.007s\n"},
      {45, "Zeit in Startaufstellung dieses Grids:0.045s\n"},
      {21700, "Zeit in Startaufstellung dieses Grids:21.700s\n"},
      {kNoTime, "Zeit in Startaufstellung dieses Grids:100000.000s\n"},
      {0, "Zeit in Startaufstellung dieses Grids:0.000s\n"},
  };
  auto store = std::make_unique<EventStore>();
  initEventStore(*store);
  for (const auto& [time, line] : cases) {
    store->GridStartTime[2] = time;
    std::ostringstream out;
    printGridStartTime(*store, 3, out);
    EXPECT_EQ(out.str(), line);
  }
}

TEST_F(LapExtraction, GridStartTimeIsTheSmallestFirstCrossing) {
  ReplayBuilder b = threeEntries();
  b.beginRaceSection()
      .addRaceBlock(0, {{5123, 0}, {95000, 0}})
      .addRaceBlock(1, {{5007, 0}, {96000, 0}})
      .addRaceBlock(2, {{5210, 0}, {97000, 0}})
      .endRaceSection();
  ASSERT_EQ(read(b, 20, 2), LapsResult::kRead);
  EXPECT_EQ(store().GridStartTime[1], 5007);
  EXPECT_EQ(store().GridStartTime[0], kNoTime);
}

}  // namespace
}  // namespace vorlind
