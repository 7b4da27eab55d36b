#include "testing/MemoryFiles.h"

#include <algorithm>
#include <cstring>

namespace envsys {
namespace testing {

std::string MemoryFiles::Key(const std::string& name) {
    // One pass without temporaries: every file open goes through here, and
    // the fuzzers open thousands of files a second.
    const bool absolute = !name.empty() && (name[0] == '\\' || name[0] == '/');
    std::string out;
    out.reserve(name.size() + 1);
    if (absolute) out += '/';
    size_t start = 0;
    while (start <= name.size()) {
        size_t end = start;
        while (end < name.size() && name[end] != '\\' && name[end] != '/')
            ++end;
        const size_t length = end - start;
        if (length > 0 && !(length == 1 && name[start] == '.')) {
            if (out.size() > (absolute ? 1u : 0u)) out += '/';
            for (size_t i = start; i < end; ++i) {
                const char c = name[i];
                out += c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
            }
        }
        start = end + 1;
    }
    // An absolute name stays apart from the relative one with the same components.
    return out;
}

void MemoryFiles::Add(const std::string& name, const std::string& bytes) {
    files_[Key(name)] = std::make_shared<const std::string>(bytes);
}

void MemoryFiles::Remove(const std::string& name) { files_.erase(Key(name)); }

std::shared_ptr<const std::string> MemoryFiles::ReadFallback(const char* path, int32_t mode) {
    if (fallback == nullptr) return nullptr;
    const int32_t handle = fallback->Open(path, mode);
    if (handle == -1) return nullptr;
    auto bytes = std::make_shared<std::string>();
    char chunk[65536];
    for (;;) {
        const int32_t n = fallback->Read(handle, chunk, sizeof chunk);
        if (n <= 0) break;
        bytes->append(chunk, std::min(static_cast<size_t>(n), sizeof chunk));
    }
    fallback->Close(handle);
    return bytes;
}

int32_t MemoryFiles::Open(const char* path, int32_t mode) {
    ++opens;
    if (path == nullptr || failAllOpens) return -1;
    const std::string key = Key(path);
    if (!failOpen.empty() && failOpen.count(key) != 0) return -1;
    auto it = files_.find(key);
    std::shared_ptr<const std::string> bytes = it != files_.end() ? it->second : ReadFallback(path, mode);
    if (bytes == nullptr) return -1;
    const int32_t handle = nextHandle_++;
    open_[handle] = OpenFile{std::move(bytes), 0};
    return handle;
}

void MemoryFiles::Close(int32_t handle) {
    ++closes;
    open_.erase(handle);
}

int32_t MemoryFiles::Read(int32_t handle, void* buffer, uint32_t byteCount) {
    auto it = open_.find(handle);
    if (it == open_.end() || readsReturnZero || buffer == nullptr) return 0;
    OpenFile& file = it->second;
    // The result is a signed count, so one read never returns more than fits.
    const size_t n = std::min<size_t>({static_cast<size_t>(byteCount), static_cast<size_t>(maxReadBytes),
                                       size_t{0x7FFFFFFF}, file.bytes->size() - file.position});
    std::memcpy(buffer, file.bytes->data() + file.position, n);
    file.position += n;
    return static_cast<int32_t>(n + readsOverstateBy);
}

int32_t MemoryFiles::Exists(const char* path, int32_t flags) {
    if (path == nullptr || existsAlwaysFalse) return 0;
    if (files_.count(Key(path)) != 0) return 1;
    return fallback != nullptr ? fallback->Exists(path, flags) : 0;
}

} // namespace testing
} // namespace envsys
