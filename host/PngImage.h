// An 8-bit RGBA picture and its PNG file form (libpng). The renderer, the
// sheet commands and the texture generator share it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace envhost {

struct PngImage {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgba; // row by row, top row first, 4 bytes a pixel

    PngImage() = default;
    PngImage(int w, int h, uint8_t r = 0, uint8_t g = 0, uint8_t b = 0, uint8_t a = 255);

    uint8_t* At(int x, int y) { return &rgba[(static_cast<size_t>(y) * width + x) * 4]; }
    const uint8_t* At(int x, int y) const { return &rgba[(static_cast<size_t>(y) * width + x) * 4]; }
    void Set(int x, int y, uint8_t r, uint8_t g, uint8_t b, uint8_t a = 255);
    // Copies src with its top-left corner at (x, y), clipped to this image.
    void Blit(const PngImage& src, int x, int y);

    bool Read(const std::string& path, std::string* error);
    bool Write(const std::string& path, std::string* error) const;
    // The PNG file form in memory, RGB without the (always opaque) alpha,
    // at zlib level 1: a 960x540 sky encodes in a few milliseconds, where
    // the default level takes several times longer for a file a third
    // smaller. False when libpng refuses.
    bool EncodeFast(std::vector<uint8_t>* out) const;
};

} // namespace envhost
