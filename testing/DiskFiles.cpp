#include "testing/DiskFiles.h"

#include <dirent.h>
#include <sys/stat.h>

#include <vector>

namespace envsys {
namespace testing {

namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameIgnoringCase(const char* a, const std::string& b) {
    size_t i = 0;
    for (; a[i] != '\0' && i < b.size(); ++i)
        if (Lower(a[i]) != Lower(b[i])) return false;
    return a[i] == '\0' && i == b.size();
}

bool IsFolder(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool IsFile(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

// The entry of folder that name stands for (see the rules in the header),
// spelt as the folder spells it; empty when there is none.
std::string FindEntry(const std::string& folder, const std::string& name) {
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr) return {};
    std::string found;
    while (dirent* entry = readdir(dir)) {
        if (name == entry->d_name) {
            found = name;
            break;
        }
        if (SameIgnoringCase(entry->d_name, name) && (found.empty() || found.compare(entry->d_name) > 0))
            found = entry->d_name;
    }
    closedir(dir);
    return found;
}

} // namespace

DiskFiles::~DiskFiles() {
    for (auto& entry : open_)
        std::fclose(entry.second);
}

std::string DiskFiles::Resolve(const char* path) const {
    if (path == nullptr || *path == '\0') return {};
    if (requests != nullptr) requests->insert(path);
    const std::string text = path;
    if (IsSeparator(text.back())) return {};

    std::string base = root.empty() ? "." : root;
    size_t start = 0;
    bool absolute = false;
    if (IsSeparator(text[0])) {
        base.clear(); // the file system's root: components are joined with "/"
        absolute = true;
        start = 1;
    }
#ifdef _WIN32
    else if (text.size() >= 2 && text[1] == ':') {
        base = text.substr(0, 2);
        absolute = true;
        start = 2;
    }
#endif

    // The entries found so far, each checked to be a folder before the
    // next is looked up in it; ".." leaves the last of them.
    std::vector<std::string> entries;
    auto joined = [&] {
        std::string out = base;
        for (const std::string& entry : entries)
            out += "/" + entry;
        return out;
    };
    while (start < text.size()) {
        size_t end = start;
        while (end < text.size() && !IsSeparator(text[end]))
            ++end;
        const std::string part = text.substr(start, end - start);
        const bool last = end == text.size();
        start = end + 1;
        if (part.empty() || part == ".") {
            if (last) return {};
            continue;
        }
        if (part == "..") {
            if (last) return {};
            if (!entries.empty() && entries.back() != "..")
                entries.pop_back();
            else
                entries.push_back(part);
            continue;
        }
        // At a root ("" or a drive) the folder to look in is the root itself.
        const std::string folder = entries.empty() && absolute ? base + "/" : joined();
        const std::string entry = FindEntry(folder, part);
        if (entry.empty()) return {};
        entries.push_back(entry);
        if (!last && !IsFolder(joined())) return {};
    }
    const std::string current = joined();
    return IsFile(current) ? current : std::string();
}

int32_t DiskFiles::Open(const char* path, int32_t) {
    const std::string real = Resolve(path);
    if (real.empty()) return -1;
    std::FILE* file = std::fopen(real.c_str(), "rb");
    if (file == nullptr) return -1;
    const int32_t handle = nextHandle_++;
    open_[handle] = file;
    return handle;
}

void DiskFiles::Close(int32_t handle) {
    auto it = open_.find(handle);
    if (it == open_.end()) return;
    std::fclose(it->second);
    open_.erase(it);
}

int32_t DiskFiles::Read(int32_t handle, void* buffer, uint32_t byteCount) {
    auto it = open_.find(handle);
    if (it == open_.end() || buffer == nullptr) return 0;
    // The result is a signed count, so one read never returns more than fits.
    const size_t limit = byteCount > 0x7FFFFFFFu ? 0x7FFFFFFFu : byteCount;
    return static_cast<int32_t>(std::fread(buffer, 1, limit, it->second));
}

int32_t DiskFiles::Exists(const char* path, int32_t) { return Resolve(path).empty() ? 0 : 1; }

} // namespace testing
} // namespace envsys
