// The application shell the host hands to InitDLL: it registers the
// plug-in's object and hands out the host services by their tags.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "envsys/HostServices.h"

namespace envhost {

// APP: two values read once by the plug-in at start-up.
class HostApp : public envsys::ApplicationService {
public:
    uint32_t Value14() override { return 1; }
    uint32_t Value16() override { return 1; }
};

class HostShell : public envsys::ApplicationShell {
public:
    int32_t Register(const char* name, envsys::EnvironmentSystemInterface* object, uint32_t param) override;
    int32_t Unregister(const char* name) override;
    int32_t Acquire(const char* tag, void** service) override;
    int32_t Release(const char* tag, void** service) override;

    // Services by tag; a tag not offered is answered with null.
    void Offer(const std::string& tag, void* service) { services_[tag] = service; }
    envsys::EnvironmentSystemInterface* Registered(const std::string& name) const;

    std::vector<std::string> acquired;
    std::vector<std::string> released;

private:
    std::map<std::string, void*> services_;
    std::map<std::string, envsys::EnvironmentSystemInterface*> registered_;
};

} // namespace envhost
