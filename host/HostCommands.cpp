#include "host/HostCommands.h"

#include <unistd.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <functional>

#include "host/BitmapFont.h"
#include "host/InstallLayout.h"
#include "host/PreviewServer.h"

namespace envhost {

using namespace envsys;

namespace {

constexpr float kDegrees = 0.017453292519943295f;
constexpr float kFrameSeconds = 1.0f / 30.0f;

struct GlobalOptions {
    std::string environment;
    std::string module;
    uint32_t seed = 1;
    int width = 640;
    int height = 360;
    bool stats = false;
    int threads = RenderThreads::DefaultCount();
};

class Progress {
public:
    Progress(int total, const char* what) : total_(total), what_(what), show_(isatty(STDERR_FILENO) != 0) {}
    void Step(int done) const {
        if (!show_) return;
        const int width = 30, filled = total_ > 0 ? done * width / total_ : width;
        std::fprintf(stderr, "\r%s [%s%s] %d/%d", what_, std::string(filled, '#').c_str(),
                     std::string(width - filled, '.').c_str(), done, total_);
        if (done >= total_) std::fputc('\n', stderr);
        std::fflush(stderr);
    }

private:
    int total_;
    const char* what_;
    bool show_;
};

std::string TwoDigits(int n) {
    char text[16];
    std::snprintf(text, sizeof text, "%02d", n);
    return text;
}

void AddSceneOptions(CLI::App* app, SceneSpec& scene, std::string& date, std::string& heading, bool withTime,
                     std::string* time) {
    app->add_option("--date", date, "Date as YYYY-MM-DD")->capture_default_str();
    if (withTime) app->add_option("--time", *time, "Time of day as HH:MM or HH:MM:SS")->capture_default_str();
    app->add_option("--latitude", scene.latitude, "Latitude in degrees, north positive")->capture_default_str();
    app->add_option("--weather", scene.weather, "Weather level: 0 clear, 1-2 haze, 3 overcast, 4 inclement")
        ->capture_default_str()
        ->check(CLI::Range(0, 4));
    app->add_option("--overcast", scene.overcast, "Altitude of the overcast layer")->capture_default_str();
    app->add_option("--transition", scene.transition, "Depth of the overcast's transition band")->capture_default_str();
    app->add_option("--intensity", scene.intensity, "Weather intensity 0..1")->capture_default_str();
    app->add_option("--altitude", scene.altitude, "Viewer altitude above the ground")->capture_default_str();
    app->add_option("--heading", heading, "View direction in degrees from north toward east, or \"sun\"")
        ->capture_default_str();
    app->add_option("--pitch", scene.pitch, "View elevation in degrees")->capture_default_str();
    app->add_option("--fov", scene.fov, "Horizontal field of view in degrees")
        ->capture_default_str()
        ->check(CLI::Range(10.0f, 160.0f));
    app->add_option("--speed", scene.speed, "Viewer speed along the view direction, units per second")
        ->capture_default_str();
    app->add_option("--warmup", scene.warmup, "Seconds of model time run before a frame is drawn")
        ->capture_default_str();
}

bool FinishScene(const std::string& date, const std::string& heading, const std::string* time, SceneSpec* scene) {
    if (!ParseDate(date, scene)) {
        std::fprintf(stderr, "envhost: bad date \"%s\" (YYYY-MM-DD)\n", date.c_str());
        return false;
    }
    if (time != nullptr && !ParseTime(*time, scene)) {
        std::fprintf(stderr, "envhost: bad time \"%s\" (HH:MM or HH:MM:SS)\n", time->c_str());
        return false;
    }
    if (heading == "sun") {
        scene->headingFollowsSun = true;
    } else {
        char* end = nullptr;
        scene->heading = std::strtof(heading.c_str(), &end);
        if (end == heading.c_str() || *end != '\0' || !std::isfinite(scene->heading)) {
            std::fprintf(stderr, "envhost: bad heading \"%s\" (degrees or sun)\n", heading.c_str());
            return false;
        }
        scene->headingFollowsSun = false;
    }
    return true;
}

bool OpenSession(HostSession& session, const GlobalOptions& global) {
    SessionOptions options;
    options.modulePath = global.module;
    options.environmentPath = global.environment.empty()
                                  ? DataFolder(HostSession::ExecutableFolder(), "default") + "/environment.ini"
                                  : global.environment;
    options.seed = global.seed;
    options.width = global.width;
    options.height = global.height;
    options.threads = global.threads;
    std::string error;
    if (!session.Open(options, &error)) {
        std::fprintf(stderr, "envhost: %s\n", error.c_str());
        return false;
    }
    return true;
}

int Finish(HostSession& session, const GlobalOptions& global, const PngImage& image, const std::string& out,
           double seconds, int frames) {
    for (const std::string& name : session.gfx.missingTextures)
        std::fprintf(stderr, "envhost: texture not found: %s\n", name.c_str());
    if (global.stats) std::printf("%s", FormatStats(session.drawnFrames).c_str());
    session.Close();
    if (!session.leakReport.empty()) std::fprintf(stderr, "envhost: %s", session.leakReport.c_str());
    std::string error;
    if (!image.Write(out, &error)) {
        std::fprintf(stderr, "envhost: cannot write %s: %s\n", out.c_str(), error.c_str());
        return 1;
    }
    std::printf("wrote %s (%dx%d, %d frame%s in %.1f s)\n", out.c_str(), image.width, image.height, frames,
                frames == 1 ? "" : "s", seconds);
    return 0;
}

double Since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

const char* WeatherName(int level) {
    static const char* kNames[] = {"clear", "haze", "haze", "overcast", "inclement"};
    return kNames[std::max(0, std::min(4, level))];
}

} // namespace

bool ParseDate(const std::string& text, SceneSpec* scene) {
    int y, m, d, used = 0;
    // %n tells how far the pattern reached: anything after the day is refused.
    if (std::sscanf(text.c_str(), "%d-%d-%d%n", &y, &m, &d, &used) != 3 || used != static_cast<int>(text.size()))
        return false;
    if (m < 1 || m > 12 || d < 1 || d > 31) return false;
    scene->year = y, scene->month = m, scene->day = d;
    return true;
}

bool ParseTime(const std::string& text, SceneSpec* scene) {
    int h = 0, m = 0, s = 0, used = 0;
    const int size = static_cast<int>(text.size());
    const bool full = std::sscanf(text.c_str(), "%d:%d:%d%n", &h, &m, &s, &used) == 3 && used == size;
    if (!full) {
        s = 0;
        used = 0;
        if (std::sscanf(text.c_str(), "%d:%d%n", &h, &m, &used) != 2 || used != size) return false;
    }
    if (h < 0 || h > 23 || m < 0 || m > 59 || s < 0 || s > 59) return false;
    scene->hour = h, scene->minute = m, scene->second = s;
    return true;
}

PngImage RenderScene(HostSession& session, const SceneSpec& scene) {
    RunScene(session, scene, true);
    return session.Image();
}

void RunScene(HostSession& session, const SceneSpec& scene, bool draw) {
    EnvironmentSystemInterface* env = session.env();
    Camera& camera = session.camera;
    camera.position[0] = camera.position[1] = 0;
    camera.position[2] = scene.altitude;
    camera.motion[0] = camera.motion[1] = camera.motion[2] = 0;
    camera.pitchDegrees = scene.pitch;
    camera.headingDegrees = scene.heading;
    camera.horizontalFov = scene.fov;
    session.particles.Clear();
    if (env == nullptr) return;
    env->SetLatitude(scene.latitude);
    const WeatherParams weather{scene.weather, 0, scene.overcast, scene.transition, 0, scene.intensity};
    env->SetWeather(&weather);
    // Setting the date and time marks the model, so the next frame
    // recomputes the sun and the light for this scene.
    const CalendarDate date{scene.year, scene.month, scene.day};
    env->SetDate(&date);
    const TimeOfDay time{scene.hour, scene.minute, scene.second, 0};
    env->SetTime(&time);
    session.Frame(0.0f, false);
    if (scene.headingFollowsSun) {
        float sun[3] = {0, 0, 0};
        env->GetSunDirection(sun);
        if (std::fabs(sun[0]) + std::fabs(sun[1]) > 1e-4f)
            camera.headingDegrees = std::atan2(sun[0], sun[1]) / kDegrees;
    }
    const Vec3 forward = camera.Forward();
    camera.motion[0] = forward.x * scene.speed;
    camera.motion[1] = forward.y * scene.speed;
    camera.motion[2] = forward.z * scene.speed;
    const int warmupFrames = static_cast<int>(std::max(0.0f, scene.warmup) / kFrameSeconds);
    // Start back along the motion, so that the drawn frame is where the scene asks.
    for (int i = 0; i < 3; ++i)
        camera.position[i] -= static_cast<double>(camera.motion[i]) * kFrameSeconds * (warmupFrames + 1);
    for (int i = 0; i < warmupFrames; ++i)
        session.Frame(kFrameSeconds, false);
    session.Frame(kFrameSeconds, draw);
}

PngImage ContactSheet(const std::vector<PngImage>& frames, const std::vector<std::string>& labels, int columns) {
    if (frames.empty()) return PngImage();
    columns = std::max(1, std::min<int>(columns, static_cast<int>(frames.size())));
    const int rows = (static_cast<int>(frames.size()) + columns - 1) / columns;
    const int gap = 4, w = frames[0].width, h = frames[0].height;
    PngImage sheet(columns * w + (columns + 1) * gap, rows * h + (rows + 1) * gap, 24, 24, 28);
    const int scale = std::max(1, (h + 60) / 120);
    const uint8_t white[3] = {255, 255, 255};
    for (size_t i = 0; i < frames.size(); ++i) {
        const int x = gap + static_cast<int>(i % columns) * (w + gap);
        const int y = gap + static_cast<int>(i / columns) * (h + gap);
        sheet.Blit(frames[i], x, y);
        if (i < labels.size()) BitmapFont::Draw(sheet, x + 2 * scale, y + 2 * scale, labels[i], scale, white);
    }
    return sheet;
}

std::string FormatStats(const std::vector<FrameTimes>& frames) {
    if (frames.empty()) return "no frames drawn\n";
    const struct {
        const char* name;
        double FrameTimes::*field;
    } kOps[] = {{"Update", &FrameTimes::update},
                {"PrepareFrame", &FrameTimes::prepareFrame},
                {"DrawSky", &FrameTimes::drawSky},
                {"DrawLensFlare", &FrameTimes::drawLensFlare}};
    std::string out = "operation       median ms      max ms   (" + std::to_string(frames.size()) + " frames)\n";
    for (const auto& op : kOps) {
        std::vector<double> values;
        for (const FrameTimes& f : frames)
            values.push_back(f.*(op.field) * 1000.0);
        std::sort(values.begin(), values.end());
        const size_t n = values.size();
        const double median = n % 2 ? values[n / 2] : 0.5 * (values[n / 2 - 1] + values[n / 2]);
        char line[128];
        std::snprintf(line, sizeof line, "%-14s %10.3f  %10.3f\n", op.name, median, values.back());
        out += line;
    }
    return out;
}

int RunCommandLine(int argc, char** argv) {
    CLI::App app{"envhost: the reference host of EnvironmentSystem. It loads the plug-in module, drives it frame "
                 "by frame and renders what it draws into PNG pictures."};
    app.require_subcommand(1);
    // The frame size, seed and the rest may follow the command's name too.
    app.fallthrough();
    GlobalOptions global;
    app.add_option("--env", global.environment, "Environment File (default: the default environment)");
    app.add_option("--module", global.module, "Plug-in module (default: EnvironmentSystem.so next to envhost)");
    app.add_option("--seed", global.seed, "Seed of the host's random numbers")->capture_default_str();
    app.add_option("--width", global.width, "Frame width in pixels")
        ->capture_default_str()
        ->check(CLI::Range(16, 8192));
    app.add_option("--height", global.height, "Frame height in pixels")
        ->capture_default_str()
        ->check(CLI::Range(16, 8192));
    app.add_option("--threads", global.threads, "Threads that draw each frame (1: all on the main thread)")
        ->capture_default_str()
        ->check(CLI::Range(1, 64));
    app.add_flag("--stats", global.stats, "Print the time spent in Update, PrepareFrame, DrawSky and DrawLensFlare");

    SceneSpec scene;
    std::string date = "2024-06-21", time = "12:00", heading = "sun", out;
    int columns = 0;
    std::string altitudes = "300,1200,1450,1500,1560,2600";
    std::function<int()> run;

    CLI::App* frame = app.add_subcommand("frame", "Render one frame");
    AddSceneOptions(frame, scene, date, heading, true, &time);
    frame->add_option("--out", out, "Output PNG file")->required();

    CLI::App* day = app.add_subcommand("day", "Render a day: one frame per hour on a contact sheet");
    AddSceneOptions(day, scene, date, heading, false, nullptr);
    day->add_option("--out", out, "Output PNG file")->required();
    day->add_option("--columns", columns, "Frames per row (default 6)");

    CLI::App* flight = app.add_subcommand("flight", "Climb through the overcast: below, inside the band, above");
    AddSceneOptions(flight, scene, date, heading, true, &time);
    flight->add_option("--altitudes", altitudes, "Viewer altitudes, comma separated")->capture_default_str();
    flight->add_option("--out", out, "Output PNG file")->required();
    flight->add_option("--columns", columns, "Frames per row (default 3)");

    CLI::App* weather = app.add_subcommand("weather", "Render the five weather levels side by side");
    AddSceneOptions(weather, scene, date, heading, true, &time);
    weather->add_option("--out", out, "Output PNG file")->required();
    weather->add_option("--columns", columns, "Frames per row (default 5)");

    CLI::App* serve = app.add_subcommand("serve", "Serve the live preview page: the picture follows the page's "
                                                  "controls and the Environment File as it is saved");
    ServeOptions serveOptions;
    serve->add_option("--port", serveOptions.port, "Port to listen on")
        ->capture_default_str()
        ->check(CLI::Range(1, 65535));
    serve->add_option("--bind", serveOptions.bind, "Address to listen on; 127.0.0.1 keeps the page to this machine")
        ->capture_default_str();

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        return app.exit(e);
    }

    if (serve->parsed()) {
        const std::string folder = HostSession::ExecutableFolder();
        serveOptions.environment =
            global.environment.empty() ? DataFolder(folder, "default") + "/environment.ini" : global.environment;
        serveOptions.module = global.module;
        serveOptions.threads = global.threads;
        serveOptions.pageFolder = DataFolder(folder, "preview");
        return Serve(serveOptions);
    }
    const bool withTime = !day->parsed();
    if (!FinishScene(date, heading, withTime ? &time : nullptr, &scene)) return 2;
    HostSession session;
    if (!OpenSession(session, global)) return 1;
    const auto start = std::chrono::steady_clock::now();
    std::vector<PngImage> frames;
    std::vector<std::string> labels;

    if (frame->parsed()) {
        PngImage image = RenderScene(session, scene);
        return Finish(session, global, image, out, Since(start), 1);
    }
    if (day->parsed()) {
        Progress progress(24, "day");
        for (int hour = 0; hour < 24; ++hour) {
            SceneSpec s = scene;
            s.hour = hour, s.minute = 0, s.second = 0;
            frames.push_back(RenderScene(session, s));
            labels.push_back(TwoDigits(hour) + ":00");
            progress.Step(hour + 1);
        }
        return Finish(session, global, ContactSheet(frames, labels, columns > 0 ? columns : 6), out, Since(start), 24);
    }
    if (flight->parsed()) {
        std::vector<float> list;
        for (size_t pos = 0; pos < altitudes.size();) {
            size_t comma = altitudes.find(',', pos);
            if (comma == std::string::npos) comma = altitudes.size();
            const std::string item = altitudes.substr(pos, comma - pos);
            char* end = nullptr;
            const float value = std::strtof(item.c_str(), &end);
            if (end == item.c_str() || *end != '\0') {
                std::fprintf(stderr, "envhost: bad altitude \"%s\"\n", item.c_str());
                return 2;
            }
            list.push_back(value);
            pos = comma + 1;
        }
        if (!flight->count("--weather")) scene.weather = 3;
        if (!flight->count("--speed")) scene.speed = 60;
        Progress progress(static_cast<int>(list.size()), "flight");
        for (size_t i = 0; i < list.size(); ++i) {
            SceneSpec s = scene;
            s.altitude = list[i];
            frames.push_back(RenderScene(session, s));
            const float d = list[i] - scene.overcast;
            const char* where = std::fabs(d) < scene.transition ? "band" : (d > 0 ? "above" : "below");
            labels.push_back("alt " + std::to_string(static_cast<int>(std::lround(list[i]))) + " " + where);
            progress.Step(static_cast<int>(i + 1));
        }
        return Finish(session, global, ContactSheet(frames, labels, columns > 0 ? columns : 3), out, Since(start),
                      static_cast<int>(list.size()));
    }
    Progress progress(5, "weather");
    for (int level = 0; level <= 4; ++level) {
        SceneSpec s = scene;
        s.weather = level;
        if (level == 4 && !weather->count("--intensity")) s.intensity = 0.6f;
        frames.push_back(RenderScene(session, s));
        labels.push_back(std::to_string(level) + " " + WeatherName(level));
        progress.Step(level + 1);
    }
    return Finish(session, global, ContactSheet(frames, labels, columns > 0 ? columns : 5), out, Since(start), 5);
}

} // namespace envhost
