// The two host services the configuration library needs, for a tool that
// runs without a host application: memory from the process heap and files
// from the real file system, resolved as the reference host resolves the
// system's paths (backslashes as separators, every name found without
// regard to case, relative to a root directory that stands for the
// system's working directory).
#pragma once

#include <cstdint>
#include <cstdio>
#include <map>
#include <string>

#include "envsys/HostServices.h"

namespace envcheck {

class ToolMemory : public envsys::MemoryService {
public:
    ~ToolMemory();
    void* Allocate(uint32_t size, int32_t zero1, int32_t zero2, const char* ownerTag) override;
    void Free(void* block) override;
    void ReleaseOwner(const char* ownerTag) override;

private:
    std::map<void*, std::string> blocks_;
};

class ToolFiles : public envsys::FileService {
public:
    explicit ToolFiles(std::string root = ".") : root_(std::move(root)) {}
    ~ToolFiles();
    int32_t Open(const char* path, int32_t mode) override;
    void Close(int32_t handle) override;
    int32_t Read(int32_t handle, void* buffer, uint32_t byteCount) override;
    int32_t Exists(const char* path, int32_t flags) override;

    // The real path a system path names, or empty when no file matches.
    std::string Resolve(const std::string& systemPath) const;

private:
    std::string root_;
    std::map<int32_t, std::FILE*> open_;
    int32_t nextHandle_ = 3;
};

// Serves every file from one reading of it, so that the configuration
// library and the checker's own pass see the same bytes, and an include
// cycle, which the parser reads thousands of times, costs one reading.
class FileCache : public envsys::FileService {
public:
    explicit FileCache(envsys::FileService* files) : files_(files) {}
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
    envsys::FileService* files_;
    std::map<std::string, std::string> contents_; // by the name as given
    std::map<std::string, bool> missing_;
    std::map<int32_t, OpenFile> open_;
    int32_t nextHandle_ = 3;
};

} // namespace envcheck
