// libFuzzer entry for the configuration library: the parser with includes,
// every getter, the material reader and the name patterns.
#include <cstddef>
#include <cstdint>

#include "tests/config/ConfigFuzzEntry.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return envsys::fuzzing::RunConfigInput(data, size);
}
