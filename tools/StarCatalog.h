// Star catalogues: a CSV text of right ascension, declination, magnitude
// and spectral class, and the binary star data file the plug-in reads (a
// signed 32-bit little-endian count, then 16-byte records: right
// ascension, declination and magnitude as little-endian 32-bit floats, the
// class letter and three unused bytes).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace envtools {

struct StarEntry {
    float rightAscension; // degrees, 0 up to 360
    float declination;    // degrees, -90..90
    float magnitude;
    char spectralClass; // upper case letter
};

struct StarCatalog {
    std::vector<StarEntry> stars;
    std::vector<std::string> errors;   // "line N: ..." for every line not read
    std::vector<std::string> warnings; // lines read with a remark
};

// Reads CSV text: one star a line as ra,dec,magnitude,class. A first line
// that does not start with a number is a header; blank lines and lines
// starting with '#' are skipped. Lines with errors are left out.
StarCatalog ParseStarCsv(const std::string& text);

// The binary star data file of the stars, in the given order.
std::string EncodeStarData(const std::vector<StarEntry>& stars);

// The stars of a binary star data file; false when it is truncated or its
// count is negative.
bool DecodeStarData(const std::string& bytes, std::vector<StarEntry>* stars);

} // namespace envtools
