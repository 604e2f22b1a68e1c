#include "replay/lap_extraction.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "replay/grid_listener.h"
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

  // Reads the replay; the failure's reason, or "" when it was read.
  std::string read(const std::vector<uint8_t>& bytes, int slotOffset = 0, int grid = 1) {
    MemoryByteSource source(bytes);
    ByteCursor cursor(source);
    failure_ = readReplayLaps(cursor, *store_, slotOffset, grid, listener_);
    end_ = cursor.position();
    return failure_ ? failure_->Reason : "";
  }

  std::unique_ptr<EventStore> store_;
  EventStore& s = *store_;
  SilentGridListener listener_;
  std::optional<ReadFailure> failure_;
  int64_t end_ = 0;  // where the read ended
};

ReplayBuilder threeEntries() {
  ReplayBuilder b;
  b.addEntry("Ada", "Sommer", 4, 0).addEntry("Bo", "Lind", 1, 1).addEntry("Cy", "Rask", 9, 2);
  return b;
}

// Names fill their 16 bytes without a terminator. The highlighted slot is the last entry whose
// names match exactly; an unset name matches nobody, not even empty names.
TEST_F(LapExtraction, EntryTableStoresEachEntryInItsSlot) {
  s.MyFirstName.assign("Bo");
  s.MyLastName.assign("Lind");
  s.MyNameSet = true;
  ReplayBuilder b;
  b.addEntry("Bo", "Lind", 4, 3).addEntry("Bo", "lind", -1, 0).addEntry("Bo", "Lind", 2, 7);
  b.addEntry("Abcdefghijklmnop", "Qrstuvwxyzabcdef", 0, 1).beginRaceSection().endRaceSection();
  ASSERT_EQ(read(b.bytes(), 20), "");
  EXPECT_EQ(s.SlotCar[20], -1);
  EXPECT_EQ(s.SlotFirstName[21].view(), "Abcdefghijklmnop");
  EXPECT_EQ(s.SlotLastName[21].view(), "Qrstuvwxyzabcdef");
  EXPECT_EQ(s.HighlightSlot, 27);

  initEventStore(s);
  ASSERT_EQ(
      read(ReplayBuilder().addEntry("", "", 0, 5).beginRaceSection().endRaceSection().bytes()), "");
  EXPECT_EQ(s.HighlightSlot, 0);
}

// Slots 20 to 22 of grid 2. A lap flagged invalid takes 0 ms in practice and counts in the race;
// a race lap counts whatever its time.
TEST_F(LapExtraction, PracticeAndRaceLaps) {
  ReplayBuilder b = threeEntries();
  b.addPracticeBlock(1, {{50000, 0},
                         {140000, kOffTrack},  // lap 1: 90000, off track
                         {235000, kInvalid},   // lap 2: invalid, time 0
                         {330000, 0},          // lap 3: 95000, from the invalid crossing
                         {428000, 0}});        // lap 4: 98000
  b.addPracticeBlock(2, {{7000, kOffTrack}, {97000, 0}});
  b.addPracticeBlockWithLength(0, 4, {});  // no record: the count stays untouched
  b.beginRaceSection();
  b.addRaceBlock(1, {{20000, 0},
                     {100000, kOffTrack},                  // 80000 off track
                     {185000, 0},                          // 85000
                     {275000, kInvalid},                   // 90000
                     {359000, 0}});                        // 84000
  b.addRaceBlock(2, {{9000, 0}, {99000, 0}, {98000, 0}});  // lap 2 takes -1000 ms
  b.addRaceBlockWithLength(0, 4, {});
  b.endRaceSection();
  ASSERT_EQ(read(b.bytes(), 20, 2), "");
  EXPECT_EQ(s.PracticeLapTime[21][2], 0);
  EXPECT_EQ(s.PracticeLapTime[21][3], 95000);
  EXPECT_EQ(s.PracticeBestLap[21], 90000);
  EXPECT_EQ(s.PracticeBestOnTrackLap[21], 95000);
  EXPECT_EQ(s.PracticeOffTrack[22][0], 1) << "the first crossing is marked too";
  EXPECT_EQ(s.PracticeBestOnTrackLap[22], 90000);
  EXPECT_EQ(s.PracticeLapCount[20], 0);
  EXPECT_EQ(s.PracticeBestLap[20], kNoTime);
  EXPECT_EQ(s.RaceLapTime[21][3], 90000);
  EXPECT_EQ(s.RaceBestLap[21], 80000);
  EXPECT_EQ(s.RaceBestOnTrackLap[21], 84000);
  EXPECT_EQ(s.RaceOnTrackLapCount[21], 3);
  EXPECT_EQ(s.RaceBestLap[22], -1000);
  EXPECT_EQ(s.RaceBestOnTrackLap[22], 90000);
  EXPECT_EQ(s.RaceLapCount[20], -1);
  EXPECT_EQ(s.GridStartTime[1], 9000) << "the smallest first crossing, by grid number";
  EXPECT_EQ(s.GridStartTime[0], kNoTime);
  // The race laps are those of the longest block over all grids.
  EXPECT_EQ(s.MaxRaceLaps, 4);
  ReplayBuilder shorter = threeEntries();
  shorter.beginRaceSection().addRaceBlock(0, {{1000, 0}, {61000, 0}}).endRaceSection();
  ASSERT_EQ(read(shorter.bytes(), 40, 3), "");
  EXPECT_EQ(s.MaxRaceLaps, 4);
}

// A race block of 2000 bytes is one; a length of 2001 ends the race section.
TEST_F(LapExtraction, TheLongestRaceBlock) {
  std::vector<LapRecord> longest;
  for (int k = 0; k < 499; ++k) longest.push_back({1000u + 60000u * k, 0});
  ReplayBuilder b = threeEntries();
  b.beginRaceSection().addRaceBlock(1, longest).endRaceSection(2001);
  ASSERT_EQ(read(b.bytes()), "");
  EXPECT_EQ(end_, static_cast<int64_t>(b.size())) << "where the frame stream starts";
  EXPECT_EQ(s.RaceLapCount[1], 498);
}

TEST_F(LapExtraction, DamagedReplaysSayWhyAndWhere) {
  constexpr int64_t kFirstEntry = ReplayBuilder::kHeaderSize;
  constexpr int64_t kBehindThree = kFirstEntry + 3 * 152;  // where the tag of the first block is
  const std::string kEnds = "the replay ends inside its entry table or lap blocks";
  const std::string kNumber = "an entry number lies outside 0 to 19";
  auto check = [&](const char* name, ReplayBuilder b, const std::string& reason, int64_t offset,
                   size_t cut = 0) {
    SCOPED_TRACE(name);
    std::vector<uint8_t> bytes = b.take();
    if (cut != 0) bytes.resize(cut);
    initEventStore(s);
    EXPECT_EQ(read(bytes), reason);
    EXPECT_EQ(failure_ ? failure_->Offset : -1, offset);
  };
  check("ends inside the first entry", ReplayBuilder().appendZeros(10), kEnds, kFirstEntry);
  check("no word behind the entry", ReplayBuilder().addEntry("A", "B", 0, 0), kEnds,
        kFirstEntry + 152);
  check("entry number 20", ReplayBuilder().addEntry("A", "B", 0, 20).beginRaceSection(), kNumber,
        kFirstEntry + 124);
  ReplayBuilder many;
  for (int e = 0; e < 21; ++e) many.addEntry("A", "B", 0, e % 20);
  check("21 entries", many, "the entry table holds more than 20 entries", kFirstEntry + 20 * 152);
  check("practice entry number 25", threeEntries().addPracticeBlock(25, {{1000, 0}}), kNumber,
        kBehindThree + 12);
  check("practice block of 501 records",
        threeEntries().addPracticeBlock(1, std::vector<LapRecord>(501, LapRecord{1000, 0})),
        "a practice block holds more than 500 lap records", kBehindThree + 8);
  check("ends behind a practice block", threeEntries().addPracticeBlock(1, {{1000, 0}}), kEnds,
        kBehindThree + 20);
  check("cut inside a lap record",
        threeEntries().beginRaceSection().addRaceBlock(1, {{1000, 0}, {61000, 0}}), kEnds,
        kBehindThree + 28, kBehindThree + 30);
}

}  // namespace
}  // namespace vorlind
