#include "sky/StarField.h"

#include <cstdio>
#include <cstring>

#include "config/IniFile.h"
#include "config/StringUtils.h"
#include "environment/CelestialFrame.h"
#include "environment/LightState.h"
#include "plugin/FrameContext.h"
#include "plugin/Log.h"
#include "plugin/PluginState.h"

namespace envsys {
namespace {

constexpr char kClassLetters[StarField::kClassCount + 1] = "OBAFGKM";
constexpr int32_t kQuadPassFlags = 0;
constexpr int32_t kQuadMode = 3;
constexpr float kDefaultUpdateRate = 60.0f;
// Records read per call of the file service while loading.
constexpr int32_t kRecordsPerRead = 64;

// Reads up to size bytes, over as many reads as the service needs; the
// number of bytes actually read.
uint32_t ReadUpTo(FileService* fmg, int32_t handle, uint8_t* buffer, uint32_t size) {
    uint32_t got = 0;
    while (got < size) {
        const int32_t n = fmg->Read(handle, buffer + got, size - got);
        if (n <= 0) break;
        got += static_cast<uint32_t>(n) < size - got ? static_cast<uint32_t>(n) : size - got;
    }
    return got;
}

uint32_t LittleEndian32(const uint8_t* b) {
    return static_cast<uint32_t>(b[0]) | static_cast<uint32_t>(b[1]) << 8 | static_cast<uint32_t>(b[2]) << 16 |
           static_cast<uint32_t>(b[3]) << 24;
}

float LittleEndianFloat(const uint8_t* b) {
    const uint32_t bits = LittleEndian32(b);
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

// Opens the file and reads its count; false (file closed) when either fails.
bool OpenAndReadCount(FileService* fmg, const char* path, int32_t* handle, int32_t* count) {
    *handle = fmg->Open(path, 0);
    if (*handle == -1) return false;
    uint8_t header[4];
    if (ReadUpTo(fmg, *handle, header, sizeof header) != sizeof header) {
        fmg->Close(*handle);
        return false;
    }
    *count = static_cast<int32_t>(LittleEndian32(header));
    return true;
}

// The number of whole records that follow the count, at most limit.
int32_t CountWholeRecords(FileService* fmg, int32_t handle, int32_t limit) {
    uint8_t chunk[kRecordsPerRead * StarField::kRecordBytes];
    int32_t records = 0;
    while (records < limit) {
        const int32_t want = limit - records < kRecordsPerRead ? limit - records : kRecordsPerRead;
        const uint32_t got = ReadUpTo(fmg, handle, chunk, static_cast<uint32_t>(want) * StarField::kRecordBytes);
        records += static_cast<int32_t>(got / StarField::kRecordBytes);
        if (got < static_cast<uint32_t>(want) * StarField::kRecordBytes) break;
    }
    return records;
}

} // namespace

void StarField::Load(IniFile& file) {
    LogMessage("...loading stars...");
    char text[kNameBufferSize];
    file.GetString("Stars", "StarMaterial", "", text, kNameBufferSize, kCaseAsStored);
    std::memset(&starMaterial, 0, sizeof starMaterial);
    GraphicsService* gfx = Gfx();
    if (gfx != nullptr) gfx->LoadMaterialRecord(&starMaterial, &file, text);

    updateRate = file.GetFloat("Stars", "UpdateRate", kDefaultUpdateRate);
    // A rate that is not positive would refresh no star or divide by zero;
    // the default keeps the sky turning.
    if (!(updateRate > 0.0f)) {
        LogMessage("Stars UpdateRate must be above 0, using %d!", static_cast<int>(kDefaultUpdateRate));
        updateRate = kDefaultUpdateRate;
    }
    sizeFactor = file.GetFloat("Stars", "SizeFactor", 0.0f);
    sizeDeviation = file.GetFloat("Stars", "SizeDeviation", 0.0f);
    minSize = file.GetFloat("Stars", "MinSize", 0.0f);
    minHeight = file.GetFloat("Stars", "MinHeight", 0.0f);
    // With MinHeight 0 a star below the horizon gets size 0 instead of an
    // infinite factor.
    invMinHeight = minHeight != 0.0f ? 1.0f / minHeight : 0.0f;

    const float t = file.GetFloat("Stars", "TextureCoordinate", 0.0f);
    const float uv[4][2] = {{0.0f, 0.0f}, {0.0f, t}, {t, t}, {t, 0.0f}};
    for (int32_t i = 0; i < 4; ++i) {
        quadBlock[i] = Vertex{};
        quadBlock[i].y = 1.0f;
        quadBlock[i].u = uv[i][0];
        quadBlock[i].v = uv[i][1];
    }

    // A class whose colour key is missing shows white rather than black or
    // the colour of an earlier file.
    for (int32_t i = 0; i < kClassCount; ++i) {
        for (float& c : classColors[i])
            c = 1.0f;
        char key[32];
        const char letter[2] = {kClassLetters[i], '\0'};
        std::snprintf(key, sizeof key, "%sClassColor", letter);
        GetColorAlpha(classColors[i], &file, "Stars", key);
    }

    file.GetString("Stars", "StarDataFile", "", text, kNameBufferSize, kCaseAsStored);
    LoadStarData(text);
}

void StarField::LoadStarData(const char* fileName) {
    FileService* fmg = Fmg();
    char path[kNameBufferSize];
    fmgCheckFilePath(".\\", fileName, path, kNameBufferSize);
    if (fmg == nullptr || StrIsEmpty(path) || FileExists(path, 0) == 0) {
        LogMessage("Unable to find star data file %s!", path);
        return;
    }
    int32_t handle = -1;
    int32_t count = 0;
    if (!OpenAndReadCount(fmg, path, &handle, &count)) {
        LogMessage("Unable to read star data file %s!", path);
        return;
    }
    if (count < 0) {
        LogMessage("Star data file %s gives a negative star count %d!", path, static_cast<int>(count));
        count = 0;
    }
    // The count comes from outside: only as many stars as whole records
    // follow it are kept, and the block is sized by those, not by the count.
    const int32_t available = CountWholeRecords(fmg, handle, count);
    fmg->Close(handle);
    if (available < count)
        LogMessage("Star data file %s holds %d of its %d stars!", path, static_cast<int>(available),
                   static_cast<int>(count));

    updateCursor = 0;
    stars.Free();
    if (available > 0 && stars.Allocate(available)) {
        int32_t read = 0;
        int32_t unusedCount = 0;
        if (OpenAndReadCount(fmg, path, &handle, &unusedCount)) {
            StarRecord* records = stars.Records();
            uint8_t chunk[kRecordsPerRead * kRecordBytes];
            while (read < available) {
                const int32_t want = available - read < kRecordsPerRead ? available - read : kRecordsPerRead;
                const uint32_t got = ReadUpTo(fmg, handle, chunk, static_cast<uint32_t>(want) * kRecordBytes);
                const int32_t whole = static_cast<int32_t>(got / kRecordBytes);
                for (int32_t i = 0; i < whole; ++i) {
                    const uint8_t* b = chunk + i * kRecordBytes;
                    StarRecord& star = records[read + i];
                    star.rightAscension = LittleEndianFloat(b);
                    star.declination = LittleEndianFloat(b + 4);
                    star.magnitude = LittleEndianFloat(b + 8);
                    // An unlisted class letter takes the colour of class O.
                    const void* hit = std::memchr(kClassLetters, b[12], StarField::kClassCount);
                    const int32_t cls =
                        hit != nullptr ? static_cast<int32_t>(static_cast<const char*>(hit) - kClassLetters) : 0;
                    std::memcpy(star.color, classColors[cls], sizeof star.color);
                }
                read += whole;
                if (whole < want) break;
            }
            fmg->Close(handle);
        }
        // Should the file have shrunk since it was counted, only the stars
        // actually read are kept.
        stars.count = read;
    }
    starsPerSecond = static_cast<float>(stars.count) / updateRate;
}

void StarField::RefreshStar(StarRecord& star) const {
    const LightState* current = g_frame.light;
    float level = current != nullptr ? current->sunLightLevel : 0.0f;
    if (g_frame.sunGlowEnabled != 0) {
        const float* sun = g_frame.sunVector;
        const float g = sun[0] * star.direction[0] + sun[1] * star.direction[1] + sun[2] * star.direction[2];
        // Stars near the sun fade out first.
        if (g > 0.0f) level = level + 2.0f * g * level;
    }
    star.size = ((0.6f - level) * 10.0f - star.magnitude) * sizeFactor;
    if (star.size > minSize && g_frame.celestialFrame != nullptr) {
        CelestialToWorld(*g_frame.celestialFrame, star.rightAscension, star.declination, star.direction);
        if (star.direction[2] < minHeight) star.size = invMinHeight * star.direction[2] * star.size;
    }
}

void StarField::UpdateAll() {
    StarRecord* records = stars.Records();
    for (int32_t i = 0; i < stars.count; ++i)
        RefreshStar(records[i]);
}

void StarField::Update(float dt) {
    const int32_t count = stars.count;
    if (count <= 0) return;
    const float slice = dt * starsPerSecond;
    if (!(slice >= 1.0f)) return;
    // A long frame refreshes every star once at most: a second refresh in
    // the same frame would change nothing.
    const int32_t k = slice >= static_cast<float>(count) ? count : static_cast<int32_t>(slice);
    StarRecord* records = stars.Records();
    for (int32_t i = 0; i < k; ++i) {
        ++updateCursor;
        if (updateCursor >= count) updateCursor = 0;
        RefreshStar(records[updateCursor]);
    }
}

void StarField::Draw() {
    GraphicsService* gfx = Gfx();
    HostView* view = g_frame.currentView;
    if (gfx == nullptr || view == nullptr) return;
    RandomService* rnd = Rnd();
    gfx->BeginQuads(kQuadPassFlags);
    gfx->SetQuadMaterial(&starMaterial);
    gfx->SetQuadMode(kQuadMode);
    const StarRecord* records = stars.Records();
    // Held in locals: the compiler cannot know that the host's calls leave
    // the field alone, and would read them again for every star.
    const int32_t count = stars.count;
    const float deviation = sizeDeviation;
    const float smallest = minSize;
    for (int32_t i = 0; i < count; ++i) {
        const StarRecord& star = records[i];
        // Every star twinkles by a random share of its size.
        const float r = rnd != nullptr ? rnd->Random(deviation) : 0.0f;
        const float s = (1.0f - r) * star.size;
        if (!(s > smallest)) continue;
        float projected[3] = {0.0f, 0.0f, 0.0f};
        view->ProjectDirection(projected, star.direction);
        if (view->IsPointVisible(projected) == 0) continue;
        const float h = view->ScreenScale(s);
        const float x = projected[0];
        const float y = projected[2];
        const float corners[4][2] = {{x - h, y - h}, {x - h, y + h}, {x + h, y + h}, {x + h, y - h}};
        for (int32_t c = 0; c < 4; ++c) {
            Vertex& v = quadBlock[c];
            v.x = corners[c][0];
            v.z = corners[c][1];
            v.r = star.color[0];
            v.g = star.color[1];
            v.b = star.color[2];
            v.a = star.color[3];
        }
        gfx->DrawQuads(1, quadBlock);
    }
    // The pass is closed so the host never carries an open quad pass into
    // its next drawing.
    gfx->EndQuads();
}

void StarField::Release() {
    stars.Free();
    updateCursor = 0;
}

} // namespace envsys
