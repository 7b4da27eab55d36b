// envhost serve: a local HTTP server that keeps one plug-in instance alive
// for an artist's live preview. It loads the Environment File through the
// plug-in's own LoadEnvironment, loads it again whenever the file or any
// file it brings in changes on disk, and answers the page's requests by
// setting the plug-in from each request's parameters and driving frames as
// a host does:
//   GET /             the page (and the other files of its folder)
//   GET /frame        the frame for the parameters, image/png
//   GET /state        what the plug-in reports for them, JSON
//   GET /diagnostics  envcheck's findings for the current file, JSON
//   GET /status       the file, its generation and whether it loaded
//   GET /events       Server-Sent Events, one per change on disk
// Every request that touches the plug-in holds one lock, so a request that
// arrives while a frame renders waits for it.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "host/FileWatcher.h"
#include "host/HostSession.h"
#include "host/PreviewParams.h"
#include "testing/CachedFiles.h"

namespace httplib {
class Server;
struct Request;
struct Response;
} // namespace httplib

namespace envhost {

struct ServeOptions {
    std::string environment; // the Environment File's path
    std::string module;      // empty: the module next to envhost
    std::string pageFolder;  // the folder the page is served from
    std::string bind = "127.0.0.1";
    int port = 8765; // 0: any free port (tests)
    int threads = 0; // threads that draw each frame; 0: one per hardware thread
};

class PreviewServer {
public:
    PreviewServer();
    ~PreviewServer();
    PreviewServer(const PreviewServer&) = delete;
    PreviewServer& operator=(const PreviewServer&) = delete;

    // Loads the module and the file, checks it, starts watching and binds
    // the port. A file that cannot be read is not an error here: the
    // server starts and reports it, and loads the file once it appears.
    bool Open(const ServeOptions& options, std::string* error);
    // Answers requests until Stop; returns false when listening failed.
    bool Run();
    void Stop();
    int port() const { return port_; }

    // The file has changed on disk: load it again and check it.
    void Reload();

private:
    struct Status {
        uint64_t generation = 0;
        bool loaded = false;
        std::string error;
        std::string diagnostics = "[]";
    };

    void Routes();
    void HandleFrame(const httplib::Request& request, httplib::Response& response);
    void HandleState(const httplib::Request& request, httplib::Response& response);
    void HandleEvents(httplib::Response& response);
    void HandleStatic(const httplib::Request& request, httplib::Response& response);
    // Reads the parameters and, when the file is loaded, sets the plug-in
    // to them; otherwise fills the response with the reason and returns
    // false. Called with the session lock held.
    bool Prepare(const httplib::Request& request, httplib::Response& response, PreviewParams* params, bool draw);
    std::string StateJson(const PreviewParams& params);
    std::string StatusJson();
    std::string CheckFile() const;
    Status CurrentStatus();

    ServeOptions options_;
    std::string root_;     // the Environment File's folder
    std::string fileName_; // its name as handed to LoadEnvironment
    std::unique_ptr<httplib::Server> server_;
    int port_ = 0;

    std::mutex sessionMutex_; // the plug-in and the host services
    HostSession session_;
    // FMG for the plug-in: every file read once per load of the file.
    envsys::testing::CachedFiles cache_;
    std::set<std::string> requested_; // every file name the plug-in asked for
    size_t watchedCount_ = 0;
    // The play state: the parameters the last advancing frame was drawn
    // with (time aside) and the request count then; a frame continues it
    // only when nothing else touched the plug-in in between.
    std::string playKey_;
    uint64_t requestCount_ = 0;
    uint64_t playRequest_ = ~0ull;

    std::mutex statusMutex_;
    std::condition_variable statusChanged_;
    Status status_;
    bool stopping_ = false;

    FileWatcher watcher_;
};

// envhost serve: runs the server until SIGINT or SIGTERM; the exit status.
int Serve(const ServeOptions& options);

} // namespace envhost
