#include "host/PreviewServer.h"

#include <httplib.h>
#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "host/JsonWriter.h"
#include "testing/AccountingMemory.h"
#include "testing/DiskFiles.h"
#include "tools/envcheck/EnvChecker.h"
#include "tools/envcheck/KeyReference.h"

namespace envhost {

using namespace envsys;

namespace {

constexpr float kDegrees = 0.017453292519943295f;
// The longest model step an advancing frame takes: the plug-in's clock
// counts whole seconds, so steps of a second keep it moving.
constexpr float kPlayStep = 1.0f;
// An advance of a whole day still costs at most this many model steps.
constexpr int kMaxPlaySteps = 240;

std::string FolderOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string BaseName(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

const char* SeverityName(envcheck::Severity severity) {
    switch (severity) {
    case envcheck::Severity::Error:
        return "error";
    case envcheck::Severity::Warning:
        return "warning";
    default:
        return "note";
    }
}

std::string ClockText(const TimeOfDay& t) {
    char text[32];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", t.hours, t.minutes, t.seconds);
    return text;
}

std::string DateText(const CalendarDate& d) {
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", d.year, d.month, d.day);
    return text;
}

// Everything that decides a frame except the clock: an advancing frame
// continues the last one only when these are the same.
std::string PlayKey(const PreviewParams& p) {
    PreviewParams q = p;
    q.scene.hour = q.scene.minute = q.scene.second = 0;
    return FrameCommandLine(q, "");
}

void Text(httplib::Response& response, int status, const std::string& text) {
    response.status = status;
    response.set_content(text + "\n", "text/plain; charset=utf-8");
}

// A request path that could name something outside the page's folder.
bool LeavesFolder(const std::string& path) {
    if (path.find("..") != std::string::npos) return true;
    if (path.find('\\') != std::string::npos || path.find('\0') != std::string::npos) return true;
    return path.size() > 1 && path[1] == '/';
}

bool ReadWholeFile(const std::string& path, std::string* out) {
    struct stat info;
    if (stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return false;
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream bytes;
    bytes << in.rdbuf();
    *out = bytes.str();
    return true;
}

} // namespace

PreviewServer::PreviewServer() : server_(new httplib::Server), cache_(&session_.files) {
    session_.shell.Offer("FMG", static_cast<FileService*>(&cache_));
}

PreviewServer::~PreviewServer() {
    Stop();
    watcher_.Stop();
    std::lock_guard<std::mutex> lock(sessionMutex_);
    session_.files.requests = nullptr;
    session_.Close();
    if (!session_.leakReport.empty()) std::fprintf(stderr, "envhost serve: %s", session_.leakReport.c_str());
}

bool PreviewServer::Open(const ServeOptions& options, std::string* error) {
    options_ = options;
    root_ = FolderOf(options.environment);
    fileName_ = BaseName(options.environment);
    SessionOptions session;
    session.modulePath = options.module;
    session.threads = options.threads;
    if (!session_.Open(session, error)) return false;
    session_.files.root = root_;
    session_.files.requests = &requested_;
    Reload();
    watcher_.Start([this] { Reload(); });
    Routes();
    port_ = options.port == 0 ? server_->bind_to_any_port(options.bind)
                              : (server_->bind_to_port(options.bind, options.port) ? options.port : -1);
    if (port_ <= 0) {
        if (error != nullptr)
            *error = "cannot listen on " + options.bind + ":" + std::to_string(options.port) + " (in use?)";
        watcher_.Stop();
        return false;
    }
    return true;
}

bool PreviewServer::Run() { return server_->listen_after_bind(); }

void PreviewServer::Stop() {
    {
        std::lock_guard<std::mutex> lock(statusMutex_);
        stopping_ = true;
    }
    statusChanged_.notify_all();
    if (server_) server_->stop();
}

void PreviewServer::Reload() {
    std::string error;
    bool loaded = false;
    std::vector<std::string> names;
    {
        std::lock_guard<std::mutex> lock(sessionMutex_);
        const std::string path = session_.files.Resolve(fileName_.c_str());
        std::FILE* file = path.empty() ? nullptr : std::fopen(path.c_str(), "rb");
        if (file == nullptr) {
            // The plug-in keeps what it had; the page keeps its last picture.
            error = "cannot read the Environment File " + options_.environment;
        } else {
            std::fclose(file);
            requested_.clear();
            cache_.Clear();
            session_.env()->LoadEnvironment(fileName_.c_str());
            loaded = true;
        }
        requested_.insert(fileName_);
        names.assign(requested_.begin(), requested_.end());
        watchedCount_ = requested_.size();
        playRequest_ = ~0ull;
    }
    watcher_.Watch(root_, names);
    const std::string diagnostics = loaded ? CheckFile() : "[]";
    {
        std::lock_guard<std::mutex> lock(statusMutex_);
        ++status_.generation;
        status_.loaded = loaded;
        status_.error = error;
        status_.diagnostics = diagnostics;
    }
    statusChanged_.notify_all();
}

std::string PreviewServer::CheckFile() const {
    envsys::testing::DiskFiles files(root_);
    envsys::testing::AccountingMemory memory;
    envcheck::EnvChecker checker(&files, &memory);
    checker.Check(fileName_);
    JsonWriter json;
    json.BeginArray();
    for (const envcheck::Diagnostic& d : checker.diagnostics()) {
        json.BeginObject();
        json.Key("file").String(checker.FileName(d.at.file));
        json.Key("line").Number(d.at.line);
        json.Key("severity").String(SeverityName(d.severity));
        json.Key("message").String(d.message);
        json.EndObject();
    }
    json.EndArray();
    return json.Text();
}

PreviewServer::Status PreviewServer::CurrentStatus() {
    std::lock_guard<std::mutex> lock(statusMutex_);
    return status_;
}

std::string PreviewServer::StatusJson() {
    const Status status = CurrentStatus();
    JsonWriter json;
    json.BeginObject();
    json.Key("generation").Number(static_cast<double>(status.generation));
    json.Key("environment").String(options_.environment);
    json.Key("loaded").Bool(status.loaded);
    json.Key("error").String(status.error);
    json.EndObject();
    return json.Text();
}

void PreviewServer::Routes() {
    httplib::Server& s = *server_;
    s.Get("/frame", [this](const httplib::Request& q, httplib::Response& r) { HandleFrame(q, r); });
    s.Get("/state", [this](const httplib::Request& q, httplib::Response& r) { HandleState(q, r); });
    s.Get("/diagnostics", [this](const httplib::Request&, httplib::Response& r) {
        r.set_content(CurrentStatus().diagnostics, "application/json");
    });
    s.Get("/status",
          [this](const httplib::Request&, httplib::Response& r) { r.set_content(StatusJson(), "application/json"); });
    s.Get("/events", [this](const httplib::Request&, httplib::Response& r) { HandleEvents(r); });
    // The reference entry of a key, as envcheck --explain prints it.
    s.Get(R"(/reference/(.+))", [](const httplib::Request& q, httplib::Response& r) {
        std::string text;
        const bool found = envcheck::ExplainKey(q.matches[1].str(), &text);
        r.status = found ? 200 : 404;
        r.set_content(text, "text/plain; charset=utf-8");
    });
    s.Get(R"(/.*)", [this](const httplib::Request& q, httplib::Response& r) { HandleStatic(q, r); });
    s.set_error_handler([](const httplib::Request&, httplib::Response& r) {
        if (r.body.empty()) Text(r, r.status, r.status == 404 ? "not found" : "bad request");
    });
}

bool PreviewServer::Prepare(const httplib::Request& request, httplib::Response& response, PreviewParams* params,
                            bool draw) {
    std::multimap<std::string, std::string> query(request.params.begin(), request.params.end());
    std::string error;
    if (!ParsePreviewParams(query, params, &error)) {
        Text(response, 400, error);
        return false;
    }
    const Status status = CurrentStatus();
    if (!status.loaded) {
        Text(response, 503, status.error);
        return false;
    }
    ++requestCount_;
    HostSession& s = session_;
    s.camera.SetViewport(params->width, params->height);
    const std::string key = PlayKey(*params);
    const bool continuing = params->advance >= 0 && playRequest_ == requestCount_ - 1 && key == playKey_;
    if (!continuing) {
        // Everything a frame depends on is set from the request, so the same
        // parameters give the same picture whatever was asked before.
        // Some state outlives any setting and even a new load — a clear sky
        // keeps the horizon band of the weather before it, as in a host —
        // so each picture starts from a new life of the plug-in, as the
        // frame command's does. The files come from the cache of the last
        // load, so a save half written when a request arrives is never read.
        if (!s.Restart()) {
            Text(response, 500, "the plug-in registered no object");
            return false;
        }
        s.env()->LoadEnvironment(fileName_.c_str());
        s.random.Seed(params->seed);
        s.particles.Seed(params->seed);
        RunScene(s, params->scene, draw && params->advance < 0);
    }
    if (params->advance >= 0) {
        EnvironmentSystemInterface* env = s.env();
        const SceneSpec& scene = params->scene;
        const WeatherParams weather{scene.weather, 0, scene.overcast, scene.transition, 0, scene.intensity};
        env->SetWeather(&weather);
        env->SetLatitude(scene.latitude);
        s.camera.position[2] = scene.altitude;
        s.camera.pitchDegrees = scene.pitch;
        s.camera.horizontalFov = scene.fov;
        s.camera.headingDegrees = scene.heading;
        const int steps =
            std::min(kMaxPlaySteps, std::max(1, static_cast<int>(std::ceil(params->advance / kPlayStep))));
        const float dt = params->advance / static_cast<float>(steps);
        for (int i = 0; i + 1 < steps; ++i)
            s.Frame(dt, false);
        if (scene.headingFollowsSun) {
            float sun[3] = {0, 0, 0};
            env->GetSunDirection(sun);
            if (std::fabs(sun[0]) + std::fabs(sun[1]) > 1e-4f)
                s.camera.headingDegrees = std::atan2(sun[0], sun[1]) / kDegrees;
        }
        s.Frame(dt, draw);
        playKey_ = key;
        playRequest_ = requestCount_;
    }
    TimeOfDay time{};
    CalendarDate date{};
    s.env()->GetTime(&time);
    s.env()->GetDate(&date);
    response.set_header("X-Envsys-Time", ClockText(time));
    response.set_header("X-Envsys-Date", DateText(date));
    response.set_header("X-Envsys-Generation", std::to_string(status.generation));
    response.set_header("Cache-Control", "no-store");
    // A weather level drawn for the first time may load textures of its own.
    if (requested_.size() != watchedCount_) {
        watchedCount_ = requested_.size();
        watcher_.Watch(root_, std::vector<std::string>(requested_.begin(), requested_.end()));
    }
    return true;
}

void PreviewServer::HandleFrame(const httplib::Request& request, httplib::Response& response) {
    PreviewParams params;
    std::vector<uint8_t> png;
    {
        std::lock_guard<std::mutex> lock(sessionMutex_);
        if (!Prepare(request, response, &params, true)) return;
        const PngImage image = session_.Image();
        if (!image.EncodeFast(&png)) {
            Text(response, 500, "the frame could not be encoded");
            return;
        }
    }
    response.set_content(reinterpret_cast<const char*>(png.data()), png.size(), "image/png");
}

void PreviewServer::HandleState(const httplib::Request& request, httplib::Response& response) {
    PreviewParams params;
    std::string json;
    {
        std::lock_guard<std::mutex> lock(sessionMutex_);
        if (!Prepare(request, response, &params, false)) return;
        json = StateJson(params);
    }
    response.set_content(json, "application/json");
}

std::string PreviewServer::StateJson(const PreviewParams& params) {
    EnvironmentSystemInterface* env = session_.env();
    const SoftwareRenderer& gfx = session_.gfx;
    TimeOfDay time{};
    CalendarDate date{};
    env->GetTime(&time);
    env->GetDate(&date);
    float sun[3] = {0, 0, 0};
    env->GetSunDirection(sun);
    JsonWriter json;
    json.BeginObject();
    json.Key("time").String(ClockText(time));
    json.Key("date").String(DateText(date));
    json.Key("sun").BeginObject();
    json.Key("direction").Numbers(sun, 3);
    // The sun direction is a unit vector, x east, y north, z up.
    json.Key("elevation").Number(std::asin(std::max(-1.0f, std::min(1.0f, sun[2]))) / kDegrees);
    float azimuth = std::atan2(sun[0], sun[1]) / kDegrees;
    if (azimuth < 0) azimuth += 360.0f;
    json.Key("azimuth").Number(azimuth);
    json.Key("lightLevel").Number(env->GetSunLightLevel());
    json.EndObject();

    json.Key("light").BeginObject();
    HostLight* light = env->GetSunLight();
    LightRecord* record = nullptr;
    if (light != nullptr) light->GetLightData(&record);
    if (record != nullptr) json.Key("sunColor").Numbers(record->diffuse, 3);
    json.Key("ambientColor").Numbers(gfx.ambient, 3);
    json.Key("skyColor").Numbers(gfx.sky, 3);
    json.Key("fogColor").Numbers(gfx.fog, 3);
    json.Key("sunLightLevel").Number(gfx.sunLightLevel);
    json.Key("sunLightEnabled").Bool(gfx.sunLightEnabled != 0);
    json.EndObject();

    json.Key("fog").BeginObject();
    json.Key("start").Number(gfx.fogStart);
    json.Key("end").Number(gfx.fogEnd);
    json.Key("color").Numbers(gfx.fog, 3);
    json.EndObject();

    float wind[3] = {0, 0, 0};
    env->GetWindVector(wind, 0);
    json.Key("wind").BeginObject();
    json.Key("speed").Number(std::sqrt(wind[0] * wind[0] + wind[1] * wind[1] + wind[2] * wind[2]));
    json.Key("direction").Number(env->GetWindDirection() / kDegrees);
    json.Key("vector").Numbers(wind, 3);
    json.EndObject();

    float gravity[3] = {0, 0, 0};
    env->GetGravityVector(gravity);
    json.Key("gravity").BeginObject();
    json.Key("acceleration").Number(env->GetGravityAcceleration());
    json.Key("vector").Numbers(gravity, 3);
    json.EndObject();

    const float altitude = params.scene.altitude;
    json.Key("atmosphere").BeginObject();
    json.Key("altitude").Number(altitude);
    json.Key("density").Number(env->GetAirDensity(altitude));
    json.Key("temperature").Number(env->GetAirTemperature(altitude));
    json.Key("speedOfSound").Number(env->GetSpeedOfSound(altitude));
    json.Key("inverseSpeedOfSound").Number(env->GetInverseSpeedOfSound(altitude));
    json.Key("densityRatioRoot").Number(env->GetDensityRatioRoot(altitude));
    json.EndObject();

    json.Key("overcast").BeginObject();
    json.Key("above").Bool(env->IsAboveOvercast(altitude) != 0);
    json.Key("below").Bool(env->IsBelowOvercast(altitude) != 0);
    json.EndObject();

    json.Key("command").String(FrameCommandLine(params, options_.environment));
    json.EndObject();
    return json.Text();
}

void PreviewServer::HandleEvents(httplib::Response& response) {
    response.set_header("Cache-Control", "no-store");
    // Each connection first hears the current generation, then one event
    // per change; a comment every 15 s finds closed connections.
    auto sent = std::make_shared<uint64_t>(0);
    response.set_chunked_content_provider("text/event-stream", [this, sent](size_t, httplib::DataSink& sink) {
        std::unique_lock<std::mutex> lock(statusMutex_);
        statusChanged_.wait_for(lock, std::chrono::seconds(15),
                                [&] { return stopping_ || status_.generation != *sent; });
        if (stopping_) {
            sink.done();
            return false;
        }
        std::string event = ": waiting\n\n";
        if (status_.generation != *sent) {
            *sent = status_.generation;
            JsonWriter json;
            json.BeginObject();
            json.Key("generation").Number(static_cast<double>(status_.generation));
            json.Key("loaded").Bool(status_.loaded);
            json.Key("error").String(status_.error);
            json.EndObject();
            event = "data: " + json.Text() + "\n\n";
        }
        lock.unlock();
        return sink.write(event.data(), event.size());
    });
}

void PreviewServer::HandleStatic(const httplib::Request& request, httplib::Response& response) {
    const std::string& path = request.path;
    if (LeavesFolder(path)) {
        Text(response, 403, "refused: the path leaves the served folder");
        return;
    }
    std::string name = path == "/" ? "index.html" : path.substr(1);
    // Only plain names of files in the page's own folder are served.
    const bool plain = !name.empty() && std::all_of(name.begin(), name.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '-' ||
               c == '_';
    });
    std::string body;
    if (!plain || !ReadWholeFile(options_.pageFolder + "/" + name, &body)) {
        Text(response, 404, "not found: " + path);
        return;
    }
    const auto ends = [&name](const char* suffix) {
        const std::string s = suffix;
        return name.size() >= s.size() && name.compare(name.size() - s.size(), s.size(), s) == 0;
    };
    const char* type = ends(".html")  ? "text/html; charset=utf-8"
                       : ends(".css") ? "text/css"
                       : ends(".js")  ? "text/javascript"
                       : ends(".png") ? "image/png"
                       : ends(".svg") ? "image/svg+xml"
                                      : "application/octet-stream";
    response.set_content(body, type);
}

int Serve(const ServeOptions& options) {
    // SIGINT and SIGTERM are taken by one thread that stops the server, so
    // every other thread runs with them blocked.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    PreviewServer server;
    std::string error;
    if (!server.Open(options, &error)) {
        std::fprintf(stderr, "envhost serve: %s\n", error.c_str());
        return 1;
    }
    std::printf("envhost serve: previewing %s\n", options.environment.c_str());
    const bool local = options.bind == "127.0.0.1";
    std::printf("envhost serve: open http://%s:%d/ (bound to %s: %s; Ctrl-C stops)\n",
                options.bind == "0.0.0.0" ? "127.0.0.1" : options.bind.c_str(), server.port(), options.bind.c_str(),
                local ? "this machine only, --bind to change" : "other machines can connect");
    std::fflush(stdout);
    std::atomic<bool> ended{false};
    std::thread stopper([&server, &ended, signals] {
        // Looks up from the signal wait five times a second, so it also ends
        // when the server stopped on its own.
        const timespec wait{0, 200000000};
        while (!ended.load()) {
            if (sigtimedwait(&signals, nullptr, &wait) > 0) {
                server.Stop();
                return;
            }
        }
    });
    const bool ok = server.Run();
    ended = true;
    stopper.join();
    return ok ? 0 : 1;
}

} // namespace envhost
