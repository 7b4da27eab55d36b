// Helpers shared by the host's tests: a scratch folder and pixel reads.
#pragma once

#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "host/PngImage.h"

namespace envhost {

class ScratchFolder {
public:
    ScratchFolder() {
        char pattern[] = "/tmp/envhost-test-XXXXXX";
        const char* made = mkdtemp(pattern);
        path = made != nullptr ? made : "/tmp";
    }
    ~ScratchFolder() {
        const std::string command = "rm -rf '" + path + "'";
        if (path.rfind("/tmp/envhost-test-", 0) == 0) std::system(command.c_str());
    }
    std::string Write(const std::string& name, const std::string& bytes) const {
        const std::string full = path + "/" + name;
        std::FILE* f = std::fopen(full.c_str(), "wb");
        if (f != nullptr) {
            std::fwrite(bytes.data(), 1, bytes.size(), f);
            std::fclose(f);
        }
        return full;
    }
    std::string path;
};

struct Rgb {
    int r, g, b;
};

inline Rgb PixelAt(const PngImage& image, int x, int y) {
    const uint8_t* p = image.At(x, y);
    return {p[0], p[1], p[2]};
}

// Mean colour of a rectangle [x0, x1) x [y0, y1).
inline void MeanColour(const PngImage& image, int x0, int y0, int x1, int y1, double* rgb) {
    rgb[0] = rgb[1] = rgb[2] = 0;
    int n = 0;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x, ++n)
            for (int c = 0; c < 3; ++c)
                rgb[c] += image.At(x, y)[c];
    for (int c = 0; c < 3; ++c)
        rgb[c] /= n > 0 ? n : 1;
}

} // namespace envhost
