// What the reading of a grid shows the user, told as it happens: the readers report these
// events and values and print nothing; the run driver turns them into console lines.
#pragma once

#include <cstdint>
#include <string_view>

namespace vorlind {

class GridListener {
 public:
  virtual ~GridListener() = default;
  // One entry of the entry table: its last name, then its car and entry number, then the word
  // that follows the entry (the next entry's first bytes, or the tag that ends the table). A
  // damaged entry may stop after any of the three.
  virtual void entryNameRead(std::string_view lastName) = 0;
  virtual void entryCarRead(int32_t car, int32_t entryNumber) = 0;
  virtual void entryWordRead(int32_t word) = 0;
  // The laps are read: the grid's start time (NO_TIME when it has no race crossing).
  virtual void gridStartTimeRead(int32_t startTime) = 0;
  // The track length scan of a counted grid begins, and has raised the event's track length.
  virtual void trackSearchStarted() = 0;
  virtual void trackLengthFound(int32_t trackLengthRaw) = 0;
  // The best lap of the driver in `slot` is located and about to be measured.
  virtual void driverMeasured(int slot) = 0;
};

// Tells nobody: for a caller that wants only the grid's values, not its console lines.
class SilentGridListener : public GridListener {
 public:
  void entryNameRead(std::string_view) override {}
  void entryCarRead(int32_t, int32_t) override {}
  void entryWordRead(int32_t) override {}
  void gridStartTimeRead(int32_t) override {}
  void trackSearchStarted() override {}
  void trackLengthFound(int32_t) override {}
  void driverMeasured(int) override {}
};

}  // namespace vorlind
