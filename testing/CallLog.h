// The record of every call a test host's services receive, in order.
#pragma once

#include <string>
#include <vector>

namespace envsys {
namespace testing {

// Every service call, in order, as "TAG.Operation" with its numeric
// arguments and its text argument (if any).
struct Call {
    std::string name;
    std::vector<double> numbers;
    std::string text;
};

class CallLog {
public:
    void Add(std::string name, std::vector<double> numbers = {}, std::string text = {});
    int Count(const std::string& name) const;
    std::vector<Call> Named(const std::string& name) const;
    // Names of the calls whose name starts with prefix, in order.
    std::vector<std::string> Sequence(const std::string& prefix = "") const;
    const Call* Last(const std::string& name) const;
    void Clear() { calls.clear(); }
    bool enabled = true;
    std::vector<Call> calls;
};

// A text argument as a call records it: "(null)" for a null pointer.
std::string LoggedText(const char* text);

} // namespace testing
} // namespace envsys
