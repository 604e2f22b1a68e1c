#include "run/penalties.h"

#include <gtest/gtest.h>

#include <memory>

namespace vorlind {
namespace {

TEST(Penalties, AcceptsSecondsToTheMillisecondAndDsqWithAGridAndAReason) {
  const struct {
    const char* Text;
    std::optional<int> Grid;
    const char* Name;
    int32_t TimeMs;
    bool Disqualified;
    const char* Reason;
  } accepted[] = {
      {"Ada Sommer=+5", {}, "Ada Sommer", 5000, false, ""},
      {"  Ada Sommer = +2.5  ", {}, "Ada Sommer", 2500, false, ""},
      {"Ada Sommer=+12.345 # lap 3, chicane", {}, "Ada Sommer", 12345, false, "lap 3, chicane"},
      {"Ada Sommer=+99999.04", {}, "Ada Sommer", 99999040, false, ""},
      {"B:Ada van Sommer=DSQ#unsafe", 1, "Ada van Sommer", 0, true, "unsafe"},
      {"E: Ada Sommer=+0.5", 4, "Ada Sommer", 500, false, ""},
  };
  for (const auto& test : accepted) {
    const std::optional<PenaltyDecision> decision = parsePenalty(test.Text, "here");
    ASSERT_TRUE(decision) << test.Text;
    EXPECT_EQ(std::tuple(decision->Grid, decision->Name, decision->TimeMs, decision->Disqualified,
                         decision->Reason),
              std::tuple(test.Grid, std::string(test.Name), test.TimeMs, test.Disqualified,
                         std::string(test.Reason)))
        << test.Text;
  }
  for (const char* text :
       {"Ada Sommer=+abc", "Ada Sommer=-5", "Ada Sommer+5", "Ada Sommer=5", "Ada Sommer=+",
        "Ada Sommer=+1.", "Ada Sommer=+.5", "Ada Sommer=+1.2345", "Ada Sommer=+100000",
        "Ada Sommer=dsq", "Ada=+5", "=+5", "Ada Sommer=+5=+5"}) {
    EXPECT_FALSE(parsePenalty(text, "here")) << text;
  }
}

TEST(Penalties, FileLinesSkipCommentsAndNameTheFirstBadLine) {
  std::vector<PenaltyDecision> decisions;
  EXPECT_EQ(parsePenaltyLines("# round 3\r\n\nAda Sommer=+5 # pit lane\r\n  # late\nB:Ben Ott=DSQ",
                              "stewards.txt", decisions),
            "");
  ASSERT_EQ(decisions.size(), 2u);
  EXPECT_EQ(std::tuple(decisions[0].Origin, decisions[0].Reason, decisions[1].Origin),
            std::tuple("stewards.txt, line 3", "pit lane", "stewards.txt, line 5"));
  const std::string error = parsePenaltyLines("Ada Sommer=+5\nAda Sommer=5\n", "s.txt", decisions);
  EXPECT_EQ(error.substr(0, error.find(';')), "s.txt, line 2: \"Ada Sommer=5\" is not a penalty");
}

TEST(Penalties, MatchNamesAsTheHighlightDoesAndRefuseNobodyOrTwoDrivers) {
  auto store = std::make_unique<EventStore>();
  initEventStore(*store);
  const auto enter = [&](int slot, const char* first, const char* last, int32_t laps) {
    store->SlotFirstName[slot].assign(first);
    store->SlotLastName[slot].assign(last);
    store->RaceLapCount[slot] = laps;
  };
  enter(0, "Ada", "Sommer", 3);
  enter(21, "Ada", "Sommer", 3);
  enter(22, "Ben", "Ott", 0);
  const auto match = [&](std::vector<std::string> texts) {
    std::vector<PenaltyDecision> decisions;
    for (const std::string& text : texts) decisions.push_back(*parsePenalty(text, "p"));
    return matchPenalties(*store, decisions);
  };
  const MatchedPenalties matched = match({"A:Ada Sommer=+1 # first", "Ben Ott=DSQ"});
  ASSERT_EQ(matched.Penalties.size(), 2u);
  EXPECT_EQ(std::tuple(matched.Penalties[0].Slot, matched.Penalties[0].TimeMs,
                       matched.Penalties[0].Reason, matched.Penalties[1].Slot,
                       matched.Penalties[1].Disqualified),
            std::tuple(0, 1000, "first", 22, true));
  EXPECT_EQ(matched.Warnings,
            std::vector<std::string>{"p: Ben Ott has no race laps; the penalty changes nothing"});
  EXPECT_EQ(match({"Ada Sommer=+1"}).Error,
            "p: Ada Sommer names drivers of grids A, B; put the grid before the name, as in "
            "A:Ada Sommer");
  EXPECT_EQ(match({"C:Ada Sommer=+1"}).Error, "p: Ada Sommer is no driver of grid C");
  EXPECT_EQ(match({"Ada Summer=+1"}).Error, "p: Ada Summer is no driver of the event");
}

}  // namespace
}  // namespace vorlind
