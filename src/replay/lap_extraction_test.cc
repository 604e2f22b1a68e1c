#include "replay/lap_extraction.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "replay_builder.h"
#include "robustness_harness.h"

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
  std::string read(const ReplayBuilder& builder, int slotOffset = 0, int grid = 1) {
    return read(builder.bytes(), slotOffset, grid);
  }
  std::string read(const std::vector<uint8_t>& bytes, int slotOffset = 0, int grid = 1) {
    bytes_ = bytes;
    source_ = std::make_unique<MemoryByteSource>(bytes_);
    cursor_ = std::make_unique<ByteCursor>(*source_);
    listener_.Log.clear();
    failure_ = readReplayLaps(*cursor_, *store_, slotOffset, grid, listener_);
    return failure_ ? failure_->Reason : "";
  }

  EventStore& store() { return *store_; }

  std::unique_ptr<EventStore> store_;
  std::vector<uint8_t> bytes_;
  std::unique_ptr<MemoryByteSource> source_;
  std::unique_ptr<ByteCursor> cursor_;
  harness::RecordingListener listener_;
  std::optional<ReadFailure> failure_;
};

ReplayBuilder threeEntries() {
  ReplayBuilder b;
  b.addEntry("Ada", "Sommer", 4, 0).addEntry("Bo", "Lind", 1, 1).addEntry("Cy", "Rask", 9, 2);
  return b;
}

TEST_F(LapExtraction, EntryTableTellsEachEntryAndStoresItInItsSlot) {
  store().MyFirstName.assign("Bo");
  store().MyLastName.assign("Lind");
  store().MyNameSet = true;
  ReplayBuilder b;
  b.addEntry("Bo", "Lind", 4, 3).addEntry("Bo", "lind", -1, 0).addEntry("Bo", "Lind", 2, 7);
  b.addEntry("Abcdefghijklmnop", "Qrstuvwxyzabcdef", 0, 1);
  b.beginRaceSection().endRaceSection();
  ASSERT_EQ(read(b, 20), "");
  // The word behind an entry is the next entry's first name: "Bo\0\0" is 0x6F42.
  const std::string firstEntry = "name Lind\ncar 4 3\nword 28482\nname lind\n";
  EXPECT_EQ(listener_.Log.substr(0, firstEntry.size()), firstEntry);
  EXPECT_NE(listener_.Log.find("word 1280332866\n"), std::string::npos);
  EXPECT_EQ(store().EntryCount, 4);
  EXPECT_EQ(store().SlotLastName[23].view(), "Lind");
  EXPECT_EQ(store().SlotCar[20], -1);
  EXPECT_EQ(store().SlotFirstName[21].view(), "Abcdefghijklmnop");
  EXPECT_EQ(store().SlotLastName[21].view(), "Qrstuvwxyzabcdef");
  EXPECT_EQ(store().HighlightSlot, 27) << "the last exact match wins";

  initEventStore(store());
  ReplayBuilder unnamed;
  unnamed.addEntry("", "", 0, 5).beginRaceSection().endRaceSection();
  ASSERT_EQ(read(unnamed), "");
  EXPECT_EQ(store().HighlightSlot, 0) << "an unset name matches nobody, not even empty names";
}

TEST_F(LapExtraction, PracticeLaps) {
  ReplayBuilder b = threeEntries();
  b.addPracticeBlock(1, {{50000, 0},
                         {140000, kOffTrack},  // lap 1: 90000, off track
                         {235000, kInvalid},   // lap 2: invalid, time 0
                         {330000, 0},          // lap 3: 95000, from the invalid crossing
                         {428000, 0}});        // lap 4: 98000
  b.addPracticeBlock(2, {{7000, kOffTrack}, {97000, 0}});
  b.addPracticeBlockWithLength(0, 4, {});  // no record: the count stays untouched
  b.beginRaceSection().endRaceSection();
  store().PracticeLapCount[0] = 0;
  ASSERT_EQ(read(b), "");
  const EventStore& s = store();
  EXPECT_EQ(s.PracticeLapCount[1], 4);
  EXPECT_EQ(s.PracticeLapTime[1][0], 50000);
  EXPECT_EQ(s.PracticeLapTime[1][2], 0);
  EXPECT_EQ(s.PracticeLapTime[1][3], 95000);
  EXPECT_EQ(s.PracticeBestLap[1], 90000);
  EXPECT_EQ(s.PracticeBestLapNo[1], 1);
  EXPECT_EQ(s.PracticeBestOnTrackLap[1], 95000);
  EXPECT_EQ(s.PracticeBestOnTrackLapNo[1], 3);
  EXPECT_EQ(s.PracticeOffTrack[2][0], 1) << "the first crossing is marked too";
  EXPECT_EQ(s.PracticeBestOnTrackLap[2], 90000);
  EXPECT_EQ(s.PracticeLapCount[0], 0);
  EXPECT_EQ(s.PracticeBestLap[0], kNoTime);
}

TEST_F(LapExtraction, RaceLaps) {
  ReplayBuilder b = threeEntries();
  b.beginRaceSection();
  b.addRaceBlock(1, {{20000, 0},
                     {100000, kOffTrack},                  // 80000 off track
                     {185000, 0},                          // 85000
                     {275000, kInvalid},                   // 90000: bit 4 means nothing in the race
                     {359000, 0}});                        // 84000
  b.addRaceBlock(2, {{9000, 0}, {99000, 0}, {98000, 0}});  // lap 2 takes -1000 ms
  b.addRaceBlockWithLength(0, 4, {});
  b.endRaceSection();
  ASSERT_EQ(read(b, 20, 2), "");
  const EventStore& s = store();
  EXPECT_EQ(s.RaceLapCount[21], 4);
  EXPECT_EQ(s.RaceLapTime[21][0], 20000);
  EXPECT_EQ(s.RaceLapTime[21][3], 90000);
  EXPECT_EQ(s.RaceBestLap[21], 80000);
  EXPECT_EQ(s.RaceBestLapNo[21], 1);
  EXPECT_EQ(s.RaceBestOnTrackLap[21], 84000);
  EXPECT_EQ(s.RaceBestOnTrackLapNo[21], 4);
  EXPECT_EQ(s.RaceOnTrackLapCount[21], 3);
  EXPECT_EQ(s.RaceOffTrack[21][1], 1);
  EXPECT_EQ(s.RaceBestLap[22], -1000) << "any race lap time counts";
  EXPECT_EQ(s.RaceBestOnTrackLap[22], 90000);
  EXPECT_EQ(s.RaceLapCount[20], -1);
  EXPECT_EQ(s.MaxRaceLaps, 4);
  EXPECT_EQ(s.GridStartTime[1], 9000) << "the smallest first crossing, by grid number";
  EXPECT_EQ(s.GridStartTime[0], kNoTime);
}

TEST_F(LapExtraction, WhereTheFrameStreamStarts) {
  struct Case {
    const char* Name;
    ReplayBuilder Replay;
    size_t StreamStart;
  };
  std::vector<Case> cases;
  {
    std::vector<LapRecord> longest;
    for (int k = 0; k < 499; ++k) longest.push_back({1000u + 60000u * k, 0});
    ReplayBuilder b = threeEntries();
    b.beginRaceSection().addRaceBlock(1, longest).endRaceSection(2001);
    cases.push_back({"a block of 2000 bytes, ended by 2001", b, b.size()});
  }
  {
    ReplayBuilder b;
    for (int e = 0; e < 20; ++e) b.addEntry("F", "L", 0, e);
    b.beginRaceSection();
    for (int e = 0; e < 20; ++e) b.addRaceBlock(e, {{1000, 0}, {61000, 0}});
    const size_t streamStart = b.size();
    cases.push_back({"behind the trailer of the 20th block", b.endRaceSection(), streamStart});
  }
  {
    ReplayBuilder b = threeEntries();
    b.addPracticeBlock(0, {{1000, 0}, {91000, 0}});
    const size_t word = b.size();
    cases.push_back({"8 bytes behind the word after practice", b.endPracticeOnly(), word + 12});
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    initEventStore(store());
    ASSERT_EQ(read(c.Replay.bytes()), "");
    EXPECT_EQ(cursor_->position(), static_cast<int64_t>(c.StreamStart));
  }
  EXPECT_EQ(store().RaceFound, 0);
}

TEST_F(LapExtraction, MaxRaceLapsIsTheLongestBlockOverAllGrids) {
  for (const auto& [first, second] : {std::pair{88, 96}, std::pair{96, 88}}) {
    initEventStore(store());
    int offset = 0;
    for (const int length : {first, second}) {
      ReplayBuilder b = threeEntries();
      std::vector<LapRecord> records;
      for (int k = 0; k < length / 4 - 1; ++k) records.push_back({1000u + 1000u * k, 0});
      b.beginRaceSection().addRaceBlock(0, records).endRaceSection();
      ASSERT_EQ(read(b, offset, offset / 20 + 1), "");
      offset += 20;
    }
    EXPECT_EQ(store().MaxRaceLaps, 22) << first << " then " << second;
  }
}

TEST_F(LapExtraction, ReusedSlotsStartFromTheirInitialValues) {
  ReplayBuilder first;
  first.addEntry("Longfirstname", "Longerlastname", 3, 1);
  first.beginRaceSection().addRaceBlock(1, {{1000, 0}, {2000, kOffTrack}}).endRaceSection();
  ASSERT_EQ(read(first), "");
  ReplayBuilder second;
  second.addEntry("Al", "Bo", 2, 1).addPracticeBlock(1, {{1000, 0}, {91000, 0}}).endPracticeOnly();
  ASSERT_EQ(read(second), "");
  EXPECT_EQ(store().SlotLastName[1].view(), "Bo");
  EXPECT_EQ(store().SlotLastName[1].Chars[5], 0);
  EXPECT_EQ(store().RaceOffTrack[1][1], 0);
  EXPECT_EQ(store().RaceLapCount[1], 0);
  EXPECT_EQ(store().RaceFound, 1) << "event-wide, never cleared";
}

TEST_F(LapExtraction, DamagedReplaysSayWhyAndWhere) {
  constexpr int64_t kFirstEntry = ReplayBuilder::kHeaderSize;
  constexpr int64_t kBehindThree = kFirstEntry + 3 * 152;  // where the tag of the first block is
  const std::string kEnds = "the replay ends inside its entry table or lap blocks";
  const std::string kNumber = "an entry number lies outside 0 to 19";
  struct Case {
    const char* Name;
    std::vector<uint8_t> Replay;
    std::string Reason;
    int64_t Offset;
  };
  std::vector<Case> cases;
  auto add = [&](const char* name, ReplayBuilder b, const std::string& reason, int64_t offset) {
    cases.push_back({name, b.take(), reason, offset});
  };
  add("ends inside the first entry", ReplayBuilder().appendZeros(10), kEnds, kFirstEntry);
  add("no word behind the entry", ReplayBuilder().addEntry("A", "B", 0, 0), kEnds,
      kFirstEntry + 152);
  add("entry number 20", ReplayBuilder().addEntry("A", "B", 0, 20).beginRaceSection(), kNumber,
      kFirstEntry + 124);
  add("entry number -1", ReplayBuilder().addEntry("A", "B", 0, -1).beginRaceSection(), kNumber,
      kFirstEntry + 124);
  ReplayBuilder many;
  for (int e = 0; e < 21; ++e) many.addEntry("A", "B", 0, e % 20);
  add("21 entries", many, "the entry table holds more than 20 entries", kFirstEntry + 20 * 152);
  add("practice entry number 25", threeEntries().addPracticeBlock(25, {{1000, 0}}), kNumber,
      kBehindThree + 12);
  add("practice block of 501 records",
      threeEntries().addPracticeBlock(1, std::vector<LapRecord>(501, LapRecord{1000, 0})),
      "a practice block holds more than 500 lap records", kBehindThree + 8);
  add("ends behind a practice block", threeEntries().addPracticeBlock(1, {{1000, 0}}), kEnds,
      kBehindThree + 20);
  add("race entry number 20", threeEntries().beginRaceSection().addRaceBlock(20, {{1000, 0}}),
      kNumber, kBehindThree + 24);
  ReplayBuilder cut = threeEntries();
  cut.beginRaceSection().addRaceBlock(1, {{1000, 0}, {61000, 0}});
  add("cut inside a lap record", cut, kEnds, kBehindThree + 28);
  cases.back().Replay.resize(kBehindThree + 30);

  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    initEventStore(store());
    EXPECT_EQ(read(c.Replay), c.Reason);
    if (failure_) {
      EXPECT_EQ(failure_->Offset, c.Offset);
    }
  }
}

}  // namespace
}  // namespace vorlind
