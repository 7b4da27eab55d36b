#include "tools/envcheck/ToolHost.h"

#include <dirent.h>
#include <sys/stat.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "tools/envcheck/Schema.h"

namespace envcheck {

ToolMemory::~ToolMemory() {
    for (auto& entry : blocks_)
        std::free(entry.first);
}

void* ToolMemory::Allocate(uint32_t size, int32_t, int32_t, const char* ownerTag) {
    void* block = std::malloc(size == 0 ? 1 : size);
    if (block != nullptr) blocks_[block] = ownerTag != nullptr ? ownerTag : "";
    return block;
}

void ToolMemory::Free(void* block) {
    auto it = blocks_.find(block);
    if (it == blocks_.end()) return;
    std::free(block);
    blocks_.erase(it);
}

void ToolMemory::ReleaseOwner(const char* ownerTag) {
    const std::string tag = ownerTag != nullptr ? ownerTag : "";
    for (auto it = blocks_.begin(); it != blocks_.end();) {
        if (it->second == tag) {
            std::free(it->first);
            it = blocks_.erase(it);
        } else {
            ++it;
        }
    }
}

namespace {

bool IsFile(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// The entry of directory whose name equals name without regard to case,
// preferring an exact match, spelled as the directory spells it (a file
// system that ignores case, as on Windows, finds the name as written too).
std::string FindEntry(const std::string& directory, const std::string& name) {
    DIR* dir = opendir(directory.c_str());
    if (dir == nullptr) return "";
    std::string found;
    while (dirent* entry = readdir(dir)) {
        if (name == entry->d_name) {
            found = name;
            break;
        }
        if (found.empty() && SameName(entry->d_name, name)) found = entry->d_name;
    }
    closedir(dir);
    return found;
}

} // namespace

ToolFiles::~ToolFiles() {
    for (auto& entry : open_)
        std::fclose(entry.second);
}

std::string ToolFiles::Resolve(const std::string& systemPath) const {
    if (systemPath.empty()) return "";
    std::vector<std::string> parts;
    std::string part;
    for (char c : systemPath) {
        if (c == '\\' || c == '/') {
            parts.push_back(part);
            part.clear();
        } else {
            part += c;
        }
    }
    parts.push_back(part);
    std::string path = root_.empty() ? "." : root_;
    size_t first = 0;
    if (systemPath[0] == '/' || systemPath[0] == '\\') {
        path = "";
        first = 1;
    }
    for (size_t i = first; i < parts.size(); ++i) {
        const std::string& p = parts[i];
        if (p.empty() || p == ".") continue;
        if (p == "..") {
            path += "/..";
            continue;
        }
        const std::string entry = FindEntry(path.empty() ? "/" : path, p);
        if (entry.empty()) return "";
        path += "/" + entry;
    }
    return IsFile(path) ? path : "";
}

int32_t ToolFiles::Open(const char* path, int32_t) {
    if (path == nullptr) return -1;
    const std::string real = Resolve(path);
    if (real.empty()) return -1;
    std::FILE* f = std::fopen(real.c_str(), "rb");
    if (f == nullptr) return -1;
    const int32_t handle = nextHandle_++;
    open_[handle] = f;
    return handle;
}

void ToolFiles::Close(int32_t handle) {
    auto it = open_.find(handle);
    if (it == open_.end()) return;
    std::fclose(it->second);
    open_.erase(it);
}

int32_t ToolFiles::Read(int32_t handle, void* buffer, uint32_t byteCount) {
    auto it = open_.find(handle);
    if (it == open_.end() || buffer == nullptr) return 0;
    // A read never reports more than a signed 32-bit count can hold.
    const size_t n = byteCount > 0x7FFFFFFFu ? 0x7FFFFFFFu : byteCount;
    return static_cast<int32_t>(std::fread(buffer, 1, n, it->second));
}

int32_t ToolFiles::Exists(const char* path, int32_t) { return path != nullptr && !Resolve(path).empty() ? 1 : 0; }

int32_t FileCache::Open(const char* path, int32_t mode) {
    if (path == nullptr) return -1;
    auto it = contents_.find(path);
    if (it == contents_.end()) {
        if (missing_.count(path) != 0) return -1;
        const int32_t handle = files_->Open(path, mode);
        if (handle == -1) {
            missing_[path] = true;
            return -1;
        }
        std::string bytes;
        char chunk[65536];
        for (;;) {
            const int32_t n = files_->Read(handle, chunk, sizeof chunk);
            if (n <= 0) break;
            bytes.append(chunk, static_cast<size_t>(n < static_cast<int32_t>(sizeof chunk) ? n : sizeof chunk));
        }
        files_->Close(handle);
        it = contents_.emplace(path, std::move(bytes)).first;
    }
    const int32_t handle = nextHandle_++;
    open_[handle] = OpenFile{&it->second, 0};
    return handle;
}

void FileCache::Close(int32_t handle) { open_.erase(handle); }

int32_t FileCache::Read(int32_t handle, void* buffer, uint32_t byteCount) {
    auto it = open_.find(handle);
    if (it == open_.end() || buffer == nullptr) return 0;
    OpenFile& f = it->second;
    size_t n = f.bytes->size() - f.position;
    if (n > byteCount) n = byteCount;
    if (n > 0x7FFFFFFFu) n = 0x7FFFFFFFu;
    std::memcpy(buffer, f.bytes->data() + f.position, n);
    f.position += n;
    return static_cast<int32_t>(n);
}

int32_t FileCache::Exists(const char* path, int32_t flags) {
    if (path != nullptr && contents_.count(path) != 0) return 1;
    if (path != nullptr && missing_.count(path) != 0) return 0;
    return files_->Exists(path, flags);
}

} // namespace envcheck
