#include "host/HostMemory.h"

#include <cstdlib>
#include <cstring>

namespace envhost {

HostMemory::~HostMemory() {
    for (auto& entry : live_)
        std::free(entry.first);
}

void* HostMemory::Allocate(uint32_t size, int32_t, int32_t, const char* ownerTag) {
    const std::string tag = ownerTag != nullptr ? ownerTag : "";
    // Zero bytes still get an address of their own, so that Free can tell blocks apart.
    void* block = std::malloc(size == 0 ? 1 : size);
    if (block == nullptr) return nullptr;
    live_[block] = Block{size, tag};
    Account& account = accounts_[tag];
    ++account.allocations;
    ++account.liveBlocks;
    account.liveBytes += size;
    if (account.liveBytes > account.peakBytes) account.peakBytes = account.liveBytes;
    return block;
}

void HostMemory::Free(void* block) {
    if (block == nullptr) return;
    auto it = live_.find(block);
    if (it == live_.end()) {
        ++badFrees;
        return;
    }
    Account& account = accounts_[it->second.tag];
    --account.liveBlocks;
    account.liveBytes -= it->second.size;
    std::free(it->first);
    live_.erase(it);
}

void HostMemory::ReleaseOwner(const char* ownerTag) {
    const std::string tag = ownerTag != nullptr ? ownerTag : "";
    Account& account = accounts_[tag];
    for (auto it = live_.begin(); it != live_.end();) {
        if (it->second.tag != tag) {
            ++it;
            continue;
        }
        ++account.releasedByOwner;
        --account.liveBlocks;
        account.liveBytes -= it->second.size;
        std::free(it->first);
        it = live_.erase(it);
    }
}

const HostMemory::Account& HostMemory::AccountOf(const std::string& tag) const {
    static const Account kNone;
    auto it = accounts_.find(tag);
    return it != accounts_.end() ? it->second : kNone;
}

std::vector<std::string> HostMemory::Owners() const {
    std::vector<std::string> out;
    for (const auto& entry : accounts_)
        out.push_back(entry.first);
    return out;
}

std::string HostMemory::LeakReport() const {
    std::string out;
    for (const auto& entry : accounts_) {
        if (entry.second.liveBlocks == 0) continue;
        out += "MEM: owner \"" + entry.first + "\" left " + std::to_string(entry.second.liveBlocks) + " blocks (" +
               std::to_string(entry.second.liveBytes) + " bytes)\n";
    }
    if (badFrees != 0) out += "MEM: " + std::to_string(badFrees) + " frees of unknown blocks\n";
    return out;
}

} // namespace envhost
