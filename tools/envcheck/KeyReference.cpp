#include "tools/envcheck/KeyReference.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <fstream>
#include <sstream>

namespace envcheck {
namespace {

// What a key does, for an artist. The range is left empty where the
// schema's type says it all (colours, words, texts).
struct KeyNote {
    const char* group;
    const char* key;
    const char* range;
    const char* text;
};

const KeyNote kNotes[] = {
    // EnvironmentSystem
    {"EnvironmentSystem", "UpdateRate", "above 0, seconds",
     "Seconds of running time between recomputes of the sun's position and the light. The clock moves on by the "
     "whole seconds gathered at each recompute, so a small value gives smoother dawns. A load, a new time or date, "
     "or the viewer crossing the overcast recompute at once. 0 or less: the light is recomputed on every frame "
     "(warning)."},
    {"EnvironmentSystem", "InclinationAngle", "0..90 degrees",
     "Tilt of the planet's axis (23.44 for the Earth): how far the sun's path moves north and south over the year. "
     "0 gives the same sun path every day of the year."},
    {"EnvironmentSystem", "Latitude", "-90..90 degrees, north positive",
     "Where on the planet the scene lies: how high the sun climbs at noon, how long the days are and which stars "
     "turn overhead."},
    // Day, Twilight1, Twilight2, Night
    {"LightState", "SunHeight", "-1..1, falling from Day to Night",
     "The sun height at which this state applies in full, written as the sine of the sun's elevation: 0.30 is 17.5 "
     "degrees, 0 the horizon, -0.22 is -12.7 degrees. Between two states the light blends by the sun's height; "
     "above Day's height it is Day, below Night's it is Night. A SunHeight that is not below the state before it "
     "is an error (the blend divides by their difference); one outside -1..1 is never reached (warning)."},
    {"LightState", "SunBrightness", "0..1",
     "Brightness of the sun disc, its glare and the lens flares. Below 1 the twilight disc and its wide flare fade "
     "in, at full strength at 0; at 0 no lens flares are drawn."},
    {"LightState", "SunLightLevel", "0..1",
     "Strength of the sun's light on the scene; 0 switches it off. It also picks the row of reflection maps, and "
     "stars are drawn only while it is below 1, growing as it falls."},
    {"LightState", "SunColor", "",
     "Colour of the sun's light on the scene (times SunLightLevel). In twilight it also colours the glow of the sky "
     "around the sun."},
    {"LightState", "AmbientColor", "", "Colour of the light that comes from all around: the shadowed sides."},
    {"LightState", "SkyColor", "",
     "Colour of the sky overhead. The dome's middle ring is half SkyColor, half HorizonColor."},
    {"LightState", "HorizonColor", "", "Colour of the sky at the horizon; at night also the horizon-cloud band's."},
    {"LightState", "FogColor", "", "Colour of the fog, and of the dome below the horizon."},
    // Fog
    {"Fog", "StartClear", "0 or more, world units",
     "Where the fog begins in clear weather. The host's weather intensity moves it in: at intensity 1 the fog "
     "starts at the viewer."},
    {"Fog", "EndClear", "above StartClear",
     "Where the fog is complete in clear weather, times the host's visibility scale."},
    {"Fog", "StartOvercast", "0 or more", "Fog start below an overcast (weather 3), times the weather intensity."},
    {"Fog", "EndOvercast", "above StartOvercast", "Fog end below an overcast."},
    {"Fog", "OvercastColor", "",
     "Below an overcast: the colour of the sky and of the fog. Inside the overcast's transition band: the colour "
     "the sky and the fog turn toward."},
    {"Fog", "StartInclement", "0 or more",
     "Fog start in inclement weather (4). Intensity 1 moves start and end in by half the distance between them."},
    {"Fog", "EndInclement", "above StartInclement", "Fog end in inclement weather."},
    {"Fog", "InclementColor", "", "As OvercastColor, in inclement weather."},
    {"Fog", "StartCloud", "0 or more",
     "Fog start that the view closes in to inside the overcast's transition band: the nearer the viewer is to the "
     "layer, the nearer the fog comes to this."},
    {"Fog", "EndCloud", "above StartCloud", "Fog end inside the transition band, as StartCloud."},
    {"Fog", "CloudColor", "",
     "Colour the sky and the fog turn toward inside the transition band in clear or hazy weather."},
    {"Fog", "HazeFogColor", "",
     "Fog and horizon colour by day while haze is on: weather 1 and 2, or weather 0 at an intensity of 0.5 or "
     "more."},
    // Weather
    {"Weather", "OvercastLight", "0..1",
     "Share of the sun's light left below an overcast (weather 3); 1 keeps all of it."},
    {"Weather", "InclementLight", "0..1", "Share of the sun's light left in inclement weather (4)."},
    {"Weather", "OvercastHorizonColor", "", "Horizon colour below an overcast."},
    {"Weather", "InclementHorizonColor", "", "Horizon colour in inclement weather."},
    {"Weather", "InclementEffect", "a particle effect of the host",
     "The host's particle effect for inclement weather (rain, snow), emitted around the viewer below the clouds in "
     "weather 4. Empty: no effect."},
    // Gravity
    {"Gravity", "Acceleration", "0 or more",
     "Strength of gravity (9.80665 on the Earth), which the host reads for its particles and physics."},
    {"Gravity", "ForceVector", "x, y, z; 0, 0, -1 points down",
     "Direction of gravity (z is up). The gravity vector the host reads is ForceVector times Acceleration. "
     "Without a comma the vector reads as 0, 0, 0 (warning)."},
    // Sun
    {"Sun", "DaySunMaterial", "", "Material of the sun disc by day."},
    {"Sun", "TwilightSunMaterial", "",
     "Material of the twilight disc. Each frame of the twilight animation is a copy of it whose first texture "
     "stage shows that frame's texture."},
    {"Sun", "TwilightSunAnimation", "0 or more",
     "Number of frames of the twilight disc. As SunBrightness falls from 1 to 0 the frames play from the first to "
     "the last. Negative: the frames cannot be made (error)."},
    {"Sun", "TwilightSunFormat", "",
     "Texture names of the twilight frames: `textures\\twilight_sun_%02d.png` gives `twilight_sun_01.png` to "
     "`twilight_sun_08.png` for 8 frames. A name longer than 63 characters is cut."},
    {"Sun", "SunAngle", "-1..1, below 1 (0.97 is 14 degrees)",
     "Cosine of the half angle of the glare cone around the sun. Looking into the cone dims the ambient light, the "
     "more the nearer the sun is to the view's centre and the brighter it is. 1 divides by zero (error)."},
    {"Sun", "DaySunSize", "above 0, pixels on the reference host", "Size of the day disc on the screen."},
    {"Sun", "TwilightSunSize", "above 0", "Size of the twilight disc."},
    {"Sun", "SunFlareMaterial", "", "Material of the glare around the day sun."},
    {"Sun", "SunFlareSize", "0 or more",
     "Size of the glare around the day sun; the glare grows and brightens as the sun nears the centre of the "
     "view."},
    {"Sun", "TwilightSunFlareMaterial", "", "Material of the wide flare of the twilight sun."},
    {"Sun", "TwilightSunFlareSize", "0 or more",
     "Size of the twilight flare, reached at SunBrightness 0; it shrinks and fades as the brightness rises."},
    {"Sun", "OvercastAmbientModifier", "0..1", "Factor on the ambient light while the viewer is below the overcast."},
    {"Sun", "OvercastDirectModifier", "0..1",
     "Factor on the sun's direct light while the viewer is below the overcast."},
    // LensFlare001, LensFlare002, ...
    {"LensFlare", "PositionFactor", "0..2 on the screen",
     "Where the flare sits on the line from the sun through the centre of the view: 0 on the sun, 1 at the centre, "
     "2 as far beyond the centre as the sun is before it."},
    {"LensFlare", "Size", "0 or more", "Size of the flare; Fade changes it as the sun moves."},
    {"LensFlare", "Fade", "",
     "How the flare changes as the sun nears the centre of the view: NORMAL grows and fades out, REVERSE shrinks "
     "and grows stronger, NONE stays as it is. Another word reads as NONE (warning)."},
    {"LensFlare", "Color", "", "Colour and opacity of the flare; alpha is 1 when left out."},
    {"LensFlare", "Material", "", "Material of the flare."},
    // Sky
    {"Sky", "SkyDistance", "above 0, inside the host's view distance",
     "Radius of the sky dome in world units, and the height of its top point."},
    {"Sky", "SkyPanelHeight", "above 0",
     "Height of the dome's top ring at SkyDistance; above it the sky has the full SkyColor."},
    {"Sky", "HorizonVertexHeight", "0..1",
     "Height of the horizon ring, where HorizonColor is strongest, as a fraction of SkyPanelHeight. 0 puts it on "
     "the ground."},
    {"Sky", "SkyPanelCount", "1..21843",
     "Columns in each of the dome's eight 45-degree panels: more columns, a rounder dome and smoother colours. "
     "Outside the range the dome cannot be built (error)."},
    {"Sky", "SkyMaterial", "", "Material of the dome."},
    {"Sky", "HorizonCloud", "", "Material of the horizon-cloud band; each panel gets its own texture."},
    {"Sky", "HorizonCloudTexture", "",
     "Texture names of the horizon band: `textures\\horizon_%d_%d.png` gives `horizon_1_1.png` to "
     "`horizon_5_8.png`. The band is rebuilt whenever the host sets the weather."},
    // BaseWindSection
    {"BaseWindSection", "BaseWindSpeed", "0 or more, world units per second",
     "Speed of the steady wind before gusts; the host may set its own."},
    {"BaseWindSection", "BaseWindDirection", "0..360 degrees",
     "Direction the steady wind blows toward, in degrees from north toward east."},
    {"WindChange", "ChangeTime", "0 or more, seconds",
     "How often this change tries to happen. Changes are counted from WindChange[01] up; the first missing "
     "ChangeTime ends the list, and later changes are not read (warning)."},
    {"WindChange", "ChangeChance", "0..100 percent", "Chance that a try starts a change; 0 never."},
    {"WindChange", "SpeedRate", "0 or more, per second",
     "How fast the speed moves toward a new gust, and back once it is reached."},
    {"WindChange", "SpeedAmount", "0 or more",
     "Largest speed change either way. Gusts change the speed only when the host sets a gust scale."},
    {"WindChange", "DirectionRate", "0 or more, degrees per second", "How fast the direction turns toward a new one."},
    {"WindChange", "DirectionAmount", "0..180 degrees",
     "Largest turn of the direction either way; the wind stays turned until the next change."},
    // Reflection
    {"Reflection", "NumSunLightLevel", "0 or more",
     "Rows of reflection maps, by light: row 0 for full sun (SunLightLevel 1), the last for darkness. Negative: "
     "no maps (warning)."},
    {"Reflection", "NumWeatherLevel", "0 or more", "Kept for the host; the system does not use it."},
    {"Reflection", "NumReflectionLevel", "0 or more",
     "Columns of reflection maps, from sharp to rough; the host chooses the column per surface. 0: no maps."},
    {"Reflection", "TextureNameFormat", "",
     "Names of the maps: `textures\\reflect_%d_%d.png` gives `reflect_0_0.png` to `reflect_3_1.png` for 4 rows "
     "of 2."},
    // Stars
    {"Stars", "StarMaterial", "", "Material of the stars."},
    {"Stars", "UpdateRate", "above 0, seconds",
     "Seconds in which every star's size and place are refreshed once (a few stars at a time). 0 or less is "
     "replaced by 60 (warning)."},
    {"Stars", "SizeFactor", "above 0",
     "Screen size of a star: ((0.6 - SunLightLevel) x 10 - magnitude) x SizeFactor, so bright stars are larger "
     "and all stars shrink as the light rises."},
    {"Stars", "SizeDeviation", "0..1",
     "Twinkling: every frame up to this share of a star's size is taken away at random."},
    {"Stars", "MinSize", "0 or more", "Stars not larger than this are not drawn."},
    {"Stars", "MinHeight", "above 0 (0.1 is about 6 degrees)",
     "Sine of the elevation below which stars shrink toward the horizon. 0: no shrinking; stars below the horizon get "
     "size 0."},
    {"Stars", "TextureCoordinate", "0..1", "How much of the star material's texture a star shows (0 to this)."},
    {"Stars", "OClassColor", "",
     "Colour and opacity of class O stars, the hottest and bluest. Stars of an unknown class get it too."},
    {"Stars", "BClassColor", "", "Colour of class B stars (blue-white)."},
    {"Stars", "AClassColor", "", "Colour of class A stars (white)."},
    {"Stars", "FClassColor", "", "Colour of class F stars (yellow-white)."},
    {"Stars", "GClassColor", "", "Colour of class G stars (yellow, like the sun)."},
    {"Stars", "KClassColor", "", "Colour of class K stars (orange)."},
    {"Stars", "MClassColor", "", "Colour of class M stars, the coolest and reddest."},
    {"Stars", "StarDataFile", "",
     "The star data file (see below), relative to the working directory. Missing or unreadable: no stars (error)."},
    // Clouds
    {"Clouds", "MaxClouds", "0 or more",
     "Room for 3D clouds the host may fill; the system keeps these settings for the host and draws no 3D clouds. "
     "Negative: no room (error)."},
    {"Clouds", "MaxCloudParticles", "0 or more", "Room for particles in each 3D cloud. Negative: no room (error)."},
    {"Clouds", "3DCloudMaterial", "", "Material of the 3D cloud particles."},
    {"Clouds", "3DCloudHorizontalSize", "0 or more", "Width of a 3D cloud."},
    {"Clouds", "3DCloudVerticalSize", "0 or more", "Height of a 3D cloud."},
    {"Clouds", "3DCloudSizeDeviation", "0..1", "Random share by which a cloud's size varies."},
    {"Clouds", "3DCloudParticleDensity", "0..1", "How densely a cloud is filled with particles."},
    {"Clouds", "ParticleColor", "", "Colour of the lit side of the particles."},
    {"Clouds", "ParticleSize", "0 or more", "Size of one particle."},
    {"Clouds", "ParticleSizeDeviation", "0..1", "Random share by which a particle's size varies."},
    {"Clouds", "ShadowColor", "", "Colour of the shaded side of the particles."},
    // CloudLayer
    {"CloudLayer", "TopTexture", "",
     "Texture of the overcast seen from above, given the weather level + 1: `textures\\cloud_top_%d.png` gives "
     "`cloud_top_4.png` (overcast) and `cloud_top_5.png` (inclement)."},
    {"CloudLayer", "BottomTexture", "", "Texture of the overcast seen from below, as TopTexture."},
    {"CloudLayer", "Material", "", "Material of both sides of the layer."},
    {"CloudLayer", "TileCount", "2..128",
     "Tiles along each side of the square layer around the viewer; it fades out toward its rim. 1: the single tile "
     "is invisible (warning). Above 128 or negative: the layer cannot be built (error)."},
    {"CloudLayer", "TileSize", "above 0, world units",
     "Edge of one tile; each tile shows the whole texture. 0 divides by zero (error)."},
    // Material sections
    {"Material", "DepthBufferCheck", "", "TRUE: hidden behind nearer things."},
    {"Material", "DepthBufferWrite", "", "TRUE: hides what is drawn after it behind it."},
    {"Material", "AlphaTestEnabled", "", "TRUE: pixels of low texture alpha are left out entirely."},
    {"Material", "RenderedInOrder", "", "TRUE: the host draws it in the order given instead of sorting it."},
    {"Material", "LightEnabled", "", "TRUE: lit by the sun and ambient light."},
    {"Material", "SpecularEnabled", "", "TRUE: shows highlights (SpecularColor, SpecularPower)."},
    {"Material", "EmissiveEnabled", "", "TRUE: glows by itself (EmissiveColor)."},
    {"Material", "FogEnabled", "", "TRUE: fades into the fog with distance."},
    {"Material", "PriorityLevel", "0..3", "Drawing group the host sorts by: 0 (and below), 1, 2 or 3 (and above)."},
    {"Material", "AmbientColor", "", "Colour under the ambient light."},
    {"Material", "DiffuseColor", "", "Colour under direct light."},
    {"Material", "SpecularColor", "", "Colour of highlights."},
    {"Material", "EmissiveColor", "", "Colour of its own glow."},
    {"Material", "SpecularLevel", "0 or more", "Strength of highlights."},
    {"Material", "SpecularPower", "0 or more", "Sharpness of highlights: larger is smaller and sharper."},
    {"Material", "Transparency", "0..1", "How much the surface lets through."},
    {"Material", "Reflectivity", "0..1", "How much the surface mirrors the reflection maps, for the host."},
    {"Material", "ZBufferOffset", "small whole numbers",
     "Depth offset the host gives the surface, so that surfaces in one plane do not flicker."},
    {"Material", "CullMode", "",
     "Which side is not drawn: NO_CULL draws both. Another word reads as NO_CULL (warning)."},
    {"Material", "BlendOp", "",
     "How the surface combines with what is behind it: ONE replaces, BLEND_SRC_ALPHA mixes by the texture's alpha, "
     "BLEND_SRC_ALPHA_ADD_DST adds the colour weighted by its alpha (glows). Another word reads as ZERO "
     "(warning)."},
    {"Material", "NumTextureStages", "0..8",
     "Number of texture stages, TextureStage[01] up. Outside 0..8 the material has no stages (error); keys of "
     "stages above the number are ignored (warning)."},
    {"TextureStage", "TextureName", "", "File name of the stage's texture, relative to the working directory."},
    {"TextureStage", "FilterEnabled", "", "TRUE: the texture is smoothed when magnified."},
    {"TextureStage", "MipMap", "", "TRUE: smaller copies are used in the distance."},
    {"TextureStage", "TileU", "", "TRUE: the texture repeats across."},
    {"TextureStage", "TileV", "", "TRUE: the texture repeats down."},
    {"TextureStage", "MirrorU", "", "TRUE: every other repeat across is mirrored."},
    {"TextureStage", "MirrorV", "", "TRUE: every other repeat down is mirrored."},
    {"TextureStage", "ReflectionMapping", "", "TRUE: the stage shows the current reflection map."},
    {"TextureStage", "SpecularMapping", "", "TRUE: the stage shapes the highlights."},
    {"TextureStage", "StageColorOp", "",
     "How the stage makes its colour from the texture, the surface colour (DIFFUSE) and the stages before it "
     "(CURRENT). Another word reads as NO_OP (warning)."},
    {"TextureStage", "StageAlphaOp", "", "The same for the opacity."},
};

struct Group {
    std::string name;
    std::string where;                 // sections, for a person
    std::vector<const KeySpec*> keys;  // union over its schema sections
    std::vector<std::string> sections; // fixed section names in the group
    std::string prefix;                // "WindChange[NN]." or "TextureStage[NN]."
};

std::string GroupOf(const std::string& section) {
    for (const char* s : {"Day", "Twilight1", "Twilight2", "Night"})
        if (section == s) return "LightState";
    return section;
}

const std::vector<Group>& Groups() {
    static const std::vector<Group> groups = [] {
        std::vector<Group> out;
        auto add = [&](const std::string& name, const std::string& section, const std::vector<KeySpec>& keys) {
            auto it = std::find_if(out.begin(), out.end(), [&](const Group& g) { return g.name == name; });
            if (it == out.end()) {
                out.push_back(Group{name, "", {}, {}, ""});
                it = out.end() - 1;
            }
            if (!section.empty()) {
                it->sections.push_back(section);
                it->where += (it->where.empty() ? "[" : ", [") + section + "]";
            }
            for (const KeySpec& k : keys)
                if (std::none_of(it->keys.begin(), it->keys.end(), [&](const KeySpec* p) { return p->name == k.name; }))
                    it->keys.push_back(&k);
        };
        for (const SectionSpec& s : FixedSections()) {
            add(GroupOf(s.name), s.name, s.keys);
            if (s.name == "BaseWindSection") {
                add("WindChange", "", WindChangeKeys());
                out.back().where = "[BaseWindSection], keys WindChange[01]. to WindChange[99].";
                out.back().prefix = "WindChange[NN].";
            }
        }
        add("LensFlare", "", LensFlareSection().keys);
        out.back().where = "[LensFlare001], [LensFlare002], ...";
        add("Material", "", MaterialSection().keys);
        out.back().where = "any material section";
        add("TextureStage", "", TextureStageKeys());
        out.back().where = "a material section, keys TextureStage[01]. to TextureStage[08].";
        out.back().prefix = "TextureStage[NN].";
        return out;
    }();
    return groups;
}

const KeyNote* NoteOf(const std::string& group, const std::string& key) {
    for (const KeyNote& n : kNotes)
        if (group == n.group && key == n.key) return &n;
    return nullptr;
}

std::string AnchorText(const std::string& s) {
    std::string out;
    for (char c : s)
        if (std::isalnum(static_cast<unsigned char>(c)))
            out += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

std::string TypeText(const KeySpec& k) {
    switch (k.type) {
    case KeyType::Float:
        return "number";
    case KeyType::Int:
        return "whole number";
    case KeyType::Bool:
        return "switch";
    case KeyType::Text:
        return "text";
    case KeyType::Color:
        return "colour r, g, b";
    case KeyType::ColorAlpha:
        return "colour r, g, b, a";
    case KeyType::Vector:
        return "vector x, y, z";
    case KeyType::Material:
        return "material section name";
    case KeyType::Pattern:
        return "name pattern given " + std::to_string(k.patternArgs) +
               (k.patternArgs == 1 ? " number: " : " numbers: ") + k.argsMeaning;
    case KeyType::Enum:
        return "word";
    case KeyType::StarFile:
        return "file name";
    }
    return "";
}

std::string RangeText(const KeySpec& k, const KeyNote* note) {
    if (note != nullptr && note->range[0] != '\0') return note->range;
    switch (k.type) {
    case KeyType::Color:
    case KeyType::ColorAlpha:
        return "each 0..1";
    case KeyType::Enum: {
        std::string words;
        for (const std::string& w : k.words)
            words += (words.empty() ? "" : ", ") + w;
        return words;
    }
    case KeyType::Bool:
        return "TRUE or FALSE";
    case KeyType::Pattern:
        return "integer conversions only, up to " + std::to_string(k.maxLength) + " characters";
    default:
        return "up to " + std::to_string(k.maxLength) + " characters";
    }
}

std::string EscapeCell(const std::string& s) {
    std::string out;
    for (char c : s)
        out += c == '|' ? std::string("\\|") : std::string(1, c);
    return out;
}

// "LensFlare003" or "LensFlare3": the lens-flare pattern.
bool IsLensFlare(const std::string& section) {
    if (section.size() <= 9 || !SameName(section.substr(0, 9), "LensFlare")) return false;
    return std::all_of(section.begin() + 9, section.end(),
                       [](char c) { return std::isdigit(static_cast<unsigned char>(c)); });
}

// "WindChange[02].SpeedRate" against the prefix "WindChange[": the suffix "SpeedRate".
bool SplitIndexed(const std::string& key, const std::string& stem, std::string* suffix) {
    if (key.size() <= stem.size() || !SameName(key.substr(0, stem.size()), stem)) return false;
    size_t i = stem.size();
    const size_t digits = i;
    if (key.compare(i, 2, "NN") == 0) i += 2;
    while (i < key.size() && std::isdigit(static_cast<unsigned char>(key[i])))
        ++i;
    if (i == digits || key.compare(i, 2, "].") != 0) return false;
    *suffix = key.substr(i + 2);
    return true;
}

const Group* FindGroup(const std::string& name) {
    for (const Group& g : Groups())
        if (g.name == name) return &g;
    return nullptr;
}

const ReferenceEntry* EntryOf(const std::string& group, const std::string& key) {
    for (const ReferenceEntry& e : ReferenceEntries())
        if (e.group == group && SameName(e.keySpec->name, key)) return &e;
    return nullptr;
}

// The key of a section of the given group; indexed keys of wind changes and
// texture stages by their number.
const ReferenceEntry* KeyOfGroup(const std::string& group, const std::string& key) {
    std::string suffix;
    if (group == "BaseWindSection" && SplitIndexed(key, "WindChange[", &suffix)) return EntryOf("WindChange", suffix);
    if (group == "Material" && SplitIndexed(key, "TextureStage[", &suffix)) return EntryOf("TextureStage", suffix);
    return EntryOf(group, key);
}

// The group a section name belongs to; any other name is a material section.
std::string GroupOfSection(const std::string& section) {
    for (const Group& g : Groups())
        for (const std::string& s : g.sections)
            if (SameName(s, section)) return g.name;
    if (IsLensFlare(section)) return "LensFlare";
    return "Material";
}

std::string Plain(const std::string& markdown) {
    std::string out;
    for (char c : markdown)
        if (c != '`') out += c;
    return out;
}

std::string Wrap(const std::string& text, const std::string& indent, size_t width) {
    std::string out, line;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find(' ', start);
        if (end == std::string::npos) end = text.size();
        const std::string word = text.substr(start, end - start);
        if (!line.empty() && indent.size() + line.size() + 1 + word.size() > width) {
            out += indent + line + "\n";
            line.clear();
        }
        line += (line.empty() ? "" : " ") + word;
        start = end + 1;
    }
    if (!line.empty()) out += indent + line + "\n";
    return out;
}

} // namespace

const std::vector<ReferenceEntry>& ReferenceEntries() {
    static const std::vector<ReferenceEntry> entries = [] {
        std::vector<ReferenceEntry> out;
        for (const Group& g : Groups()) {
            for (const KeySpec* k : g.keys) {
                const KeyNote* note = NoteOf(g.name, k->name);
                ReferenceEntry e;
                e.group = g.name;
                e.name = g.prefix + k->name;
                e.where = g.where;
                e.anchor = AnchorText(g.name) + "-" + AnchorText(k->name);
                e.type = TypeText(*k);
                e.def = k->defaultText;
                e.range = RangeText(*k, note);
                e.text = note != nullptr ? note->text : "";
                e.keySpec = k;
                out.push_back(e);
            }
        }
        return out;
    }();
    return entries;
}

std::vector<std::string> MissingDescriptions() {
    std::vector<std::string> out;
    for (const ReferenceEntry& e : ReferenceEntries())
        if (e.text.empty()) out.push_back(e.group + "." + e.keySpec->name + ": no description");
    for (const KeyNote& n : kNotes)
        if (EntryOf(n.group, n.key) == nullptr)
            out.push_back(std::string(n.group) + "." + n.key + ": not in the schema");
    return out;
}

std::vector<std::string> ReferenceGroups() {
    std::vector<std::string> out;
    for (const Group& g : Groups())
        out.push_back(g.name);
    return out;
}

std::string ReferenceTable(const std::string& group) {
    std::string out = "| Key | Type | Default | Valid | What it does |\n|---|---|---|---|---|\n";
    for (const ReferenceEntry& e : ReferenceEntries()) {
        if (e.group != group) continue;
        out += "| <a id=\"" + e.anchor + "\"></a>`" + e.name + "` | " + EscapeCell(e.type) + " | " + EscapeCell(e.def) +
               " | " + EscapeCell(e.range) + " | " + EscapeCell(e.text) + " |\n";
    }
    return out;
}

std::string UpdateReferenceTables(const std::string& document, std::vector<std::string>* problems) {
    const std::string open = "<!-- keys:";
    std::string out;
    std::vector<std::string> seen;
    size_t at = 0;
    for (;;) {
        const size_t begin = document.find(open, at);
        if (begin == std::string::npos) break;
        const size_t nameEnd = document.find(' ', begin + open.size());
        const std::string group = document.substr(begin + open.size(), nameEnd - begin - open.size());
        const std::string beginMark = open + group + " begin -->\n";
        const std::string endMark = open + group + " end -->";
        if (document.compare(begin, beginMark.size(), beginMark) != 0) {
            problems->push_back("a marker of " + group + " that is not a begin marker");
            break;
        }
        const size_t end = document.find(endMark, begin);
        if (end == std::string::npos) {
            problems->push_back(group + " has no end marker");
            break;
        }
        if (FindGroup(group) == nullptr) problems->push_back("no section group " + group);
        seen.push_back(group);
        out += document.substr(at, begin - at) + beginMark;
        out += FindGroup(group) != nullptr ? ReferenceTable(group)
                                           : document.substr(begin + beginMark.size(), end - begin - beginMark.size());
        out += endMark;
        at = end + endMark.size();
    }
    out += document.substr(at);
    for (const Group& g : Groups())
        if (std::find(seen.begin(), seen.end(), g.name) == seen.end()) problems->push_back("no table of " + g.name);
    return out;
}

std::vector<const ReferenceEntry*> FindReferenceEntries(const std::string& query) {
    std::vector<const ReferenceEntry*> out;
    auto push = [&](const ReferenceEntry* e) {
        if (e != nullptr && std::find(out.begin(), out.end(), e) == out.end()) out.push_back(e);
    };
    std::string name = query;
    while (!name.empty() && std::isspace(static_cast<unsigned char>(name.back())))
        name.pop_back();
    while (!name.empty() && std::isspace(static_cast<unsigned char>(name.front())))
        name.erase(0, 1);
    if (name.size() > 2 && name.front() == '[' && name.back() == ']') name = name.substr(1, name.size() - 2);
    if (name.empty()) return out;
    // SECTION.KEY, split at each dot in turn: keys may hold dots themselves.
    for (size_t dot = name.find('.'); dot != std::string::npos && out.empty(); dot = name.find('.', dot + 1)) {
        const std::string section = name.substr(0, dot), key = name.substr(dot + 1);
        if (section.empty() || key.empty()) continue;
        push(KeyOfGroup(GroupOfSection(section), key));
    }
    if (!out.empty()) return out;
    // A key on its own: every group that has it.
    for (const Group& g : Groups()) {
        push(EntryOf(g.name, name));
        push(KeyOfGroup(g.name == "WindChange"     ? "BaseWindSection"
                        : g.name == "TextureStage" ? "Material"
                                                   : g.name,
                        name));
    }
    if (!out.empty()) return out;
    // A section: its whole group.
    const std::string group = GroupOfSection(name);
    if (group != "Material" || SameName(name, "Material"))
        for (const ReferenceEntry& e : ReferenceEntries())
            if (e.group == group) push(&e);
    return out;
}

bool ExplainKey(const std::string& name, std::string* text) {
    const std::vector<const ReferenceEntry*> entries = FindReferenceEntries(name);
    text->clear();
    if (entries.empty()) {
        // The closest key, with the section the query named.
        std::vector<std::string> candidates;
        const size_t dot = name.find('.');
        const std::string section = dot == std::string::npos ? "" : name.substr(0, dot);
        const std::string group = section.empty() ? "" : GroupOfSection(section);
        for (const ReferenceEntry& e : ReferenceEntries()) {
            if (section.empty()) {
                candidates.push_back(e.keySpec->name);
            } else if (e.group == group || (group == "BaseWindSection" && e.group == "WindChange") ||
                       (group == "Material" && e.group == "TextureStage")) {
                std::string key = e.name;
                const size_t nn = key.find("[NN]");
                if (nn != std::string::npos) key.replace(nn, 4, "[01]");
                candidates.push_back(section + "." + key);
            }
        }
        for (const Group& g : Groups())
            for (const std::string& s : g.sections)
                if (section.empty()) candidates.push_back(s);
        std::string suggestion = Suggest(name, candidates);
        // A key written in the wrong section: where it belongs.
        const std::vector<const ReferenceEntry*> elsewhere =
            section.empty() ? std::vector<const ReferenceEntry*>() : FindReferenceEntries(name.substr(dot + 1));
        if (suggestion.empty() && !elsewhere.empty())
            suggestion = elsewhere.front()->name + " in " + elsewhere.front()->where;
        *text = "unknown key " + name + (suggestion.empty() ? "" : " (did you mean " + suggestion + "?)") + "\n";
        return false;
    }
    for (const ReferenceEntry* e : entries) {
        *text += e->name + " in " + e->where + "\n";
        *text += "  " + e->type + "; default " + e->def + "; valid: " + Plain(e->range) + "\n";
        *text += Wrap(Plain(e->text), "  ", 78);
        *text += "  docs/environment-file.md#" + e->anchor + "\n";
        if (e != entries.back()) *text += "\n";
    }
    return true;
}

int ReferenceCommand(const std::string& explain, const std::string& referenceDocument) {
    if (!explain.empty()) {
        std::string text;
        const bool found = ExplainKey(explain, &text);
        std::fputs(text.c_str(), found ? stdout : stderr);
        return found ? 0 : 2;
    }
    if (referenceDocument.empty()) return -1;
    std::ifstream in(referenceDocument, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "envcheck: cannot read %s\n", referenceDocument.c_str());
        return 2;
    }
    std::ostringstream document;
    document << in.rdbuf();
    std::vector<std::string> problems = MissingDescriptions();
    const std::string updated = UpdateReferenceTables(document.str(), &problems);
    for (const std::string& p : problems)
        std::fprintf(stderr, "envcheck: %s: %s\n", referenceDocument.c_str(), p.c_str());
    std::fputs(updated.c_str(), stdout);
    return problems.empty() ? 0 : 2;
}

} // namespace envcheck
