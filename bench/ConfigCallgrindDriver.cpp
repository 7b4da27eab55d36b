// A small driver for instruction counts under callgrind. "parse" builds the
// generated document into an IniFile once; "lookup" also looks every key up
// once in file order with GetInt (the search from the cursors and the number
// the parser stored); "read" instead reads every key once in file order with
// the getter of its type (GetInt, GetFloat, GetColor, GetString), which adds
// the conversions and copies those getters make. A second argument "arena"
// puts a pool allocator behind the host's memory service instead of malloc.
// callgrind's --toggle-collect narrows a run to ParseDocument, LookUpEveryKey
// or ReadEveryKey.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include "bench/ConfigDocumentGenerator.h"
#include "config/IniFile.h"
#include "testing/MemoryFiles.h"
#include "testing/PoolMemory.h"
#include "testing/TestHost.h"

namespace envsys {
namespace bench {

// The names as a host's loader holds them: plain pointers to text.
struct KeyName {
    const char* section;
    const char* key;
    ValueType type;
};

// Kept out of line so that callgrind can count it alone.
__attribute__((noinline)) IniFile* ParseDocument(void* place) { return new (place) IniFile("bench.ini", 0, 0); }

__attribute__((noinline)) double LookUpEveryKey(IniFile* file, const std::vector<KeyName>& keys) {
    double sum = 0;
    for (const KeyName& k : keys)
        sum += file->GetInt(k.section, k.key, 0);
    return sum;
}

__attribute__((noinline)) double ReadEveryKey(IniFile* file, const std::vector<KeyName>& keys) {
    double sum = 0;
    char text[kNameBufferSize];
    float color[3];
    for (const KeyName& k : keys) {
        switch (k.type) {
        case ValueType::Integer:
            sum += file->GetInt(k.section, k.key, 0);
            break;
        case ValueType::Float:
            sum += file->GetFloat(k.section, k.key, 0.0f);
            break;
        case ValueType::Color:
            GetColor(color, file, k.section, k.key);
            sum += color[0] + color[1] + color[2];
            break;
        case ValueType::Text:
            file->GetString(k.section, k.key, "", text, sizeof text, kCaseAsStored);
            sum += static_cast<double>(text[0]);
            break;
        }
    }
    return sum;
}

} // namespace bench
} // namespace envsys

int main(int argc, char** argv) {
    using namespace envsys;
    using namespace envsys::bench;
    const char* mode = argc > 1 ? argv[1] : "parse";
    const bool arena = argc > 2 && std::strcmp(argv[2], "arena") == 0;
    const GeneratedDocument doc = GenerateConfigDocument();
    std::vector<KeyName> keys;
    keys.reserve(doc.keys.size());
    for (const GeneratedKey& k : doc.keys)
        keys.push_back(KeyName{k.section.c_str(), k.key.c_str(), k.type});
    testing::PoolMemory plain;
    testing::PoolMemory pool(16u << 20);
    MemoryService& memory = arena ? static_cast<MemoryService&>(pool) : plain;
    testing::MemoryFiles files;
    files.Add("bench.ini", doc.text);
    testing::TestHost host;
    host.log.enabled = false;
    host.shell.services["MEM"] = static_cast<MemoryService*>(&memory);
    host.shell.services["FMG"] = static_cast<FileService*>(&files);
    host.Init();
    alignas(IniFile) static unsigned char place[sizeof(IniFile)];
    IniFile* file = ParseDocument(place);
    double sum = 0.0;
    if (std::strcmp(mode, "lookup") == 0) sum = LookUpEveryKey(file, keys);
    if (std::strcmp(mode, "read") == 0) sum = ReadEveryKey(file, keys);
    std::printf("%zu keys, %zu bytes, sum %.3f\n", doc.keys.size(), doc.text.size(), sum);
    file->~IniFile();
    host.Exit();
    host.shell.services["MEM"] = static_cast<MemoryService*>(&host.mem);
    host.shell.services["FMG"] = static_cast<FileService*>(&host.files);
    return 0;
}
