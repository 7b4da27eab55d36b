// Memory wrappers: every allocation of the system goes to the host's memory
// service under the owner tag, so that ExitDLL can take back whatever is left.
#pragma once

#include <cstdint>

namespace envsys {

// MEM operation 0 under the owner tag; null when MEM is absent or refuses.
void* MemAlloc(uint32_t size);

// As MemAlloc, but falls back to the process heap while MEM is absent (the
// configuration document is usable before InitDLL and in tools).
void* MemAllocOrHeap(uint32_t size);

// Gives a block back. Blocks that came from the heap fallback go back to the
// heap (never to MEM); other blocks go to MEM, and nothing happens while MEM
// is absent (its owner release has taken them back already).
void MemFree(void* block);

// Number of heap-fallback blocks still held (tests check it returns to 0).
int32_t HeapFallbackBlockCount();

} // namespace envsys
