// The record of every call a test host's services receive, in order.
#pragma once

#include <initializer_list>
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
    // Nothing is built when the log is off, so a host with its log off
    // (the fuzzers, the soak) pays only for the call.
    void Add(const char* name, std::initializer_list<double> numbers = {}, const std::string& text = {});
    void Add(const char* name, const std::vector<double>& numbers, const std::string& text = {});
    // A text from the plug-in, logged as LoggedText gives it.
    void Add(const char* name, std::initializer_list<double> numbers, const char* text);
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
