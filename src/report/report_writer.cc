#include "report/report_writer.h"

#include <array>
#include <charconv>

#include "report/report_arithmetic.h"

namespace vorlind {

namespace {

constexpr std::string_view kCarLogos[] = {
    "<img src=\"images/logo_Brabham.gif\" />", "<img src=\"images/logo_BRM.gif\" />",
    "<img src=\"images/logo_Cooper.gif\" />",  "<img src=\"images/logo_Eagle.gif\" />",
    "<img src=\"images/logo_Ferrari.gif\" />", "<img src=\"images/logo_Lotus.gif\" />",
    "<img src=\"images/logo_Honda.gif\" />",
};

}  // namespace

void ReportWriter::writeText(std::string_view text) {
  for (const char c : text) {
    switch (c) {
      case '&':
        write("&amp;");
        break;
      case '<':
        write("&lt;");
        break;
      case '>':
        write("&gt;");
        break;
      case '"':
        write("&quot;");
        break;
      default:
        out_.put(c);
    }
  }
}

void ReportWriter::openRow(int slot) {
  write(slot == store_.HighlightSlot ? "<tr bgcolor=\"#FFFF00\"> \n" : "<tr> \n");
}

void ReportWriter::closeRow() { write(" </td> \n </tr> \n"); }

void ReportWriter::writeNumber(int64_t value) {
  std::array<char, 80> scratch;
  const auto result = std::to_chars(scratch.data(), scratch.data() + scratch.size(), value);
  out_.write(scratch.data(), result.ptr - scratch.data());
}

void ReportWriter::writeDriverName(int slot) {
  if (!isSlot(slot)) {
    write(" ");
    return;
  }
  write(store_.SlotFirstName[slot].view());
  write(" ");
  write(store_.SlotLastName[slot].view());
}

void ReportWriter::writeCarLogo(int slot) {
  if (!isSlot(slot)) return;
  const int32_t car = store_.SlotCar[slot];
  if (car >= 0 && car < static_cast<int32_t>(std::size(kCarLogos))) write(kCarLogos[car]);
}

// Slots 20, 40, 60 and 80 get no grid image: the classic report tests the grid bounds so, and the
// report keeps that.
void ReportWriter::writeGridImage(int slot) {
  if (slot < 20) {
    write("<img src=\"images/grid_A.gif\" />");
  } else if (slot > 20 && slot < 40) {
    write("<img src=\"images/grid_B.gif\" />");
  } else if (slot > 40 && slot < 60) {
    write("<img src=\"images/grid_C.gif\" />");
  } else if (slot > 60 && slot < 80) {
    write("<img src=\"images/grid_D.gif\" />");
  } else if (slot > 80) {
    write("<img src=\"images/grid_E.gif\" />");
  }
}

void ReportWriter::writeRankCells(int position, int slot) {
  write("<td align=\"center\"> ");
  writeNumber(position);
  write(" </td> <td> ");
  writeDriverName(slot);
  write(" </td> <td> ");
  writeCarLogo(slot);
}

void ReportWriter::writePadded2(int32_t value) {
  if (value < 10) write("0");
  writeNumber(value);
}

void ReportWriter::writePadded3(int32_t value) {
  if (value < 10) write("0");
  if (value < 100) write("0");
  writeNumber(value);
}

void ReportWriter::formatClockTime(int32_t ms) {
  writeNumber(ms / 60000);
  write(":");
  writePadded2(ms / 1000 % 60);
  write(".");
  writePadded3(ms % 1000);
}

// The clock time within the hour: the minutes are taken mod 60.
void ReportWriter::formatLapTime(int32_t ms) { formatClockTime(ms % 3600000); }

void ReportWriter::formatGap(int32_t ms, bool reduceMinutes) {
  write("-");
  const int32_t minutes = reduceMinutes ? ms / 60000 % 60 : ms / 60000;
  const int32_t seconds = ms / 1000 % 60;
  if (minutes > 0) {
    writeNumber(minutes);
    write(":");
    writePadded2(seconds);
  } else {
    writeNumber(seconds);
  }
  write(".");
  writePadded3(ms % 1000);
}

void ReportWriter::formatSeconds(int32_t ms) {
  writeNumber(ms / 1000 % 60);
  write(".");
  writePadded3(ms % 1000);
}

void ReportWriter::formatHundredths(int32_t value) {
  writeNumber(value / 100);
  write(".");
  writePadded2(value % 100);
}

void ReportWriter::formatSectorTime(int32_t ms) {
  const int32_t minutes = ms / 60000;
  if (minutes > 0) {
    writeNumber(minutes % 60);
    write(":");
  }
  writePadded2(ms / 1000 % 60);
  write(".");
  writePadded3(ms % 1000);
}

std::optional<int> highlightedDriver(const EventStore& store) {
  if (!store.MyNameSet) return std::nullopt;
  const int slot = store.HighlightSlot;
  if (store.SlotFirstName[slot].view() != store.MyFirstName.view() ||
      store.SlotLastName[slot].view() != store.MyLastName.view()) {
    return std::nullopt;
  }
  return slot;
}

}  // namespace vorlind
