// Where the reference host finds the plug-in module and its data folders.
// In a build folder they lie next to the executable (EnvironmentSystem.so,
// data/default/, preview/); installed, the executable is in bin/ and they are
// in lib/envsys/ and share/envsys/ of the same prefix, found relative to it so
// that an installed tree can be moved as a whole.
#pragma once

#include <string>

namespace envhost {

// The module envhost loads when none is named: the first of
// <folder>/EnvironmentSystem.so and the installed module that exists, else
// the first (so that an error names the build-folder path).
std::string ModulePath(const std::string& executableFolder);

// A data folder by name ("default" for the default environment, "preview"):
// the first of <folder>/data/<name>, <folder>/<name> and the installed
// share/envsys/<name> that is a directory, else the first.
std::string DataFolder(const std::string& executableFolder, const std::string& name);

} // namespace envhost
