#include "testing/AccountingMemory.h"

#include <cstdlib>
#include <cstring>
#include <string_view>

namespace envsys {
namespace testing {

namespace {
std::string TagText(const char* tag) { return tag != nullptr ? std::string(tag) : std::string(); }
} // namespace

AccountingMemory::Account& AccountingMemory::AccountFor(const char* ownerTag) {
    // Found without building a string: the plug-in allocates under one tag.
    const std::string_view name = ownerTag != nullptr ? std::string_view(ownerTag) : std::string_view();
    auto it = accounts_.find(name);
    if (it == accounts_.end()) it = accounts_.emplace(std::string(name), Account{}).first;
    return it->second;
}

AccountingMemory::~AccountingMemory() {
    for (auto& entry : live_)
        std::free(entry.first);
}

void* AccountingMemory::Allocate(uint32_t size, int32_t, int32_t, const char* ownerTag) {
    ++allocations;
    if ((failAt_ > 0 && (allocations == failAt_ || (failAllAfter_ && allocations > failAt_))) || size > maxBlockBytes) {
        ++failures;
        return nullptr;
    }
    // Zero bytes still get an address of their own, so that Free can tell blocks apart.
    const size_t bytes = size == 0 ? 1 : size;
    void* block = std::malloc(bytes);
    if (block == nullptr) return nullptr;
    // Fresh blocks hold garbage, as a real allocator's do, so that a field
    // the plug-in forgets to set shows.
    if (fillFreshBlocks) std::memset(block, 0xCD, bytes);
    Account& a = AccountFor(ownerTag);
    live_[block] = Block{size, &a};
    ++a.allocations;
    ++a.liveBlocks;
    a.liveBytes += size;
    if (a.liveBytes > a.peakBytes) a.peakBytes = a.liveBytes;
    return block;
}

void AccountingMemory::Free(void* block) {
    ++frees;
    auto it = live_.find(block);
    if (it == live_.end()) {
        if (block != nullptr) ++badFrees;
        return;
    }
    Account& account = *it->second.account;
    --account.liveBlocks;
    account.liveBytes -= it->second.size;
    std::free(it->first);
    live_.erase(it);
}

void AccountingMemory::ReleaseOwner(const char* ownerTag) {
    const std::string tag = TagText(ownerTag);
    auto account = accounts_.find(tag);
    if (account == accounts_.end()) return;
    for (auto it = live_.begin(); it != live_.end();) {
        if (it->second.account != &account->second) {
            ++it;
            continue;
        }
        ++account->second.releasedByOwner;
        --account->second.liveBlocks;
        account->second.liveBytes -= it->second.size;
        std::free(it->first);
        it = live_.erase(it);
    }
}

const AccountingMemory::Account& AccountingMemory::AccountOf(const std::string& tag) const {
    static const Account kNone;
    auto it = accounts_.find(tag);
    return it != accounts_.end() ? it->second : kNone;
}

std::string AccountingMemory::LeakReport() const {
    std::string out;
    for (const auto& [tag, account] : accounts_) {
        if (account.liveBlocks == 0) continue;
        out += "MEM: owner \"" + tag + "\" left " + std::to_string(account.liveBlocks) + " blocks (" +
               std::to_string(account.liveBytes) + " bytes)\n";
    }
    if (badFrees != 0) out += "MEM: " + std::to_string(badFrees) + " frees of unknown blocks\n";
    return out;
}

void AccountingMemory::FailAt(int n, bool failAllAfter) {
    failAt_ = n > 0 ? allocations + n : 0;
    failAllAfter_ = failAllAfter;
}

} // namespace testing
} // namespace envsys
