// Replays the fuzzer's seed corpus and the inputs it found, so that every
// one of them keeps loading without a fault or a leaked block.
#include <gtest/gtest.h>

#include <dirent.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tests/config/ConfigFuzzEntry.h"

namespace envsys {
namespace {

TEST(ConfigFuzzCorpus, EverySeedRunsCleanly) {
    const std::string directory = std::string(ENVSYS_SOURCE_DIR) + "/fuzz/corpus/config";
    DIR* dir = opendir(directory.c_str());
    ASSERT_NE(dir, nullptr) << directory;
    std::vector<std::string> names;
    while (dirent* entry = readdir(dir))
        if (entry->d_name[0] != '.') names.emplace_back(entry->d_name);
    closedir(dir);
    std::sort(names.begin(), names.end());
    EXPECT_GE(names.size(), 10u);
    for (const std::string& name : names) {
        std::ifstream in(directory + "/" + name, std::ios::binary);
        const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        SCOPED_TRACE(name);
        EXPECT_EQ(fuzzing::RunConfigInput(bytes.data(), bytes.size()), 0);
    }
}

} // namespace
} // namespace envsys
