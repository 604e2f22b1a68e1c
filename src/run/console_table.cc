#include "run/console_table.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <iomanip>
#include <ostream>

#include "report/fast_lap_count_table.h"
#include "report/lap_pass.h"

namespace vorlind {

namespace {

constexpr int kMaxCharts = 99;
constexpr int kLastChartLap = 127;
constexpr int kNamePadding = 24;

void printDriverList(const EventStore& store, std::ostream& out) {
  int listed = 0;
  for (int s = 0; s < kSlotCount; ++s) {
    if (store.RaceLapCount[s] <= 0) continue;
    ++listed;
    if (s < 10) out << ' ';
    const std::string_view first = store.SlotFirstName[s].view();
    const std::string_view last = store.SlotLastName[s].view();
    out << s << '=' << first << ' ' << last;
    if (listed % 3 == 0) {
      out << std::endl;
    } else {
      const int length = static_cast<int>(first.size() + last.size());
      if (length < kNamePadding) out << std::string(kNamePadding - length, ' ');
    }
  }
}

int32_t readMenuNumber(std::istream& in) {
  int32_t value = 0;
  if (!(in >> value)) return 0;
  return value;
}

}  // namespace

void printBestLapTable(const EventStore& store, std::ostream& out) {
  for (const FastestLapCountRow& row : rankFastestLapCounts(store)) {
    out << std::setw(13) << row.FastestLaps << std::setw(0) << " * "
        << store.SlotFirstName[row.Slot].view() << ' ' << store.SlotLastName[row.Slot].view()
        << std::endl;
  }
}

void printLapPlaceChart(const EventStore& store, int slot, std::ostream& out) {
  out << std::endl
      << store.SlotFirstName[slot].view() << ' ' << store.SlotLastName[slot].view() << std::endl
      << std::endl;
  const LapPlaces place = lapPlaces(store, slot);
  const int chartLaps = std::min(store.MaxRaceLaps, kLastChartLap);
  for (int row = 0; row < 10; ++row) {
    for (int lap = row + 1; lap <= chartLaps; lap += 10) {
      if (lap <= 10) {
        if (lap < 10) out << ' ';
        out << lap << " | ";
      }
      if (place[lap] < 10) out << ' ';
      if (place[lap] <= 0) {
        out << '-';
      } else {
        out << place[lap];
      }
      out << ' ';
    }
    out << ' ' << std::endl;
  }
  const int columns = store.MaxRaceLaps / 10;
  out << "   ";
  for (int i = 0; i < columns + 2; ++i) out << "***";
  out << std::endl << "     ";
  for (int i = 1; i <= columns + 1; ++i) out << 10 * i << ' ';
  out << std::endl;
}

void runDriverMenu(Console& console, EventStore& store) {
  std::ostream& out = console.Out;
  for (int chart = 1; chart <= kMaxCharts; ++chart) {
    out << " 0=Ends this part of the tool and creates a html-file with statistiscs" << std::endl;
    out << "Value<0   Ends this part of the tool and creates a html-file with statistiscs, "
           "except speed values"
        << std::endl;
    store.NoSpeedValues = 0;
    printDriverList(store, out);
    out << std::endl
        << "Please choice a number!\n"
        << "After ENTER wait for shutting of the konsole!\n"
        << "It could be that searching for sector times need one minute.\n"
        << "After all you find the html in programm directory.\n";
    out.flush();
    store.NoSpeedValues = readMenuNumber(console.In);
    if (store.NoSpeedValues < 1 || store.NoSpeedValues > 99) return;
    printLapPlaceChart(store, store.NoSpeedValues, out);
    pauseConsole(console);
  }
}

std::string reportFileName(const EventStore& store) {
  return reportFileName(store.ReportBaseName.view(), store.NoSpeedValues);
}

std::string reportFileName(std::string_view baseName, int32_t noSpeedValues) {
  std::string name(baseName);
  if (noSpeedValues != 0) name += "no_v";
  name += ".html";
  return name;
}

void runConsoleTable(Console& console, EventStore& store) {
  computeLapPass(store);
  printBestLapTable(store, console.Out);
  pauseConsole(console);
  runDriverMenu(console, store);
}

}  // namespace vorlind
