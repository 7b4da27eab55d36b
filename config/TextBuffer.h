// Fixed text storage of a configuration document: NUL-terminated strings laid
// end to end in one block that never grows and never moves.
#pragma once

#include <cstdint>

namespace envsys {

struct TextBuffer {
    char* base;        // storage, null when none is allocated
    char* end;         // one past the last byte in use
    char* cursor;      // start of the current string when read string by string
    uint32_t capacity; // bytes of storage

    void Init();               // empty, no storage
    void Allocate(uint32_t n); // n + 1 zeroed bytes from MemAlloc
    void Release();
    bool Append(const char* text);
    char* Current() const { return cursor; }
    void Next();
    bool HasMore() const;
    bool SeekTo(const char* position);
    char* End() const { return end; }
    void Commit(uint32_t n);
    uint32_t FreeSpace() const;
};

} // namespace envsys
