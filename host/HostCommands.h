// The commands of envhost: one frame, a day as a contact sheet of hourly
// frames, a flight through the overcast, and the five weather levels.
#pragma once

#include <string>
#include <vector>

#include "host/HostSession.h"
#include "host/PngImage.h"

namespace envhost {

// Everything one rendered frame depends on.
struct SceneSpec {
    int year = 2024, month = 6, day = 21;
    int hour = 12, minute = 0, second = 0;
    float latitude = 34;
    int weather = 0;
    float overcast = 1500;  // altitude of the overcast layer
    float transition = 150; // depth of its transition band
    float intensity = 0;    // weather intensity 0..1
    float altitude = 150;   // viewer altitude
    bool headingFollowsSun = true;
    float heading = 180; // degrees from north toward east, when not following the sun
    float pitch = 12;
    float fov = 90;
    float speed = 0;     // the viewer moves forward at this speed (VMG's motion)
    float warmup = 1.5f; // seconds of model time before the frame is drawn
};

// Sets the plug-in and the camera up for the scene, runs the warm-up and
// draws one frame.
PngImage RenderScene(HostSession& session, const SceneSpec& scene);
// The same without the picture when draw is false: the plug-in's state
// for the scene, as a host would query it.
void RunScene(HostSession& session, const SceneSpec& scene, bool draw);

// Frames in a grid, each with its label in the top-left corner.
PngImage ContactSheet(const std::vector<PngImage>& frames, const std::vector<std::string>& labels, int columns);

// Median and maximum of each per-frame operation, one line each.
std::string FormatStats(const std::vector<FrameTimes>& frames);

// Parses "YYYY-MM-DD" and "HH:MM[:SS]"; false when malformed or out of range.
bool ParseDate(const std::string& text, SceneSpec* scene);
bool ParseTime(const std::string& text, SceneSpec* scene);

int RunCommandLine(int argc, char** argv);

} // namespace envhost
