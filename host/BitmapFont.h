// A tiny 5 x 7 pixel font for the labels of contact sheets: digits, upper
// case letters (lower case is drawn as upper case) and a few signs.
#pragma once

#include <cstdint>
#include <string>

#include "host/PngImage.h"

namespace envhost {

class BitmapFont {
public:
    static constexpr int kGlyphWidth = 5;
    static constexpr int kGlyphHeight = 7;
    // Seven rows of five bits, the leftmost pixel in bit 4; null for a
    // character the font does not have.
    static const uint8_t* Glyph(char c);
    // Width in pixels of text drawn at a scale.
    static int TextWidth(const std::string& text, int scale);
    // Draws text with its top-left corner at (x, y) on a dark box.
    static void Draw(PngImage& image, int x, int y, const std::string& text, int scale, const uint8_t* rgb);
};

} // namespace envhost
