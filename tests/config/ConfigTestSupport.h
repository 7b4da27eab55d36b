// Shared set-up of the configuration tests: a test host with InitDLL run, so
// that MEM and FMG are acquired, and files served from memory or from the
// fixture folder tests/data/config.
#pragma once

#include <string>
#include <vector>

#include "config/IniFile.h"
#include "plugin/Memory.h"
#include "testing/TestHost.h"

namespace envsys {
namespace testing {

// Numbers are read as the platform's runtime reads them: msvcrt.dll on
// Windows (no hexadecimal, inf or nan, "d" for "e", atol modulo 2^32), a C99
// runtime elsewhere (atol saturating at 32 bits).
#if defined(_WIN32)
constexpr bool kMsvcrtNumbers = true;
#else
constexpr bool kMsvcrtNumbers = false;
#endif

inline std::string ConfigDataDir() { return std::string(ENVSYS_SOURCE_DIR) + "/tests/data/config"; }

// The pieces of a text between separators, empty ones included.
inline std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> pieces(1);
    for (char c : text)
        if (c == separator)
            pieces.emplace_back();
        else
            pieces.back() += c;
    return pieces;
}

struct ConfigHost {
    ConfigHost() {
        host.Init();
        host.files.disk.root = ConfigDataDir();
        baselineBlocks = host.mem.LiveBlocks();
        baselineHeapBlocks = HeapFallbackBlockCount();
        host.messages.clear();
    }
    // Blocks of MEM and of the heap fallback still held beyond those the
    // host held before the test.
    size_t LeakedBlocks() const {
        return host.mem.LiveBlocks() - baselineBlocks +
               static_cast<size_t>(HeapFallbackBlockCount() - baselineHeapBlocks);
    }
    TestHost host;
    size_t baselineBlocks = 0;
    int32_t baselineHeapBlocks = 0;
};

// Section names of a document in list order.
inline std::string SectionNames(const IniFile& file) {
    std::string names;
    for (const ListNode* node = file.sections.head; node != nullptr; node = node->next) {
        if (!names.empty()) names += ",";
        names += static_cast<const IniSection*>(node->data)->name;
    }
    return names;
}

// "name=value" of every key of a section in list order ("name" alone for a
// key without value).
inline std::string KeyList(IniFile& file, const char* section) {
    IniSection* found = file.FindSection(section);
    if (found == nullptr) return "<missing>";
    std::string keys;
    for (const ListNode* node = found->keys.head; node != nullptr; node = node->next) {
        const auto* key = static_cast<const IniKey*>(node->data);
        if (!keys.empty()) keys += ",";
        keys += key->name;
        if (key->value != nullptr) keys += std::string("=") + key->value;
    }
    return keys;
}

} // namespace testing
} // namespace envsys
