// FMG in front of another file service that reads every file once: later
// openings of the same name are served from that reading, and Exists is
// answered from what was read (or found missing) before asking the service
// behind. The configuration library and envcheck's own pass thus see the
// same bytes, an include cycle the parser reads thousands of times costs
// one reading, and a preview that redraws reads nothing until Clear.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>

#include "envsys/HostServices.h"

namespace envsys {
namespace testing {

class CachedFiles : public FileService {
public:
    explicit CachedFiles(FileService* files) : files_(files) {}
    CachedFiles(const CachedFiles&) = delete;
    CachedFiles& operator=(const CachedFiles&) = delete;

    int32_t Open(const char* path, int32_t mode) override;
    void Close(int32_t handle) override;
    int32_t Read(int32_t handle, void* buffer, uint32_t byteCount) override;
    int32_t Exists(const char* path, int32_t flags) override;
    // Forgets every reading, so the next opening reads the file again; only
    // while no file of the cache is open.
    void Clear() {
        contents_.clear();
        missing_.clear();
    }

private:
    struct OpenFile {
        const std::string* bytes;
        size_t position;
    };
    FileService* files_;
    std::map<std::string, std::string> contents_; // by the name as given
    std::set<std::string> missing_;
    std::map<int32_t, OpenFile> open_;
    int32_t nextHandle_ = 3;
};

} // namespace testing
} // namespace envsys
