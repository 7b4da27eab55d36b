#include "host/HostFiles.h"

#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>

#include <vector>

namespace envhost {

namespace {

bool IsDirectory(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool IsFile(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

// The entry of folder whose name equals name, preferring an exact match to
// one that differs only in case; empty when there is none.
std::string FindEntry(const std::string& folder, const std::string& name) {
    struct stat info;
    if (stat((folder + "/" + name).c_str(), &info) == 0) return name;
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr) return {};
    std::string found;
    while (dirent* entry = readdir(dir)) {
        if (strcasecmp(entry->d_name, name.c_str()) == 0) {
            found = entry->d_name;
            break;
        }
    }
    closedir(dir);
    return found;
}

} // namespace

HostFiles::~HostFiles() {
    for (auto& entry : open_)
        std::fclose(entry.second);
}

std::string HostFiles::Resolve(const char* path) const {
    if (path == nullptr || *path == '\0') return {};
    if (requests != nullptr) requests->insert(path);
    std::string text = path;
    for (char& c : text)
        if (c == '\\') c = '/';
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find('/', start);
        if (end == std::string::npos) end = text.size();
        std::string part = text.substr(start, end - start);
        if (!part.empty() && part != ".") parts.push_back(part);
        start = end + 1;
    }
    if (parts.empty()) return {};
    std::string current = text[0] == '/' ? std::string() : root;
    for (size_t i = 0; i < parts.size(); ++i) {
        const std::string folder = current.empty() ? "/" : current;
        if (parts[i] == "..") {
            current = folder + "/..";
            continue;
        }
        const std::string entry = FindEntry(folder, parts[i]);
        if (entry.empty()) return {};
        current = (current.empty() ? "" : current) + "/" + entry;
        if (i + 1 < parts.size() && !IsDirectory(current)) return {};
    }
    return IsFile(current) ? current : std::string();
}

int32_t HostFiles::Open(const char* path, int32_t) {
    const std::string real = Resolve(path);
    if (real.empty()) return -1;
    std::FILE* file = std::fopen(real.c_str(), "rb");
    if (file == nullptr) return -1;
    const int32_t handle = nextHandle_++;
    open_[handle] = file;
    return handle;
}

void HostFiles::Close(int32_t handle) {
    auto it = open_.find(handle);
    if (it == open_.end()) return;
    std::fclose(it->second);
    open_.erase(it);
}

int32_t HostFiles::Read(int32_t handle, void* buffer, uint32_t byteCount) {
    auto it = open_.find(handle);
    if (it == open_.end() || buffer == nullptr) return 0;
    // The result is a signed count, so one read never returns more than fits.
    const size_t limit = byteCount > 0x7FFFFFFFu ? 0x7FFFFFFFu : byteCount;
    return static_cast<int32_t>(std::fread(buffer, 1, limit, it->second));
}

int32_t HostFiles::Exists(const char* path, int32_t) { return Resolve(path).empty() ? 0 : 1; }

} // namespace envhost
