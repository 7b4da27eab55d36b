// The settings of one preview request, read from the query of /frame or
// /state. The names and defaults are the `frame` command's options, so a
// picture asked for by the page can be rendered again from the command line.
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "host/HostCommands.h"

namespace envhost {

struct PreviewParams {
    SceneSpec scene;
    int width = 640;
    int height = 360;
    uint32_t seed = 1;
    // Seconds of model time to run on from the previous frame instead of
    // setting the plug-in from the scene; negative when not asked for.
    float advance = -1.0f;
};

// Reads the query parameters into params. Unknown names are ignored (a page
// may add cache-busting values); a value that is not a number or out of
// range gives false and a message naming the parameter.
bool ParsePreviewParams(const std::multimap<std::string, std::string>& query, PreviewParams* params,
                        std::string* error);

// The `envhost frame` command line that renders the same picture.
std::string FrameCommandLine(const PreviewParams& params, const std::string& environment);

} // namespace envhost
