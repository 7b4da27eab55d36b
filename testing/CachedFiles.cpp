#include "testing/CachedFiles.h"

#include <algorithm>
#include <cstring>

namespace envsys {
namespace testing {

int32_t CachedFiles::Open(const char* path, int32_t mode) {
    if (path == nullptr) return -1;
    auto it = contents_.find(path);
    if (it == contents_.end()) {
        if (missing_.count(path) != 0) return -1;
        const int32_t handle = files_->Open(path, mode);
        if (handle == -1) {
            missing_.insert(path);
            return -1;
        }
        std::string bytes;
        char chunk[65536];
        for (;;) {
            const int32_t n = files_->Read(handle, chunk, sizeof chunk);
            if (n <= 0) break;
            bytes.append(chunk, std::min(static_cast<size_t>(n), sizeof chunk));
        }
        files_->Close(handle);
        it = contents_.emplace(path, std::move(bytes)).first;
    }
    const int32_t handle = nextHandle_++;
    open_[handle] = OpenFile{&it->second, 0};
    return handle;
}

void CachedFiles::Close(int32_t handle) { open_.erase(handle); }

int32_t CachedFiles::Read(int32_t handle, void* buffer, uint32_t byteCount) {
    auto it = open_.find(handle);
    if (it == open_.end() || buffer == nullptr) return 0;
    OpenFile& file = it->second;
    // The result is a signed count, so one read never returns more than fits.
    const size_t n =
        std::min<size_t>({static_cast<size_t>(byteCount), size_t{0x7FFFFFFF}, file.bytes->size() - file.position});
    std::memcpy(buffer, file.bytes->data() + file.position, n);
    file.position += n;
    return static_cast<int32_t>(n);
}

int32_t CachedFiles::Exists(const char* path, int32_t flags) {
    if (path == nullptr) return 0;
    if (contents_.count(path) != 0) return 1;
    if (missing_.count(path) != 0) return 0;
    return files_->Exists(path, flags);
}

} // namespace testing
} // namespace envsys
