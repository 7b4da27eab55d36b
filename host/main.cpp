// envhost: loads the plug-in module the way a 3D application does, hands it
// a shell, and reports what the plug-in asked of its host.
#include <dlfcn.h>

#include <cstdio>
#include <string>

#include "tests/support/TestHost.h"

using namespace envsys;

int main(int argc, char** argv) {
    std::string modulePath = "build/EnvironmentSystem.so";
    if (argc > 1) modulePath = argv[1];
    void* module = dlopen(modulePath.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (module == nullptr) {
        std::fprintf(stderr, "envhost: cannot load %s: %s\n", modulePath.c_str(), dlerror());
        return 1;
    }
    auto init = reinterpret_cast<InitDllFunction>(dlsym(module, "InitDLL"));
    auto exit = reinterpret_cast<ExitDllFunction>(dlsym(module, "ExitDLL"));
    if (init == nullptr || exit == nullptr) {
        std::fprintf(stderr, "envhost: %s does not export InitDLL and ExitDLL\n", modulePath.c_str());
        return 1;
    }
    int status = 0;
    {
        testing::TestHost host;
        host.Init(0, init, exit);
        std::printf("module      %s\n", modulePath.c_str());
        std::printf("acquired   ");
        for (const std::string& tag : host.shell.acquired) std::printf(" %s", tag.c_str());
        std::printf("\nregistered  %s\n", host.env() != nullptr ? "ENV" : "(nothing)");
        if (host.env() == nullptr) status = 1;
        host.Exit();
        std::printf("released   ");
        for (const std::string& tag : host.shell.released) std::printf(" %s", tag.c_str());
        std::printf("\nleft under the owner tag: %zu blocks\n", host.mem.LiveBlocks("ENV"));
    }
    dlclose(module);
    return status;
}
