// The rules the test host checks on every frame for every test that drives
// one: nothing NaN or infinite reaches graphics, and frames allocate nothing.
// A broken rule fails the running test.
#include <gtest/gtest.h>

#include <limits>

#include "testing/TestHost.h"

namespace envsys {
namespace testing {
namespace {

const bool kRulesFailTests = [] {
    TestHost::onViolation = [](const std::string& what) { ADD_FAILURE() << what; };
    return true;
}();

TEST(HostRules, NonFiniteValuesAndFrameAllocationsAreReported) {
    std::vector<std::string> reported;
    auto* installed = TestHost::onViolation;
    ASSERT_NE(installed, nullptr) << "the tests install a handler that fails them";
    static std::vector<std::string>* sink;
    sink = &reported;
    TestHost::onViolation = [](const std::string& what) { sink->push_back(what); };
    {
        TestHost host;
        host.Init();
        const float nan = std::numeric_limits<float>::quiet_NaN();
        const float rgb[3] = {0.5f, nan, 0.5f};
        host.gfx.SetFogColor(rgb);
        host.gfx.SetFogRange(1.0f, std::numeric_limits<float>::infinity());
        host.Frame(0.1f);
        host.mem.Free(host.mem.Allocate(4, 0, 0, "ENV"));
        host.Frame(0.1f);
        host.gfx.checkFinite = false;
        host.gfx.SetSunLightLevel(nan);
        host.Frame(0.1f);
    }
    TestHost::onViolation = installed;
    EXPECT_EQ(reported, (std::vector<std::string>{
                            "2 graphics calls were handed a NaN or infinite value, the first in GFX.SetFogColor"}));
    EXPECT_TRUE(kRulesFailTests);
    // Allocating outside a frame, or with the check off, breaks no rule.
}

} // namespace
} // namespace testing
} // namespace envsys
