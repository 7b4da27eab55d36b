// texgen: writes the textures of the default environment into a folder.
#include <sys/stat.h>

#include <cstdio>
#include <string>

#include "tools/TextureGenerator.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: texgen OUTPUT_FOLDER\n");
        return 2;
    }
    const std::string folder = argv[1];
    mkdir(folder.c_str(), 0755);
    for (const envtools::GeneratedTexture& t : envtools::GenerateDefaultTextures()) {
        std::string error;
        if (!t.image.Write(folder + "/" + t.name, &error)) {
            std::fprintf(stderr, "texgen: cannot write %s/%s: %s\n", folder.c_str(), t.name.c_str(), error.c_str());
            return 1;
        }
    }
    return 0;
}
