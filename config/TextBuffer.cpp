#include "config/TextBuffer.h"

#include <cstring>

#include "plugin/Memory.h"

namespace envsys {

void TextBuffer::Init() {
    base = nullptr;
    end = nullptr;
    cursor = nullptr;
    capacity = 0;
}

void TextBuffer::Allocate(uint32_t n) {
    Release();
    capacity = n + 1;
    // Not cleared: nothing past end is ever read, and a 256 KiB clear on
    // every document load is time a host waits for.
    base = static_cast<char*>(MemAlloc(capacity));
    end = base;
    cursor = base;
}

void TextBuffer::Release() {
    MemFree(base);
    base = nullptr;
    end = nullptr;
    cursor = nullptr;
}

bool TextBuffer::Append(const char* text) {
    if (base == nullptr || text == nullptr) return false;
    const size_t used = static_cast<size_t>(end - base);
    const size_t length = std::strlen(text);
    // The last byte of the storage is never handed out by Append.
    if (used + length + 1 >= capacity) return false;
    std::memcpy(end, text, length + 1);
    cursor = end;
    end += length + 1;
    return true;
}

void TextBuffer::Next() {
    if (cursor == nullptr || cursor >= end) return;
    // Every CR LF pair leaves an empty string between its two bytes.
    if (*cursor == '\0') {
        ++cursor;
        return;
    }
    const void* terminator = std::memchr(cursor, '\0', static_cast<size_t>(end - cursor));
    cursor = terminator != nullptr ? static_cast<char*>(const_cast<void*>(terminator)) + 1 : end;
}

bool TextBuffer::HasMore() const { return base != nullptr && cursor < end; }

bool TextBuffer::SeekTo(const char* position) {
    if (position == nullptr || base == nullptr) return false;
    // Walking string by string from base reaches exactly the positions that
    // start a string: base itself and every byte after a terminator. Testing
    // that directly gives the same answer without the walk, which would make
    // every further file of a document cost a pass over all text before it.
    const bool inside = position >= base && position < end;
    if (inside && *position == '\0') return false;
    if (!inside || (position != base && position[-1] != '\0')) {
        cursor = end; // where the walk would have stopped
        return false;
    }
    cursor = const_cast<char*>(position);
    return true;
}

void TextBuffer::Commit(uint32_t n) {
    if (base == nullptr) return;
    const uint32_t room = capacity - static_cast<uint32_t>(end - base);
    end += n < room ? n : room;
}

uint32_t TextBuffer::FreeSpace() const { return base != nullptr ? capacity - static_cast<uint32_t>(end - base) : 0; }

} // namespace envsys
