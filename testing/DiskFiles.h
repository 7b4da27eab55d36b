// FMG over the real file system, with the system's name rules. The plug-in
// names files the way its home platform does; Resolve maps such a name onto
// a real file below a root folder that stands for the plug-in's working
// directory:
//   - "\" and "/" both separate components; "." and empty components (".\",
//     doubled separators) name the folder they are in;
//   - ".." steps back out of the folder before it, and above the root when
//     there is none; that folder must exist all the same, so a path through
//     a missing folder, or through a file, names nothing;
//   - each component matches an entry of its folder without regard to the
//     letter case of A to Z, an entry spelt exactly as asked for first, and
//     of several that differ only in case the first in byte order;
//   - every component but the last must be a folder and the last a regular
//     file; a name that ends in a separator, "." or ".." names a folder,
//     never a file;
//   - a leading separator starts at the file system's root (on Windows also
//     a drive letter and a colon), leaving the root folder aside.
// Every tool that opens the system's files resolves them here, so what one
// accepts, the others load.
#pragma once

#include <cstdint>
#include <cstdio>
#include <map>
#include <set>
#include <string>

#include "envsys/HostServices.h"

namespace envsys {
namespace testing {

class DiskFiles : public FileService {
public:
    explicit DiskFiles(std::string rootFolder = ".") : root(std::move(rootFolder)) {}
    ~DiskFiles();
    DiskFiles(const DiskFiles&) = delete;
    DiskFiles& operator=(const DiskFiles&) = delete;

    int32_t Open(const char* path, int32_t mode) override;
    void Close(int32_t handle) override;
    int32_t Read(int32_t handle, void* buffer, uint32_t byteCount) override;
    int32_t Exists(const char* path, int32_t flags) override;

    // The real path of a plug-in file name, or empty when no file matches.
    std::string Resolve(const char* path) const;
    std::string Resolve(const std::string& path) const { return Resolve(path.c_str()); }

    // The folder that ".\" and bare names refer to; empty is the working directory.
    std::string root;
    int OpenHandles() const { return static_cast<int>(open_.size()); }
    // When set, every name asked for (found or not) is added to it: the
    // files an Environment File brings in, for a host that watches them.
    std::set<std::string>* requests = nullptr;

private:
    std::map<int32_t, std::FILE*> open_;
    int32_t nextHandle_ = 1;
};

} // namespace testing
} // namespace envsys
