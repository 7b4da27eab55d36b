#include "host/HostShell.h"

namespace envhost {

int32_t HostShell::Register(const char* name, envsys::EnvironmentSystemInterface* object, uint32_t) {
    if (name == nullptr) return 0;
    registered_[name] = object;
    return 1;
}

int32_t HostShell::Unregister(const char* name) {
    if (name == nullptr) return 0;
    return registered_.erase(name) != 0 ? 1 : 0;
}

int32_t HostShell::Acquire(const char* tag, void** service) {
    if (tag == nullptr || service == nullptr) return 0;
    acquired.push_back(tag);
    auto it = services_.find(tag);
    *service = it != services_.end() ? it->second : nullptr;
    return *service != nullptr ? 1 : 0;
}

int32_t HostShell::Release(const char* tag, void** service) {
    if (tag != nullptr) released.push_back(tag);
    if (service != nullptr) *service = nullptr;
    return 1;
}

envsys::EnvironmentSystemInterface* HostShell::Registered(const std::string& name) const {
    auto it = registered_.find(name);
    return it != registered_.end() ? it->second : nullptr;
}

} // namespace envhost
