// The HTML report: the ReportWriter owns the output stream and the cell operations and number
// formats that every table uses, and writeReport ranks each table and writes the document frame
// and the tables in their fixed order (report_html.cc holds the HTML of the document and tables).
#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <span>
#include <string_view>

#include "replay/event_store.h"
#include "report/result_table.h"

namespace vorlind {

class ReportWriter {
 public:
  ReportWriter(const EventStore& store, std::ostream& out) : store_(store), out_(out) {}

  const EventStore& store() const { return store_; }
  bool noSpeedValues() const { return store_.NoSpeedValues != 0; }

  // A literal fragment, written whole.
  void write(std::string_view fragment) { out_ << fragment; }
  // Text given by the user, with the characters that HTML reserves written as references.
  void writeText(std::string_view text);
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
  // Minutes (mod 60) and ":" only from one minute on, seconds always with two digits.
  void formatSectorTime(int32_t ms);
  // `value` with a leading "0" below 10, or below 10 and 100 for three digits.
  void writePadded2(int32_t value);
  void writePadded3(int32_t value);

 private:
  const EventStore& store_;
  std::ostream& out_;
};

// The slot whose rows are painted yellow, when the configured name matched a driver of the event.
std::optional<int> highlightedDriver(const EventStore& store);

// Writes the whole report document for the store to `out`. With penalties, the RESULT table
// holds the penalised complete classification and a line for each penalised driver follows it.
void writeReport(const EventStore& store, std::ostream& out,
                 std::span<const Penalty> penalties = {});

}  // namespace vorlind
