// A host file service over one document in memory, as a host reading a file
// from the page cache serves it: Open costs nothing, Read one copy of the
// bytes asked for.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "envsys/HostServices.h"

namespace envsys {
namespace bench {

class MemoryFiles : public FileService {
public:
    explicit MemoryFiles(const std::string& bytes) : text(bytes) {}
    int32_t Open(const char*, int32_t) override {
        offset = 0;
        return 1;
    }
    void Close(int32_t) override {}
    int32_t Read(int32_t, void* buffer, uint32_t byteCount) override {
        const size_t n = std::min<size_t>(byteCount, text.size() - offset);
        std::memcpy(buffer, text.data() + offset, n);
        offset += n;
        return static_cast<int32_t>(n);
    }
    int32_t Exists(const char*, int32_t) override { return 1; }

private:
    const std::string& text;
    size_t offset = 0;
};

} // namespace bench
} // namespace envsys
