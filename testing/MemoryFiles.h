// FMG over files held in memory, found by name as the system names them
// ("\" and "/" alike, "." components dropped, any letter case), with
// failures to inject: opens that fail, short reads, reads that end at
// once, a service that finds nothing. A name not held in memory goes to
// the fallback service when there is one (files from disk below a test's
// fixtures, for instance), read whole at its opening.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>

#include "envsys/HostServices.h"

namespace envsys {
namespace testing {

class MemoryFiles : public FileService {
public:
    MemoryFiles() = default;
    MemoryFiles(const MemoryFiles&) = delete;
    MemoryFiles& operator=(const MemoryFiles&) = delete;

    int32_t Open(const char* path, int32_t mode) override;
    void Close(int32_t handle) override;
    int32_t Read(int32_t handle, void* buffer, uint32_t byteCount) override;
    int32_t Exists(const char* path, int32_t flags) override;

    // A file served from memory; it shadows one of the fallback service.
    // A file open while it is replaced or removed keeps its old bytes.
    void Add(const std::string& name, const std::string& bytes);
    void Remove(const std::string& name);
    // The name as files are held: separators as "/", A to Z in lower case,
    // no "." or empty components.
    static std::string Key(const std::string& name);

    FileService* fallback = nullptr;

    // Failure injection.
    std::set<std::string> failOpen; // names (as Key gives them) whose open fails
    bool failAllOpens = false;
    uint32_t maxReadBytes = 0xFFFFFFFFu; // a read returns at most this many bytes
    uint32_t readsOverstateBy = 0;       // a read reports this many bytes more than it delivered
    bool readsReturnZero = false;
    bool existsAlwaysFalse = false;

    int opens = 0;
    int closes = 0;
    int OpenHandles() const { return static_cast<int>(open_.size()); }

private:
    struct OpenFile {
        std::shared_ptr<const std::string> bytes;
        size_t position = 0;
    };
    std::shared_ptr<const std::string> ReadFallback(const char* path, int32_t mode);
    std::map<std::string, std::shared_ptr<const std::string>> files_;
    std::map<int32_t, OpenFile> open_;
    int32_t nextHandle_ = 3;
};

} // namespace testing
} // namespace envsys
