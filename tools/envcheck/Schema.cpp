#include "tools/envcheck/Schema.h"

#include "config/Material.h"
#include "config/StdStringUtils.h"

#include <algorithm>
#include <climits>

namespace envcheck {
namespace {

KeySpec Make(const char* name, KeyType type, const char* def) {
    KeySpec k;
    k.name = name;
    k.type = type;
    k.defaultText = def;
    return k;
}

KeySpec F(const char* name, const char* def = "0") { return Make(name, KeyType::Float, def); }
KeySpec I(const char* name, const char* def = "0") { return Make(name, KeyType::Int, def); }
KeySpec B(const char* name, bool def = false) { return Make(name, KeyType::Bool, def ? "TRUE" : "FALSE"); }
KeySpec C(const char* name) { return Make(name, KeyType::Color, "unchanged (0,0,0 on the first load)"); }
KeySpec CA(const char* name, const char* def = "unchanged (0,0,0,0 on the first load)") {
    return Make(name, KeyType::ColorAlpha, def);
}
KeySpec M(const char* name) { return Make(name, KeyType::Material, "\"\""); }
KeySpec T(const char* name, int maxLength = 259) {
    KeySpec k = Make(name, KeyType::Text, "\"\"");
    k.maxLength = maxLength;
    return k;
}
KeySpec P(const char* name, int args, const char* meaning) {
    KeySpec k = Make(name, KeyType::Pattern, "none");
    k.patternArgs = args;
    k.argsMeaning = meaning;
    return k;
}
KeySpec E(const char* name, std::vector<std::string> words) {
    KeySpec k = Make(name, KeyType::Enum, words.front().c_str());
    k.words = std::move(words);
    return k;
}

std::vector<KeySpec> LightStateKeys() {
    return {F("SunHeight"),    F("SunBrightness"), F("SunLightLevel"), C("SunColor"),
            C("AmbientColor"), C("SkyColor"),      C("HorizonColor"),  C("FogColor")};
}

// The material reader's own tables, so the checker accepts exactly its words.
std::vector<std::string> Words(const char* const* names, int count) { return {names, names + count}; }

// A colour the loader presets before reading the key.
const char* const kWhite = "1,1,1,1";

const std::vector<std::string> kStageOps = Words(envsys::kStageOpNames, envsys::kStageOpCount);

} // namespace

const std::vector<SectionSpec>& FixedSections() {
    static const std::vector<SectionSpec> sections = {
        {"EnvironmentSystem", {F("UpdateRate", "60"), F("InclinationAngle", "23.5"), F("Latitude", "34")}},
        {"Day", LightStateKeys()},
        {"Twilight1", LightStateKeys()},
        {"Twilight2", LightStateKeys()},
        {"Night", LightStateKeys()},
        {"Fog",
         {F("StartClear"), F("EndClear"), F("StartOvercast"), F("EndOvercast"), C("OvercastColor"), F("StartInclement"),
          F("EndInclement"), C("InclementColor"), F("StartCloud"), F("EndCloud"), C("CloudColor"), C("HazeFogColor")}},
        {"Weather",
         {F("OvercastLight"), F("InclementLight"), C("OvercastHorizonColor"), C("InclementHorizonColor"),
          T("InclementEffect")}},
        {"Sun",
         {M("DaySunMaterial"), M("TwilightSunMaterial"), I("TwilightSunAnimation"),
          P("TwilightSunFormat", 1, "the frame number from 1"), F("SunAngle"), F("DaySunSize"), F("TwilightSunSize"),
          M("SunFlareMaterial"), F("SunFlareSize"), M("TwilightSunFlareMaterial"), F("TwilightSunFlareSize"),
          F("OvercastAmbientModifier"), F("OvercastDirectModifier")}},
        {"Sky",
         {F("SkyDistance", "80000"), F("SkyPanelHeight", "10000"), F("HorizonVertexHeight", "0.15"),
          I("SkyPanelCount", "8"), M("SkyMaterial"), M("HorizonCloud"),
          P("HorizonCloudTexture", 2, "the weather level + 1 and the panel number + 1")}},
        {"BaseWindSection", {F("BaseWindSpeed"), F("BaseWindDirection")}},
        {"Reflection",
         {I("NumSunLightLevel"), I("NumWeatherLevel"), I("NumReflectionLevel"),
          P("TextureNameFormat", 2, "the sun-light row and the reflection column")}},
        {"Gravity", {F("Acceleration"), Make("ForceVector", KeyType::Vector, "0,0,0")}},
        // The star field sets each class colour to white before reading it.
        {"Stars",
         {M("StarMaterial"), F("UpdateRate", "60"), F("SizeFactor"), F("SizeDeviation"), F("MinSize"), F("MinHeight"),
          F("TextureCoordinate"), CA("OClassColor", kWhite), CA("BClassColor", kWhite), CA("AClassColor", kWhite),
          CA("FClassColor", kWhite), CA("GClassColor", kWhite), CA("KClassColor", kWhite), CA("MClassColor", kWhite),
          Make("StarDataFile", KeyType::StarFile, "\"\"")}},
        {"Clouds",
         {I("MaxClouds", "16"), I("MaxCloudParticles", "64"), M("3DCloudMaterial"), F("3DCloudHorizontalSize"),
          F("3DCloudVerticalSize"), F("3DCloudSizeDeviation"), F("3DCloudParticleDensity"), C("ParticleColor"),
          F("ParticleSize"), F("ParticleSizeDeviation"), C("ShadowColor")}},
        {"CloudLayer",
         {P("TopTexture", 1, "the weather level + 1"), P("BottomTexture", 1, "the weather level + 1"), M("Material"),
          I("TileCount"), F("TileSize", "1")}},
    };
    return sections;
}

const SectionSpec& LensFlareSection() {
    static const SectionSpec section = {"LensFlare%03d",
                                        {F("PositionFactor", "1.2"), F("Size"),
                                         E("Fade", {"NONE", "NORMAL", "REVERSE"}), CA("Color", kWhite), M("Material")}};
    return section;
}

const SectionSpec& MaterialSection() {
    static const SectionSpec section = {"material",
                                        {B("DepthBufferCheck"),
                                         B("DepthBufferWrite"),
                                         B("AlphaTestEnabled"),
                                         B("RenderedInOrder"),
                                         B("LightEnabled"),
                                         B("SpecularEnabled"),
                                         B("EmissiveEnabled"),
                                         B("FogEnabled"),
                                         I("PriorityLevel"),
                                         C("AmbientColor"),
                                         C("DiffuseColor"),
                                         C("SpecularColor"),
                                         C("EmissiveColor"),
                                         F("SpecularLevel", "1"),
                                         F("SpecularPower"),
                                         F("Transparency"),
                                         F("Reflectivity"),
                                         I("ZBufferOffset"),
                                         E("CullMode", Words(envsys::kCullModeNames, envsys::kCullModeCount)),
                                         E("BlendOp", Words(envsys::kBlendOpNames, envsys::kBlendOpCount)),
                                         I("NumTextureStages")}};
    return section;
}

const std::vector<KeySpec>& TextureStageKeys() {
    static const std::vector<KeySpec> keys = {T("TextureName", 63),
                                              B("FilterEnabled"),
                                              B("MipMap", true),
                                              B("TileU"),
                                              B("TileV"),
                                              B("MirrorU"),
                                              B("MirrorV"),
                                              B("ReflectionMapping"),
                                              B("SpecularMapping"),
                                              E("StageColorOp", kStageOps),
                                              E("StageAlphaOp", kStageOps)};
    return keys;
}

const std::vector<KeySpec>& WindChangeKeys() {
    static const std::vector<KeySpec> keys = {F("ChangeTime"),  F("ChangeChance"),  F("SpeedRate"),
                                              F("SpeedAmount"), F("DirectionRate"), F("DirectionAmount")};
    return keys;
}

bool SameName(const std::string& a, const std::string& b) { return envsys::SameText(a, b); }

std::string Lower(const std::string& s) { return envsys::LowerText(s); }

const KeySpec* FindKeySpec(const std::vector<KeySpec>& keys, const std::string& name) {
    for (const KeySpec& k : keys)
        if (SameName(k.name, name)) return &k;
    return nullptr;
}

int NameDistance(const std::string& a0, const std::string& b0, int bound) {
    const size_t n = a0.size(), m = b0.size();
    const int lengthGap = static_cast<int>(n > m ? n - m : m - n);
    if (lengthGap > bound) return lengthGap;
    const std::string a = Lower(a0), b = Lower(b0);
    // Three rows suffice: a transposition looks two rows back.
    std::vector<int> rows(3 * (m + 1));
    int* back2 = rows.data();
    int* back1 = back2 + (m + 1);
    int* row = back1 + (m + 1);
    for (size_t j = 0; j <= m; ++j)
        back1[j] = static_cast<int>(j);
    for (size_t i = 1; i <= n; ++i) {
        row[0] = static_cast<int>(i);
        int rowMin = row[0];
        for (size_t j = 1; j <= m; ++j) {
            const int cost = a[i - 1] == b[j - 1] ? 0 : 1;
            int d = std::min(std::min(back1[j], row[j - 1]) + 1, back1[j - 1] + cost);
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1]) d = std::min(d, back2[j - 2] + 1);
            row[j] = d;
            rowMin = std::min(rowMin, d);
        }
        // No later row has an entry below this row's smallest one.
        if (rowMin > bound) return rowMin;
        int* oldest = back2;
        back2 = back1;
        back1 = row;
        row = oldest;
    }
    return back1[m];
}

std::string Suggest(const std::string& name, const std::vector<std::string>& candidates) {
    std::string best;
    int bestDistance = 0;
    for (const std::string& c : candidates) {
        // Only a strictly smaller distance replaces the best so far, so the
        // count may stop as soon as it cannot be smaller.
        const int distance = NameDistance(name, c, best.empty() ? INT_MAX : bestDistance - 1);
        if (best.empty() || distance < bestDistance) {
            best = c;
            bestDistance = distance;
        }
    }
    // Up to a third of the longer name, at least 2 edits: a slip of the
    // finger or a British spelling, not a different word.
    const int limit = std::max<int>(2, static_cast<int>(std::max(name.size(), best.size())) / 3);
    if (best.empty() || bestDistance > limit || bestDistance == 0) return "";
    return best;
}

} // namespace envcheck
