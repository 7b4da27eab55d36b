// Loading of the Environment File into the EnvironmentSystem.
#include "plugin/EnvironmentSystem.h"

namespace envsys {

int32_t EnvironmentSystem::LoadEnvironment(const char*) { return 0; }

} // namespace envsys
