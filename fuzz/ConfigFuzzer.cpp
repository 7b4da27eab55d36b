// Fuzzes the configuration library: one input is up to three files opened
// as a document with includes; every section and key is then read through
// every getter, as a colour and a vector (checked against the plain rule for
// number lists), as name patterns and file names, and as a material. One
// allocation may be refused. A fault shows as a crash, a sanitizer report
// or a leaked block (abort).
//
// Input: the first byte chooses the options (bit 0 record-defaults mode,
// bits 1..7 the allocation refused, 0 for none); the rest is split at the
// byte pair 0x01 0x01 into "a.ini", "b.ini" and "c.ini". "a.ini" is the
// document; the others can be included.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "config/IniFile.h"
#include "config/Material.h"
#include "config/StringUtils.h"
#include "plugin/PluginState.h"
#include "testing/AccountingMemory.h"
#include "testing/MemoryFiles.h"
#include "tests/config/ValueListRule.h"

namespace envsys {
namespace {

constexpr int32_t kSectionsRead = 32;
constexpr int32_t kKeysRead = 64;

void ReadEverything(IniFile& file) {
    // Walk the lists by index: getters in record-defaults mode may add keys
    // and sections while they are being read.
    char text[kNameBufferSize];
    char pattern[kNameBufferSize];
    float v[4];
    // Every key is looked up by name and its value counted as a pattern
    // across the document, so walking all of a long document is quadratic;
    // the first keys of the first sections are enough.
    const int32_t sectionCount = file.sections.count < kSectionsRead ? file.sections.count : kSectionsRead;
    ListNode* sectionNode = file.sections.head;
    for (int32_t s = 0; s < sectionCount && sectionNode != nullptr; ++s, sectionNode = sectionNode->next) {
        auto* section = static_cast<IniSection*>(sectionNode->data);
        const char* sectionName = section->name;
        const int32_t keyCount = section->keys.count < kKeysRead ? section->keys.count : kKeysRead;
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
} // namespace envsys

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace envsys;
    if (size == 0) return 0;
    const uint8_t options = data[0];
    testing::MemoryFiles files;
    const char* const names[3] = {"a.ini", "b.ini", "c.ini"};
    const std::string rest(reinterpret_cast<const char*>(data) + 1, size - 1);
    size_t start = 0;
    for (int i = 0; i < 3; ++i) {
        // The last file takes whatever is left, separators included.
        const size_t cut = i < 2 ? rest.find("\x01\x01", start) : std::string::npos;
        files.Add(names[i], rest.substr(start, cut == std::string::npos ? std::string::npos : cut - start));
        if (cut == std::string::npos) break;
        start = cut + 2;
    }
    testing::AccountingMemory memory;
    memory.fillFreshBlocks = false; // the sanitizer's allocator fills them
    memory.FailAt(options >> 1);
    const PluginState saved = g_plugin;
    g_plugin.mem = &memory;
    g_plugin.fmg = &files;
    {
        IniFile file("a", options & 1, 0);
        ReadEverything(file);
    }
    g_plugin = saved;
    if (!memory.LeakReport().empty() || files.OpenHandles() != 0) std::abort();
    return 0;
}
