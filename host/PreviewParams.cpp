#include "host/PreviewParams.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace envhost {

namespace {

// A whole-text decimal number within [low, high].
bool ReadNumber(const std::string& text, double low, double high, double* out) {
    if (text.empty() || text.size() > 64) return false;
    char* end = nullptr;
    errno = 0;
    const double value = std::strtod(text.c_str(), &end);
    if (end != text.c_str() + text.size() || errno == ERANGE || !std::isfinite(value)) return false;
    if (value < low || value > high) return false;
    *out = value;
    return true;
}

std::string Range(double low, double high) {
    char text[96];
    std::snprintf(text, sizeof text, "expected a number from %g to %g", low, high);
    return text;
}

std::string Number(double value) {
    char text[48];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

} // namespace

bool ParsePreviewParams(const std::multimap<std::string, std::string>& query, PreviewParams* params,
                        std::string* error) {
    PreviewParams p;
    SceneSpec& s = p.scene;
    auto fail = [error](const std::string& name, const std::string& why) {
        if (error != nullptr) *error = "bad parameter \"" + name + "\": " + why;
        return false;
    };
    // The first value of a repeated name wins, as it does for the page's
    // own links.
    auto value = [&query](const char* name, std::string* out) {
        const auto it = query.find(name);
        if (it == query.end()) return false;
        *out = it->second;
        return true;
    };
    struct FloatParam {
        const char* name;
        float* field;
        double low, high;
    };
    // The bounds keep every value finite and the picture's cost bounded;
    // within them the plug-in takes what a host could hand it.
    const FloatParam floats[] = {
        {"latitude", &s.latitude, -90, 90},
        {"intensity", &s.intensity, 0, 1},
        {"overcast", &s.overcast, -1e6, 1e6},
        {"transition", &s.transition, 0, 1e6},
        {"altitude", &s.altitude, -1e6, 1e6},
        {"pitch", &s.pitch, -90, 90},
        {"fov", &s.fov, 10, 160},
        {"advance", &p.advance, 0, 86400},
    };
    std::string text;
    double number = 0;
    for (const FloatParam& f : floats) {
        if (!value(f.name, &text)) continue;
        if (!ReadNumber(text, f.low, f.high, &number)) return fail(f.name, Range(f.low, f.high));
        *f.field = static_cast<float>(number);
    }
    struct IntParam {
        const char* name;
        double low, high;
    };
    const IntParam ints[] = {{"weather", 0, 4}, {"width", 16, 4096}, {"height", 16, 4096}, {"seed", 0, 4294967295.0}};
    for (const IntParam& i : ints) {
        if (!value(i.name, &text)) continue;
        if (!ReadNumber(text, i.low, i.high, &number) || number != std::floor(number))
            return fail(i.name, "expected a whole number from " + Number(i.low) + " to " + Number(i.high));
        const std::string name = i.name;
        if (name == "weather") s.weather = static_cast<int>(number);
        if (name == "width") p.width = static_cast<int>(number);
        if (name == "height") p.height = static_cast<int>(number);
        if (name == "seed") p.seed = static_cast<uint32_t>(number);
    }
    if (value("date", &text) && !ParseDate(text, &s)) return fail("date", "expected YYYY-MM-DD");
    if (value("time", &text) && !ParseTime(text, &s)) return fail("time", "expected HH:MM or HH:MM:SS");
    if (value("heading", &text)) {
        if (text == "sun") {
            s.headingFollowsSun = true;
        } else {
            if (!ReadNumber(text, -360, 360, &number))
                return fail("heading", "expected degrees from -360 to 360 or sun");
            s.heading = static_cast<float>(number);
            s.headingFollowsSun = false;
        }
    }
    *params = p;
    return true;
}

std::string FrameCommandLine(const PreviewParams& p, const std::string& environment) {
    const SceneSpec& s = p.scene;
    char text[512];
    std::snprintf(text, sizeof text,
                  " --date %04d-%02d-%02d --time %02d:%02d:%02d --latitude %g --weather %d --intensity %g"
                  " --overcast %g --transition %g --altitude %g --heading %s --pitch %g --fov %g"
                  " --width %d --height %d --seed %u --out sky.png",
                  s.year, s.month, s.day, s.hour, s.minute, s.second, s.latitude, s.weather, s.intensity, s.overcast,
                  s.transition, s.altitude, s.headingFollowsSun ? "sun" : Number(s.heading).c_str(), s.pitch, s.fov,
                  p.width, p.height, p.seed);
    std::string line = "envhost frame";
    if (!environment.empty()) {
        // Single quotes keep a path with spaces one argument in a POSIX shell.
        std::string quoted = "'";
        for (char c : environment)
            quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
        line += " --env " + quoted + "'";
    }
    return line + text;
}

} // namespace envhost
