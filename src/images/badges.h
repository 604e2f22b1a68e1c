// The images the report refers to: a badge for each car make (its name on a colour of its own)
// and one for each starting grid (its letter), drawn in our pixel font.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "images/gif_writer.h"

namespace vorlind::badges {

// Palette indices of a badge.
constexpr uint8_t kPaper = 0;
constexpr uint8_t kInk = 1;
constexpr uint8_t kBorder = 2;

struct BadgeStyle {
  Rgb Paper;
  Rgb Ink;
  Rgb Border;
};

// A width x height badge: a one-pixel border, paper inside and `text` (capital letters) in ink,
// centred. Empty (zero size) when the text has another character or does not fit.
IndexedImage drawBadge(std::string_view text, int width, int height, const BadgeStyle& style);

struct Badge {
  std::string FileName;  // e.g. "logo_Lotus.gif", relative to the images folder
  std::string Text;      // what the badge shows
  IndexedImage Image;
};

// The seven car make badges and the five grid badges, in the report's order.
std::vector<Badge> reportBadges();

// Writes every badge as a GIF file into `folder`, creating it; with `keepExisting` a file that is
// already there is left as it is. An error message, or empty.
std::string writeBadges(const std::filesystem::path& folder, bool keepExisting = false);

}  // namespace vorlind::badges
