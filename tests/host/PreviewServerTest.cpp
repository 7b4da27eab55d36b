// envhost serve, over HTTP on 127.0.0.1: the same parameters give the same
// picture whatever came before, bad requests are answered and survived,
// and a save on disk reloads the file, checks it and tells the page.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <httplib.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "host/PreviewParams.h"
#include "host/PreviewServer.h"
#include "tests/host/HostTestSupport.h"

namespace envhost {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

class PreviewServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs::copy(ENVSYS_BINARY_DIR "/data/default", scratch.path, fs::copy_options::recursive);
        environment = scratch.path + "/environment.ini";
        ServeOptions options;
        options.environment = environment;
        options.module = ENVSYS_BINARY_DIR "/EnvironmentSystem.so";
        options.pageFolder = ENVSYS_BINARY_DIR "/preview";
        options.port = 0;
        server = std::make_unique<PreviewServer>();
        std::string error;
        ASSERT_TRUE(server->Open(options, &error)) << error;
        thread = std::thread([this] { server->Run(); });
        client = std::make_unique<httplib::Client>("127.0.0.1", server->port());
        client->set_read_timeout(20, 0);
    }
    void TearDown() override { StopServer(); }
    void StopServer() {
        if (server) server->Stop();
        if (thread.joinable()) thread.join();
        server.reset();
    }
    std::string Get(const std::string& path, int expected = 200) {
        auto result = client->Get(path);
        if (!result) {
            ADD_FAILURE() << path << ": no answer";
            return {};
        }
        EXPECT_EQ(result->status, expected) << path << ": " << result->body;
        return result->body;
    }
    // Waits (at most 5 s) for /status to show a generation past the one given.
    std::string AwaitGeneration(int after) {
        const auto deadline = Clock::now() + std::chrono::seconds(5);
        std::string status;
        while (Clock::now() < deadline) {
            status = Get("/status");
            if (status.find("\"generation\":" + std::to_string(after + 1)) != std::string::npos) return status;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        ADD_FAILURE() << "no reload after generation " << after << "; status " << status;
        return status;
    }
    void Replace(const std::string& from, const std::string& to) {
        std::ifstream in(environment);
        std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        const size_t at = text.find(from);
        ASSERT_NE(at, std::string::npos) << from;
        text.replace(at, from.size(), to);
        std::ofstream(environment, std::ios::trunc) << text;
    }

    ScratchFolder scratch;
    std::string environment;
    std::unique_ptr<PreviewServer> server;
    std::unique_ptr<httplib::Client> client;
    std::thread thread;
};

const char* kSmall = "width=96&height=54";

TEST_F(PreviewServerTest, SameParametersGiveTheSamePictureWhateverCameBefore) {
    const std::string a = std::string("/frame?") + kSmall + "&time=14:00&weather=3&altitude=300";
    const std::string first = Get(a);
    ASSERT_GT(first.size(), 8u);
    EXPECT_EQ(first.substr(1, 3), "PNG");
    // Another hour, weather, seed and a played frame move every part of the
    // plug-in's state that the next frame could inherit.
    const std::string other = Get(std::string("/frame?") + kSmall + "&time=03:00&weather=4&intensity=1&seed=9");
    Get(std::string("/frame?") + kSmall + "&time=03:00&weather=4&advance=120");
    Get("/state?time=22:00&weather=2");
    EXPECT_NE(other, first);
    EXPECT_EQ(Get(a), first);

    // And it is the picture the frame command renders in a session of its own.
    PngImage served;
    std::string error;
    ASSERT_TRUE(served.Read(scratch.Write("served.png", first), &error)) << error;
    HostSession fresh;
    SessionOptions options = DefaultEnvironmentOptions(ENVSYS_BINARY_DIR, 96, 54);
    options.environmentPath = environment;
    ASSERT_TRUE(fresh.Open(options, &error)) << error;
    SceneSpec scene;
    scene.hour = 14, scene.weather = 3, scene.altitude = 300;
    EXPECT_TRUE(RenderScene(fresh, scene).rgba == served.rgba);
}

TEST_F(PreviewServerTest, PlayedFramesRunTheClockOnFromTheLastFrame) {
    auto clock = [this](const std::string& query) {
        auto result = client->Get("/frame?" + std::string(kSmall) + "&time=10:00&" + query);
        return result ? result->get_header_value("X-Envsys-Time") : std::string();
    };
    // The clock counts whole seconds of frames that do not recompute the
    // light; setting the time recomputes, so the warm-up leaves it as set.
    EXPECT_EQ(clock("advance=0"), "10:00:00");
    const std::string later = clock("advance=600");
    EXPECT_GE(later, "10:09:00");
    EXPECT_GT(clock("advance=600"), later);
    // A frame without advance is set from its parameters again.
    EXPECT_EQ(clock("time=10:00"), "10:00:00");
}

TEST_F(PreviewServerTest, StateReportsTheSunLightFogWindGravityAndAtmosphere) {
    const std::string state = Get("/state?time=12:00&altitude=0");
    // The default file sets the day's sky colour and standard gravity; sea
    // level air is 288.15 K and 1.225 kg/m3 in the standard atmosphere.
    for (const char* key :
         {"\"sun\":{\"direction\":[", "\"elevation\":", "\"azimuth\":", "\"ambientColor\":[",
          "\"skyColor\":[0.200000003,0.419999987,0.860000014]",
          "\"fog\":{\"start\":", "\"wind\":{\"speed\":", "\"gravity\":{", "\"acceleration\":9.80665",
          "\"speedOfSound\":", "\"temperature\":288.1", "\"density\":1.22", "\"command\":\"envhost frame --env "})
        EXPECT_NE(state.find(key), std::string::npos) << key << " in " << state;
}

TEST_F(PreviewServerTest, BadRequestsAreRefusedAndTheServerGoesOn) {
    const struct {
        const char* query;
        const char* named;
    } kBad[] = {{"time=25:00", "time"},         {"date=2024-13-01", "date"}, {"weather=5", "weather"},
                {"weather=1.5", "weather"},     {"fov=abc", "fov"},          {"fov=9", "fov"},
                {"width=99999", "width"},       {"height=0", "height"},      {"latitude=nan", "latitude"},
                {"altitude=1e400", "altitude"}, {"seed=-1", "seed"},         {"intensity=2", "intensity"},
                {"heading=north", "heading"},   {"advance=-1", "advance"},   {"pitch=", "pitch"}};
    for (const auto& bad : kBad) {
        for (const char* path : {"/frame?", "/state?"}) {
            const std::string body = Get(std::string(path) + bad.query, 400);
            EXPECT_NE(body.find(std::string("\"") + bad.named + "\""), std::string::npos) << bad.query << ": " << body;
        }
    }
    Get("/nothing-here", 404);
    Get("/index.htm", 404);
    // Paths that try to leave the page's folder, plain, encoded and absolute.
    for (const char* path : {"/../environment.ini", "/%2e%2e/%2e%2e/etc/passwd", "//etc/passwd", "/..%2fCMakeCache.txt",
                             "/preview/..\\..\\x"})
        Get(path, 403);
    EXPECT_NE(Get("/").find("<html"), std::string::npos);

    // Bytes that are not HTTP, and a request cut short, on raw connections.
    for (const std::string& raw : {std::string("\x01\x02garbage\r\n\r\n"), std::string("GET /frame?time=1"),
                                   std::string(70000, 'A') + "\r\n\r\n"}) {
        const int fd = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<uint16_t>(server->port()));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ASSERT_EQ(connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        EXPECT_GT(send(fd, raw.data(), raw.size(), MSG_NOSIGNAL), 0);
        shutdown(fd, SHUT_WR);
        char reply[256];
        timeval wait{5, 0};
        setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
        while (recv(fd, reply, sizeof reply, 0) > 0) {
        }
        close(fd);
    }
    EXPECT_NE(Get("/status").find("\"loaded\":true"), std::string::npos);
}

TEST_F(PreviewServerTest, RequestsFromManyClientsAtOnceEachGetTheirOwnPicture) {
    const std::string alone = Get(std::string("/frame?") + kSmall + "&time=06:00");
    std::atomic<int> failures{0};
    std::vector<std::thread> clients;
    for (int c = 0; c < 4; ++c)
        clients.emplace_back([this, c, &alone, &failures] {
            httplib::Client own("127.0.0.1", server->port());
            own.set_read_timeout(30, 0);
            for (int i = 0; i < 6; ++i) {
                const bool mine = (i + c) % 2 == 0;
                auto result = own.Get(mine ? (std::string("/frame?") + kSmall + "&time=06:00").c_str()
                                           : (std::string("/state?weather=") + std::to_string(i % 5)).c_str());
                if (!result || result->status != 200 || (mine && result->body != alone)) ++failures;
            }
        });
    // A save in the middle of it all reloads the file under the same lock
    // (a comment, so the pictures stay the same).
    Replace("SunHeight=0.30\n", "SunHeight=0.30\n; saved\n");
    for (std::thread& t : clients)
        t.join();
    EXPECT_EQ(failures.load(), 0);
}

TEST_F(PreviewServerTest, ASaveReloadsChecksAndAnnouncesTheFile) {
    std::vector<std::string> events;
    std::mutex eventsMutex;
    std::atomic<bool> done{false};
    httplib::Client listener("127.0.0.1", server->port());
    std::thread stream([&] {
        listener.Get("/events", [&](const char* data, size_t size) {
            std::lock_guard<std::mutex> lock(eventsMutex);
            events.emplace_back(data, size);
            return !done.load();
        });
    });
    const std::string noon = std::string("/frame?") + kSmall + "&heading=0&pitch=40";
    const std::string before = Get(noon);
    EXPECT_NE(AwaitGeneration(0).find("\"loaded\":true"), std::string::npos);

    // A colour of the day, and a key the system does not read, on line 19.
    const auto saved = Clock::now();
    Replace("SunHeight=0.30\n", "SunHeight=0.30\nSkyColour=1, 0, 0\n");
    Replace("SkyColor=0.20, 0.42, 0.86", "SkyColor=0.90, 0.10, 0.10");
    AwaitGeneration(1);
    const double seconds = std::chrono::duration<double>(Clock::now() - saved).count();
    EXPECT_LT(seconds, 5.0);
    const std::string after = Get(noon);
    EXPECT_NE(after, before);
    const std::string diagnostics = Get("/diagnostics");
    // The finding ends with the key's name, which the reference route takes.
    for (const char* says : {"{\"file\":\"environment.ini\",\"line\":19,\"severity\":\"warning\"", "[Day.SkyColour]"})
        EXPECT_NE(diagnostics.find(says), std::string::npos) << diagnostics;
    EXPECT_NE(Get("/reference/Day.SkyColour", 404).find("did you mean Day.SkyColor?"), std::string::npos);
    EXPECT_NE(Get("/reference/day.skycolor").find("#lightstate-skycolor"), std::string::npos);

    // Gone: the picture is refused with the reason until the file is back.
    const std::string text = [&] {
        std::ifstream in(environment);
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }();
    fs::remove(environment);
    EXPECT_NE(AwaitGeneration(2).find("\"loaded\":false"), std::string::npos);
    EXPECT_NE(Get(noon, 503).find("cannot read the Environment File"), std::string::npos);
    std::ofstream(environment) << text;
    EXPECT_NE(AwaitGeneration(3).find("\"loaded\":true"), std::string::npos);
    EXPECT_EQ(Get(noon), after);

    // An include that does not exist yet is watched, and seen when it comes.
    std::ofstream(environment, std::ios::app) << "\n#include later.ini\n";
    AwaitGeneration(4);
    std::ofstream(scratch.path + "/later.ini") << "[Unheard]\nKey=1\n";
    AwaitGeneration(5);
    EXPECT_NE(Get("/diagnostics").find("Unheard"), std::string::npos);

    done = true;
    Replace("SkyColor=0.90", "SkyColor=0.80"); // one more event ends the stream's read
    AwaitGeneration(6);
    StopServer();
    stream.join();
    std::string all;
    for (const std::string& e : events)
        all += e;
    EXPECT_NE(all.find("data: {\"generation\":1,\"loaded\":true"), std::string::npos) << all;
    EXPECT_NE(all.find("data: {\"generation\":3,\"loaded\":false"), std::string::npos) << all;
}

TEST(PreviewParamsTest, DefaultsAreTheFrameCommandsAndTheCommandLineRendersTheSamePicture) {
    PreviewParams params;
    ASSERT_TRUE(ParsePreviewParams({{"time", "17:30"}, {"heading", "245.5"}, {"cachebust", "x"}}, &params, nullptr));
    EXPECT_EQ(
        FrameCommandLine(params, "/tmp/it's here.ini"),
        "envhost frame --env '/tmp/it'\\''s here.ini' --date 2024-06-21 --time 17:30:00 --latitude 34 --weather 0 "
        "--intensity 0 --overcast 1500 --transition 150 --altitude 150 --heading 245.5 --pitch 12 --fov 90 "
        "--width 640 --height 360 --seed 1 --out sky.png");
}

} // namespace
} // namespace envhost
