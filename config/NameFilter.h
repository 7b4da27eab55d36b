#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace envsys {

// Remembers the names a list holds as bits of a hash of their ASCII bytes,
// letters folded to one case, so that the parser knows most new names are
// new without comparing them with every earlier name of the list. Names
// equal without regard to case have equal hashes; a set bit only means
// "maybe", and then the list is searched as usual. Names with bytes of 0x80
// and above are always searched, since the code page decides their case.
struct NameFilter {
    static constexpr uint32_t kBits = 4096;
    uint32_t words[kBits / 32];

    void Clear() { std::memset(words, 0, sizeof words); }

    // False when the name holds a byte of 0x80 or above.
    // Eight bytes at a time; setting bit 0x20 of every byte folds the
    // letters (and pairs a few other bytes, which only adds "maybe"
    // answers). Names equal without regard to case have equal lengths, so
    // their words fold alike.
    static bool Hash(const char* name, uint32_t* hash) { return Hash(name, std::strlen(name), hash); }
    static bool Hash(const char* name, size_t length, uint32_t* hash) {
        constexpr uint64_t kFold = 0x2020202020202020u;
        constexpr uint64_t kHighBits = 0x8080808080808080u;
        constexpr uint64_t kMultiplier = 0x9E3779B97F4A7C15u; // 2^64 over the golden ratio
        uint64_t h = length;
        uint64_t seen = 0;
        size_t i = 0;
        for (; i + 8 <= length; i += 8) {
            uint64_t word;
            std::memcpy(&word, name + i, 8);
            seen |= word;
            h = (h ^ (word | kFold)) * kMultiplier;
        }
        // The last bytes (fewer than eight) in at most three reads.
        uint64_t tail = 0;
        unsigned shift = 0;
        if (length - i >= 4) {
            uint32_t part;
            std::memcpy(&part, name + i, 4);
            tail = part;
            shift = 32;
            i += 4;
        }
        if (length - i >= 2) {
            uint16_t part;
            std::memcpy(&part, name + i, 2);
            tail |= static_cast<uint64_t>(part) << shift;
            shift += 16;
            i += 2;
        }
        if (length - i >= 1) tail |= static_cast<uint64_t>(static_cast<unsigned char>(name[i])) << shift;
        seen |= tail;
        h = (h ^ (tail | kFold)) * kMultiplier;
        if ((seen & kHighBits) != 0) return false;
        // The top bits of a product depend on every bit of its factors.
        static_assert(kBits == 1u << 12, "the hash keeps 12 bits");
        *hash = static_cast<uint32_t>(h >> 52);
        return true;
    }
    void Add(const char* name) {
        uint32_t h;
        if (name != nullptr && Hash(name, &h)) AddHash(h);
    }
    bool MayContain(const char* name) const {
        uint32_t h;
        return !Hash(name, &h) || MayContainHash(h);
    }
    void AddHash(uint32_t h) { words[h / 32] |= 1u << (h % 32); }
    bool MayContainHash(uint32_t h) const { return (words[h / 32] & (1u << (h % 32))) != 0; }
};

} // namespace envsys
