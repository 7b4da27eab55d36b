#include "host/FileWatcher.h"

#include <sys/stat.h>

#include <chrono>

#include "testing/DiskFiles.h"

namespace envhost {

std::string FileWatcher::StateOf(const std::string& root, const std::string& name) {
    envsys::testing::DiskFiles files(root);
    const std::string path = files.Resolve(name.c_str());
    struct stat info;
    if (path.empty() || stat(path.c_str(), &info) != 0) return "-";
    return path + ' ' + std::to_string(info.st_size) + ' ' + std::to_string(info.st_mtim.tv_sec) + '.' +
           std::to_string(info.st_mtim.tv_nsec) + ' ' + std::to_string(info.st_ino);
}

void FileWatcher::Start(std::function<void()> onChange, int periodMs) {
    Stop();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        onChange_ = std::move(onChange);
        stopping_ = false;
    }
    thread_ = std::thread([this, periodMs] { Run(periodMs); });
}

void FileWatcher::Stop() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable()) thread_.join();
}

void FileWatcher::Watch(const std::string& root, const std::vector<std::string>& names) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (root != root_) entries_.clear();
    root_ = root;
    std::vector<Entry> entries;
    for (const std::string& name : names) {
        Entry entry{name, {}, {}};
        for (const Entry& old : entries_)
            if (old.name == name) entry = old;
        if (entry.reported.empty()) entry.reported = entry.previous = StateOf(root_, name);
        entries.push_back(entry);
    }
    entries_.swap(entries);
}

void FileWatcher::Run(int periodMs) {
    for (;;) {
        std::string root;
        std::vector<std::string> names;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            if (wake_.wait_for(lock, std::chrono::milliseconds(periodMs), [this] { return stopping_; })) return;
            root = root_;
            for (const Entry& entry : entries_)
                names.push_back(entry.name);
        }
        std::vector<std::string> states;
        for (const std::string& name : names)
            states.push_back(StateOf(root, name));
        bool changed = false;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            for (size_t i = 0; i < names.size(); ++i) {
                for (Entry& entry : entries_) {
                    if (entry.name != names[i]) continue;
                    // A change is reported once it reads the same on two polls.
                    if (states[i] != entry.reported && states[i] == entry.previous) {
                        entry.reported = states[i];
                        changed = true;
                    }
                    entry.previous = states[i];
                }
            }
        }
        if (changed && onChange_) onChange_();
    }
}

} // namespace envhost
