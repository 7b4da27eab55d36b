#include "testing/CallLog.h"

#include <algorithm>

namespace envsys {
namespace testing {

std::string LoggedText(const char* text) { return text != nullptr ? std::string(text) : std::string("(null)"); }

void CallLog::Add(const char* name, std::initializer_list<double> numbers, const std::string& text) {
    if (enabled) calls.push_back(Call{name, std::vector<double>(numbers), text});
}

void CallLog::Add(const char* name, std::initializer_list<double> numbers, const char* text) {
    if (enabled) calls.push_back(Call{name, std::vector<double>(numbers), LoggedText(text)});
}

void CallLog::Add(const char* name, const std::vector<double>& numbers, const std::string& text) {
    if (enabled) calls.push_back(Call{name, numbers, text});
}

int CallLog::Count(const std::string& name) const {
    return static_cast<int>(std::count_if(calls.begin(), calls.end(), [&](const Call& c) { return c.name == name; }));
}

std::vector<Call> CallLog::Named(const std::string& name) const {
    std::vector<Call> out;
    for (const Call& c : calls)
        if (c.name == name) out.push_back(c);
    return out;
}

std::vector<std::string> CallLog::Sequence(const std::string& prefix) const {
    std::vector<std::string> out;
    for (const Call& c : calls)
        if (c.name.compare(0, prefix.size(), prefix) == 0) out.push_back(c.name);
    return out;
}

const Call* CallLog::Last(const std::string& name) const {
    for (auto it = calls.rbegin(); it != calls.rend(); ++it)
        if (it->name == name) return &*it;
    return nullptr;
}

} // namespace testing
} // namespace envsys
