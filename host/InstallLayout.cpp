#include "host/InstallLayout.h"

#include <sys/stat.h>

#include <vector>

// Paths from the installed bin/ folder to the module's and the data's folder,
// worked out by the build from the install directories.
#ifndef ENVSYS_BIN_TO_MODULE_DIR
#define ENVSYS_BIN_TO_MODULE_DIR "../lib/envsys"
#endif
#ifndef ENVSYS_BIN_TO_DATA_DIR
#define ENVSYS_BIN_TO_DATA_DIR "../share/envsys"
#endif

namespace envhost {

namespace {

bool Exists(const std::string& path, bool directory) {
    struct stat info;
    if (stat(path.c_str(), &info) != 0) return false;
    return directory ? S_ISDIR(info.st_mode) : S_ISREG(info.st_mode);
}

std::string FirstExisting(const std::vector<std::string>& candidates, bool directory) {
    for (const std::string& path : candidates)
        if (Exists(path, directory)) return path;
    return candidates.front();
}

} // namespace

std::string ModulePath(const std::string& executableFolder) {
    const std::string name = "/EnvironmentSystem.so";
    return FirstExisting({executableFolder + name, executableFolder + "/" ENVSYS_BIN_TO_MODULE_DIR + name}, false);
}

std::string DataFolder(const std::string& executableFolder, const std::string& name) {
    return FirstExisting({executableFolder + "/data/" + name, executableFolder + "/" + name,
                          executableFolder + "/" ENVSYS_BIN_TO_DATA_DIR "/" + name},
                         true);
}

} // namespace envhost
