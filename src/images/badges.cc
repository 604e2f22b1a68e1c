#include "images/badges.h"

#include <algorithm>
#include <fstream>
#include <system_error>

#include "images/pixel_font.h"

namespace vorlind::badges {

namespace {

constexpr int kPadding = 4;
constexpr int kBadgeHeight = kGlyphHeight + 2 * kPadding;

constexpr Rgb kWhite{255, 255, 255};
constexpr Rgb kBlack{0, 0, 0};

struct MakeBadge {
  const char* Make;  // as in the image's file name
  const char* Text;
  Rgb Paper;
  Rgb Ink;
};

// The car makes in the order of their numbers in the replays.
constexpr MakeBadge kMakes[] = {
    {"Brabham", "BRABHAM", {20, 90, 160}, kWhite},    {"BRM", "BRM", {40, 120, 60}, kWhite},
    {"Cooper", "COOPER", {30, 40, 90}, kWhite},       {"Eagle", "EAGLE", {230, 140, 20}, kBlack},
    {"Ferrari", "FERRARI", {190, 25, 30}, kWhite},    {"Lotus", "LOTUS", {240, 205, 30}, kBlack},
    {"Honda", "HONDA", {235, 235, 230}, {170, 0, 0}},
};

constexpr Rgb kGridPaper[] = {
    {70, 70, 70}, {0, 110, 140}, {120, 60, 150}, {150, 90, 40}, {60, 120, 60},
};

Rgb darker(Rgb colour) {
  auto shade = [](uint8_t channel) { return static_cast<uint8_t>(channel * 3 / 5); };
  return {shade(colour.R), shade(colour.G), shade(colour.B)};
}

}  // namespace

IndexedImage drawBadge(std::string_view text, int width, int height, const BadgeStyle& style) {
  const int inkWidth = textWidth(text);
  if (width < inkWidth + 2 || height < kGlyphHeight + 2) return {};
  for (char c : text) {
    if (glyphFor(c) == nullptr) return {};
  }
  IndexedImage image;
  image.Width = width;
  image.Height = height;
  image.Palette = {style.Paper, style.Ink, style.Border};
  image.Pixels.assign(static_cast<size_t>(width) * static_cast<size_t>(height), kPaper);
  auto set = [&](int x, int y, uint8_t index) {
    image.Pixels[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)] =
        index;
  };
  for (int x = 0; x < width; ++x) {
    set(x, 0, kBorder);
    set(x, height - 1, kBorder);
  }
  for (int y = 0; y < height; ++y) {
    set(0, y, kBorder);
    set(width - 1, y, kBorder);
  }
  const int left = (width - inkWidth) / 2;
  const int top = (height - kGlyphHeight) / 2;
  for (size_t i = 0; i < text.size(); ++i) {
    const Glyph& glyph = *glyphFor(text[i]);
    const int glyphLeft = left + static_cast<int>(i) * (kGlyphWidth + kGlyphSpacing);
    for (int row = 0; row < kGlyphHeight; ++row) {
      for (int column = 0; column < kGlyphWidth; ++column) {
        if (glyph[static_cast<size_t>(row)][static_cast<size_t>(column)] == '#') {
          set(glyphLeft + column, top + row, kInk);
        }
      }
    }
  }
  return image;
}

std::vector<Badge> reportBadges() {
  int logoWidth = 0;
  for (const MakeBadge& make : kMakes) logoWidth = std::max(logoWidth, textWidth(make.Text));
  logoWidth += 2 * kPadding;

  std::vector<Badge> badges;
  for (const MakeBadge& make : kMakes) {
    const BadgeStyle style{make.Paper, make.Ink, darker(make.Paper)};
    badges.push_back({std::string("logo_") + make.Make + ".gif", make.Text,
                      drawBadge(make.Text, logoWidth, kBadgeHeight, style)});
  }
  for (int grid = 0; grid < 5; ++grid) {
    const std::string letter(1, static_cast<char>('A' + grid));
    const BadgeStyle style{kGridPaper[grid], kWhite, darker(kGridPaper[grid])};
    const int side = kGlyphWidth + 2 * kPadding + 2;  // square, the letter centred
    badges.push_back(
        {"grid_" + letter + ".gif", letter, drawBadge(letter, side, kBadgeHeight, style)});
  }
  return badges;
}

std::string writeBadges(const std::filesystem::path& folder, bool keepExisting) {
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (error) return "cannot create " + folder.string() + ": " + error.message();
  for (const Badge& badge : reportBadges()) {
    const std::vector<uint8_t> bytes = encodeGif(badge.Image);
    if (bytes.empty()) return "cannot encode " + badge.FileName;
    const std::filesystem::path file = folder / badge.FileName;
    if (keepExisting && std::filesystem::exists(file, error)) continue;
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) return "cannot write " + file.string();
  }
  return {};
}

}  // namespace vorlind::badges
