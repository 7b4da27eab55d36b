// The host guide (docs/host-guide.md) documents every slot of the boundary
// and the record offsets; its tables are compared here with the headers'
// text and with the compiled records, so that the guide cannot drift from
// the interface.
#include <gtest/gtest.h>

#include <cstddef>
#include <fstream>
#include <iterator>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <tuple>

#include "envsys/Records.h"

namespace {

using Row = std::tuple<std::string, int, std::string>; // service, slot, signature

std::string ReadText(const std::string& path) {
    std::ifstream in(path);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// One blank between words, none inside parentheses or before a comma.
std::string Tidy(const std::string& text) {
    std::string out = std::regex_replace(text, std::regex("\\s+"), " ");
    out = std::regex_replace(out, std::regex(" ?([(),]) ?"), "$1");
    out = std::regex_replace(out, std::regex(","), ", ");
    return std::regex_replace(out, std::regex("^ | $"), "");
}

// Every declared operation of every interface in a header, numbered by its
// position among the virtual functions (reserved slots included). The slot
// number a declaration's comment gives must be that position.
std::set<Row> HeaderSlots(const std::string& header, std::vector<std::string>* problems) {
    static const std::regex classLine(R"(^class (\w+) \{(?:\s*//\s*"(\w+)\")?)");
    static const std::regex declaration(R"(^virtual (.+\))\s*=\s*0;\s*(?://\s*(\d+))?)");
    std::set<Row> rows;
    std::istringstream lines(ReadText(header));
    std::string line, service, pending;
    int slot = 0;
    for (std::smatch m; std::getline(lines, line);) {
        line = std::regex_replace(line, std::regex("^\\s+"), "");
        if (std::regex_search(line, m, classLine)) {
            service = m[2].matched ? m[2].str() : m[1].str() == "EnvironmentSystemInterface" ? "ENV" : m[1].str();
            slot = 0;
        } else if (service.empty()) {
            continue; // outside an interface (the reserved-slot macro's own text)
        } else if (line.rfind("};", 0) == 0) {
            service.clear();
        } else if (line.rfind("ENVSYS_RESERVED_SLOT(", 0) == 0) {
            ++slot;
        } else if (line.rfind("virtual ", 0) == 0 || !pending.empty()) {
            pending += " " + line; // a declaration may run over several lines
            if (line.find(';') == std::string::npos) continue;
            const std::string text = Tidy(pending);
            pending.clear();
            if (!std::regex_search(text, m, declaration)) {
                problems->push_back("unparsed: " + text);
            } else {
                if (m[2].matched && std::stoi(m[2].str()) != slot)
                    problems->push_back(service + " " + text + ": comment says slot " + m[2].str());
                rows.emplace(service, slot, Tidy(m[1].str()));
            }
            ++slot;
        }
    }
    return rows;
}

// Table rows "| SERVICE | SLOT | `signature` | ... |" of the guide.
std::set<Row> GuideSlots(const std::string& guide) {
    static const std::regex row(R"(^\| *(\w+) *\| *(\d+) *\| *`([^`]+)` *\|)");
    std::set<Row> rows;
    std::istringstream lines(guide);
    std::string line;
    for (std::smatch m; std::getline(lines, line);)
        if (std::regex_search(line, m, row)) rows.emplace(m[1].str(), std::stoi(m[2].str()), Tidy(m[3].str()));
    return rows;
}

std::string Describe(const std::set<Row>& rows) {
    std::string out;
    for (const Row& r : rows)
        out += "  " + std::get<0>(r) + " " + std::to_string(std::get<1>(r)) + " " + std::get<2>(r) + "\n";
    return out;
}

class HostGuideTest : public ::testing::Test {
protected:
    void SetUp() override {
        guide = ReadText(ENVSYS_SOURCE_DIR "/docs/host-guide.md");
#if defined(_WIN32)
        if (guide.empty()) GTEST_SKIP() << "the source tree is not readable from here";
#endif
        ASSERT_FALSE(guide.empty()) << "docs/host-guide.md is missing";
    }
    std::string guide;
};

TEST_F(HostGuideTest, SlotTablesMatchTheHeaders) {
    std::vector<std::string> problems;
    std::set<Row> declared = HeaderSlots(ENVSYS_SOURCE_DIR "/include/envsys/HostServices.h", &problems);
    const std::set<Row> operations =
        HeaderSlots(ENVSYS_SOURCE_DIR "/include/envsys/EnvironmentSystemInterface.h", &problems);
    EXPECT_EQ(operations.size(), 35u);
    declared.insert(operations.begin(), operations.end());
    EXPECT_EQ(problems, std::vector<std::string>{});

    // One row a line, so that a failure shows the rows either side lacks.
    EXPECT_EQ(Describe(GuideSlots(guide)), Describe(declared));
}

// Rows "| `Record` | `field` | 32-bit offset | 64-bit offset |" against the
// records as compiled here.
TEST_F(HostGuideTest, RecordOffsetsMatchTheRecords) {
    using namespace envsys;
    const std::map<std::string, size_t> actual = {
        {"Vertex.size", sizeof(Vertex)},
        {"TimeOfDay.size", sizeof(TimeOfDay)},
        {"CalendarDate.size", sizeof(CalendarDate)},
        {"WeatherParams.layerAltitude", offsetof(WeatherParams, layerAltitude)},
        {"WeatherParams.intensity", offsetof(WeatherParams, intensity)},
        {"LightRecord.diffuse", offsetof(LightRecord, diffuse)},
        {"LightRecord.direction", offsetof(LightRecord, direction)},
        {"LightRecord.lightSwitch", offsetof(LightRecord, lightSwitch)},
        {"ViewInfo.left", offsetof(ViewInfo, left)},
        {"EmitterRecord.position", offsetof(EmitterRecord, position)},
        {"EmitterRecord.one", offsetof(EmitterRecord, one)},
        {"EmitterRecord.size", sizeof(EmitterRecord)},
        {"MeshRecord.vertices", offsetof(MeshRecord, vertices)},
        {"MeshRecord.indices", offsetof(MeshRecord, indices)},
        {"MeshRecord.mode", offsetof(MeshRecord, mode)},
        {"MeshRecord.placement", offsetof(MeshRecord, placement)},
        {"MeshRecord.material", offsetof(MeshRecord, material)},
        {"MaterialRecord.stages", offsetof(MaterialRecord, stages)},
        {"MaterialRecord.passPlans", offsetof(MaterialRecord, passPlans)},
        {"MaterialRecord.graphicsHandle", offsetof(MaterialRecord, graphicsHandle)},
        {"MaterialRecord.size", sizeof(MaterialRecord)},
    };
    static const std::regex row(R"(^\| *`(\w+)` *\| *`(\w+)` *\| *(\d+) *\| *(\d+) *\|)");
    std::istringstream lines(guide);
    std::string line;
    std::set<std::string> seen;
    for (std::smatch m; std::getline(lines, line);) {
        if (!std::regex_search(line, m, row)) continue;
        const std::string key = m[1].str() + "." + m[2].str();
        const auto it = actual.find(key);
        if (it == actual.end()) {
            ADD_FAILURE() << "the guide lists " << key << ", which this test does not know";
            continue;
        }
        seen.insert(key);
        const size_t documented = std::stoul(sizeof(void*) == 4 ? m[3].str() : m[4].str());
        EXPECT_EQ(documented, it->second) << key << " with " << 8 * sizeof(void*) << "-bit pointers";
    }
    EXPECT_EQ(seen.size(), actual.size()) << "every record row belongs in the guide";
}

} // namespace
