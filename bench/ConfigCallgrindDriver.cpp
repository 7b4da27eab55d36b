// A small driver for instruction counts under callgrind: "parse" builds the
// generated document into an IniFile once; "lookup" also reads every key once
// in file order with the typed getters. A second argument "arena" puts a
// pool allocator behind the host's memory service instead of malloc. The difference of the two runs is the
// lookup's cost; callgrind's --toggle-collect narrows either to its function.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "bench/ConfigDocumentGenerator.h"
#include "bench/PlainMemory.h"
#include "config/IniFile.h"
#include "tests/support/TestHost.h"

namespace envsys {
namespace bench {

// Kept out of line so that callgrind can count it alone.
__attribute__((noinline)) IniFile* ParseDocument(void* place) { return new (place) IniFile("bench.ini", 0, 0); }

__attribute__((noinline)) double ReadEveryKey(IniFile* file, const GeneratedDocument& doc) {
    double sum = 0;
    char text[kNameBufferSize];
    float color[3];
    for (const GeneratedKey& k : doc.keys) {
        const char* section = k.section.c_str();
        const char* key = k.key.c_str();
        switch (k.type) {
        case ValueType::Integer:
            sum += file->GetInt(section, key, 0);
            break;
        case ValueType::Float:
            sum += file->GetFloat(section, key, 0.0f);
            break;
        case ValueType::Color:
            GetColor(color, file, section, key);
            sum += color[0] + color[1] + color[2];
            break;
        case ValueType::Text:
            file->GetString(section, key, "", text, sizeof text, kCaseAsStored);
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
    const bool lookup = argc > 1 && std::strcmp(argv[1], "lookup") == 0;
    const bool arena = argc > 2 && std::strcmp(argv[2], "arena") == 0;
    const GeneratedDocument doc = GenerateConfigDocument();
    PlainMemory plain;
    ArenaMemory pool(16u << 20);
    MemoryService& memory = arena ? static_cast<MemoryService&>(pool) : plain;
    testing::TestHost host;
    host.log.enabled = false;
    host.shell.services["MEM"] = static_cast<MemoryService*>(&memory);
    host.Init();
    host.files.Add("bench.ini", doc.text);
    alignas(IniFile) static unsigned char place[sizeof(IniFile)];
    IniFile* file = ParseDocument(place);
    double sum = lookup ? ReadEveryKey(file, doc) : 0.0;
    std::printf("%zu keys, %zu bytes, sum %.3f\n", doc.keys.size(), doc.text.size(), sum);
    file->~IniFile();
    host.Exit();
    host.shell.services["MEM"] = static_cast<MemoryService*>(&host.mem);
    return 0;
}
