// A tiny pixel font of our own: the capital letters A to Z, each 5 pixels wide and 7 high.
#pragma once

#include <array>
#include <string_view>

namespace vorlind::badges {

constexpr int kGlyphWidth = 5;
constexpr int kGlyphHeight = 7;
constexpr int kGlyphSpacing = 1;

// One row per text line, top first; '#' is an ink pixel, '.' is paper.
using Glyph = std::array<std::string_view, kGlyphHeight>;

// The glyph of a capital letter, or nullptr for any other character.
const Glyph* glyphFor(char letter);

// The width in pixels of `text` set in this font, one pixel of spacing between letters.
int textWidth(std::string_view text);

}  // namespace vorlind::badges
