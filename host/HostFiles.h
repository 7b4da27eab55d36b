// FMG: the host's file service. The plug-in names files the way its home
// platform does (backslashes, ".\" for the working directory, any letter
// case); this service maps such names onto the real file system below a
// root folder, matching each path component without regard to case.
#pragma once

#include <cstdint>
#include <cstdio>
#include <map>
#include <set>
#include <string>

#include "envsys/HostServices.h"

namespace envhost {

class HostFiles : public envsys::FileService {
public:
    HostFiles() = default;
    ~HostFiles();
    HostFiles(const HostFiles&) = delete;
    HostFiles& operator=(const HostFiles&) = delete;

    int32_t Open(const char* path, int32_t mode) override;
    void Close(int32_t handle) override;
    int32_t Read(int32_t handle, void* buffer, uint32_t byteCount) override;
    int32_t Exists(const char* path, int32_t flags) override;

    // The real path of a plug-in file name, or empty when no file matches.
    std::string Resolve(const char* path) const;

    // The folder that ".\" and bare names refer to.
    std::string root = ".";
    int OpenHandles() const { return static_cast<int>(open_.size()); }
    // When set, every name asked for (found or not) is added to it: the
    // files an Environment File brings in, for a host that watches them.
    std::set<std::string>* requests = nullptr;

private:
    std::map<int32_t, std::FILE*> open_;
    int32_t nextHandle_ = 1;
};

} // namespace envhost
