#include "tests/config/ConfigFuzzEntry.h"

#include <cstdlib>
#include <cstring>

#include "config/IniFile.h"
#include "config/Material.h"
#include "config/StringUtils.h"
#include "envsys/HostServices.h"
#include "plugin/PluginState.h"
#include "tests/config/ValueListRule.h"

namespace envsys {
namespace fuzzing {
namespace {

// A memory service that counts its blocks and can refuse one allocation.
class FuzzMemory : public MemoryService {
public:
    void* Allocate(uint32_t size, int32_t, int32_t, const char*) override {
        if (++allocations == failAt) return nullptr;
        void* block = std::malloc(size > 0 ? size : 1);
        if (block != nullptr) ++live;
        return block;
    }
    void Free(void* block) override {
        if (block == nullptr) return;
        --live;
        std::free(block);
    }
    void ReleaseOwner(const char*) override {}
    int allocations = 0;
    int failAt = 0;
    int live = 0;
};

struct FuzzFile {
    const char* name;
    const uint8_t* data;
    size_t size;
};

// Files served from the fuzz input, found by name without regard to case
// and with a leading ".\" ignored.
class FuzzFiles : public FileService {
public:
    int32_t Open(const char* path, int32_t) override {
        if (path == nullptr) return -1;
        if (std::strncmp(path, ".\\", 2) == 0) path += 2;
        for (int i = 0; i < count; ++i) {
            if (StrEqual(path, files[i].name, 0)) {
                open = i;
                position = 0;
                return 100 + i;
            }
        }
        return -1;
    }
    void Close(int32_t) override { open = -1; }
    int32_t Read(int32_t handle, void* buffer, uint32_t byteCount) override {
        if (open < 0 || handle != 100 + open) return 0;
        const FuzzFile& file = files[open];
        size_t n = file.size - position;
        if (n > byteCount) n = byteCount;
        std::memcpy(buffer, file.data + position, n);
        position += n;
        return static_cast<int32_t>(n);
    }
    int32_t Exists(const char* path, int32_t) override { return Open(path, 0) >= 0 ? 1 : 0; }
    FuzzFile files[3];
    int count = 0;
    int open = -1;
    size_t position = 0;
};

void ReadEverything(IniFile& file) {
    // Walk the lists by index: getters in record-defaults mode may add keys
    // and sections while they are being read.
    char text[kNameBufferSize];
    char pattern[kNameBufferSize];
    float v[4];
    const int32_t sectionCount = file.sections.count;
    ListNode* sectionNode = file.sections.head;
    for (int32_t s = 0; s < sectionCount && sectionNode != nullptr; ++s, sectionNode = sectionNode->next) {
        auto* section = static_cast<IniSection*>(sectionNode->data);
        const char* sectionName = section->name;
        const int32_t keyCount = section->keys.count;
        ListNode* keyNode = section->keys.head;
        for (int32_t k = 0; k < keyCount && keyNode != nullptr; ++k, keyNode = keyNode->next) {
            const char* keyName = static_cast<IniKey*>(keyNode->data)->name;
            file.GetInt(sectionName, keyName, 1);
            file.GetFloat(sectionName, keyName, 1.0f);
            file.GetBool(sectionName, keyName, 2);
            file.GetString(sectionName, keyName, "default", text, sizeof text, k % 3);
            file.GetString(sectionName, keyName, "default", text, 7, 1);
            char* copy = GetStringCopy(&file, sectionName, keyName, 2);
            StrFree(&copy);
            // Colours and vectors must read as the plain rule reads the
            // value the lookup finds (none for a name that is never found).
            const IniKey* key = file.FindKey(sectionName, keyName);
            const testing::ListReading want =
                testing::ReadListByRule(key != nullptr && key->value != nullptr ? key->value : "", 0.5f);
            float color[4] = {0.5f, 0.5f, 0.5f, 0.5f};
            if (GetColorAlpha(color, &file, sectionName, keyName) != want.colorFound) std::abort();
            GetVector(v, &file, sectionName, keyName);
            for (int i = 0; i < 4; ++i)
                if (!testing::SameFloat(color[i], want.color[i]) ||
                    (i < 3 && !testing::SameFloat(v[i], want.vector[i])))
                    std::abort();
            GetColor(v, &file, sectionName, keyName);
            // Values used as the name patterns and file names they may be.
            file.GetString(sectionName, keyName, "", pattern, sizeof pattern, 0);
            FormatIntegerPattern(text, sizeof text, pattern, 2, k, -k);
            FormatIntegerPattern(text, 9, pattern, 1, 2147483647);
            fmgCheckFilename(pattern, keyName, pattern, text, sizeof text);
            fmgCheckFilePath(pattern, keyName, text, 12);
            file.CountKeys(sectionName, pattern);
            file.CountSections(pattern);
            // Missing keys take the record-defaults path.
            file.GetInt(sectionName, pattern, 3);
        }
        MaterialRecord record;
        LoadMaterial(&record, &file, sectionName);
    }
}

} // namespace

int RunConfigInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const uint8_t options = data[0];
    FuzzFiles files;
    const char* const names[3] = {"a.ini", "b.ini", "c.ini"};
    const uint8_t* start = data + 1;
    const uint8_t* const stop = data + size;
    while (files.count < 3) {
        const uint8_t* p = start;
        while (files.count < 2 && p + 1 < stop && !(p[0] == 1 && p[1] == 1))
            ++p;
        const uint8_t* fileEnd = files.count < 2 && p + 1 < stop ? p : stop;
        files.files[files.count] = FuzzFile{names[files.count], start, static_cast<size_t>(fileEnd - start)};
        ++files.count;
        if (fileEnd == stop) break;
        start = fileEnd + 2;
    }

    FuzzMemory memory;
    memory.failAt = options >> 1;
    PluginState saved = g_plugin;
    g_plugin.mem = &memory;
    g_plugin.fmg = &files;
    {
        IniFile file("a", options & 1, 0);
        ReadEverything(file);
    }
    g_plugin = saved;
    if (memory.live != 0) std::abort(); // every block of the document goes back
    return 0;
}

} // namespace fuzzing
} // namespace envsys
