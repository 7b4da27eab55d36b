#include "plugin/Memory.h"

#include <cstdlib>

#include "plugin/PluginState.h"

namespace envsys {
namespace {

// Heap-fallback blocks carry a small header linking them into one list, so
// that MemFree can tell them from MEM's blocks without reading outside any
// block: it compares addresses only.
struct alignas(16) HeapBlockHeader {
    HeapBlockHeader* next;
    HeapBlockHeader* previous;
};

HeapBlockHeader* g_heapBlocks = nullptr;
int32_t g_heapBlockCount = 0;

bool FreeIfHeapBlock(void* block) {
    for (HeapBlockHeader* h = g_heapBlocks; h != nullptr; h = h->next) {
        if (static_cast<void*>(h + 1) != block) continue;
        if (h->previous != nullptr)
            h->previous->next = h->next;
        else
            g_heapBlocks = h->next;
        if (h->next != nullptr) h->next->previous = h->previous;
        --g_heapBlockCount;
        std::free(h);
        return true;
    }
    return false;
}

} // namespace

void* MemAlloc(uint32_t size) {
    MemoryService* mem = g_plugin.mem;
    if (mem == nullptr) return nullptr;
    return mem->Allocate(size, 0, 0, g_plugin.ownerTagPointer);
}

void* MemAllocOrHeap(uint32_t size) {
    if (g_plugin.mem != nullptr) return MemAlloc(size);
    auto* h = static_cast<HeapBlockHeader*>(std::malloc(sizeof(HeapBlockHeader) + size));
    if (h == nullptr) return nullptr;
    h->previous = nullptr;
    h->next = g_heapBlocks;
    if (g_heapBlocks != nullptr) g_heapBlocks->previous = h;
    g_heapBlocks = h;
    ++g_heapBlockCount;
    return h + 1;
}

void MemFree(void* block) {
    if (block == nullptr) return;
    if (g_heapBlocks != nullptr && FreeIfHeapBlock(block)) return;
    MemoryService* mem = g_plugin.mem;
    if (mem != nullptr) mem->Free(block);
}

int32_t HeapFallbackBlockCount() { return g_heapBlockCount; }

} // namespace envsys
