// Watches the files an Environment File brings in — the file itself, its
// includes, material files, textures, the star data file — by polling
// them every 50 ms. Names are the plug-in's own (backslashes, any letter
// case) and are resolved again at each poll, so a file that appears after
// the start, or is replaced by a differently cased one, is seen too.
#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace envhost {

class FileWatcher {
public:
    FileWatcher() = default;
    ~FileWatcher() { Stop(); }
    FileWatcher(const FileWatcher&) = delete;
    FileWatcher& operator=(const FileWatcher&) = delete;

    // onChange runs on the watcher's thread once a change has held still
    // for one poll, so a file caught half-written is reported once.
    void Start(std::function<void()> onChange, int periodMs = 50);
    void Stop();
    // Replaces the watched names. A name watched before keeps the state it
    // was last reported in, so a change made while the caller was loading
    // is still seen; a new name is measured from its state now.
    void Watch(const std::string& root, const std::vector<std::string>& names);

    // What a file looks like now: its resolved path, size, modification
    // time and inode, or "-" when no file answers to the name.
    static std::string StateOf(const std::string& root, const std::string& name);

private:
    struct Entry {
        std::string name;
        std::string reported; // the state last reported (or watched from)
        std::string previous; // the state at the last poll
    };
    void Run(int periodMs);

    std::mutex mutex_;
    std::condition_variable wake_;
    std::string root_ = ".";
    std::vector<Entry> entries_;
    std::function<void()> onChange_;
    std::thread thread_;
    bool stopping_ = false;
};

} // namespace envhost
