// The ReportWriter turns the EventStore into the HTML report: it owns the output stream and the
// shared cell operations and number formats that every table uses, and writeReport lays out the
// document frame and calls the tables in their fixed order. Each table family lives in a source
// file of its own and writes only through these operations.
#pragma once

#include <array>
#include <cstdint>
#include <ostream>
#include <string_view>

#include "replay/event_store.h"

namespace vorlind {

class ReportWriter {
 public:
  ReportWriter(const EventStore& store, std::ostream& out) : store_(store), out_(out) {}

  const EventStore& store() const { return store_; }
  bool noSpeedValues() const { return store_.NoSpeedValues != 0; }

  // A literal fragment, written whole.
  void write(std::string_view fragment) { out_ << fragment; }
  void openRow(int slot);
  void closeRow();
  void writeNumber(int64_t value);
  void writeDriverName(int slot);
  void writeCarLogo(int slot);
  void writeGridImage(int slot);
  // The position, driver and car cells that open a row of most ranking tables; the car cell is
  // left open for the next fragment.
  void writeRankCells(int position, int slot);

  void formatClockTime(int32_t ms);
  void formatLapTime(int32_t ms);
  // `reduceMinutes` false prints the whole minutes (the result table's gap column).
  void formatGap(int32_t ms, bool reduceMinutes = true);
  void formatSeconds(int32_t ms);
  void formatHundredths(int32_t value);
  // `value` with a leading "0" below 10, or below 10 and 100 for three digits.
  void writePadded2(int32_t value);
  void writePadded3(int32_t value);

  // The flags of the ranking in progress: 1 while a slot has not been given a row.
  std::array<uint8_t, kSlotCount>& unlisted() { return unlisted_; }
  void markAllUnlisted() { unlisted_.fill(1); }
  void markListed(int slot) { unlisted_[slot] = 0; }

 private:
  const EventStore& store_;
  std::ostream& out_;
  std::array<uint8_t, kSlotCount> unlisted_{};
};

// Writes the whole report document for the store to `out`.
void writeReport(const EventStore& store, std::ostream& out);

}  // namespace vorlind
