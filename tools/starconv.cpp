// starconv: turns a star catalogue in CSV form (ra_deg,dec_deg,mag,class)
// into the binary star data file an Environment File names in StarDataFile.
#include <CLI/CLI.hpp>
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "tools/GuardedMain.h"
#include "tools/StarCatalog.h"

namespace {

int Run(int argc, char** argv) {
    CLI::App app{"starconv: converts a CSV star catalogue (right ascension and declination in degrees, visual "
                 "magnitude, spectral class letter; one star a line, an optional header line) into the binary "
                 "star data file of EnvironmentSystem."};
    std::string input, output;
    float maxMagnitude = 99;
    bool brightestFirst = false, skipBad = false, quiet = false;
    app.add_option("input", input, "CSV catalogue")->required()->check(CLI::ExistingFile);
    app.add_option("output", output, "Star data file to write")->required();
    app.add_option("--max-magnitude", maxMagnitude, "Leave out stars fainter than this magnitude");
    app.add_flag("--brightest-first", brightestFirst, "Sort the stars by magnitude, brightest first");
    app.add_flag("--skip-bad", skipBad, "Leave out malformed lines instead of failing");
    app.add_flag("-q,--quiet", quiet, "Print nothing but errors");
    CLI11_PARSE(app, argc, argv);

    std::ifstream in(input, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    envtools::StarCatalog catalog = envtools::ParseStarCsv(text.str());
    for (const std::string& e : catalog.errors)
        std::fprintf(stderr, "starconv: %s: %s\n", input.c_str(), e.c_str());
    if (!quiet)
        for (const std::string& w : catalog.warnings)
            std::fprintf(stderr, "starconv: %s: %s\n", input.c_str(), w.c_str());
    if (!catalog.errors.empty() && !skipBad) {
        std::fprintf(stderr, "starconv: %zu malformed lines; nothing written (--skip-bad leaves them out)\n",
                     catalog.errors.size());
        return 1;
    }
    std::vector<envtools::StarEntry>& stars = catalog.stars;
    stars.erase(std::remove_if(stars.begin(), stars.end(),
                               [&](const envtools::StarEntry& s) { return s.magnitude > maxMagnitude; }),
                stars.end());
    if (brightestFirst)
        std::stable_sort(stars.begin(), stars.end(), [](const envtools::StarEntry& a, const envtools::StarEntry& b) {
            return a.magnitude < b.magnitude;
        });
    const std::string bytes = envtools::EncodeStarData(stars);
    std::ofstream out(output, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) {
        std::fprintf(stderr, "starconv: cannot write %s\n", output.c_str());
        return 1;
    }
    if (!quiet) std::printf("starconv: %zu stars written to %s\n", stars.size(), output.c_str());
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    return envtools::GuardedMain("starconv", [&] { return Run(argc, argv); });
}
