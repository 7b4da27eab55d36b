// A small JSON text builder for the preview server's answers: objects,
// arrays, strings with every control character escaped, and numbers that
// are never NaN or infinite in the text (those become null).
#pragma once

#include <string>
#include <vector>

namespace envhost {

class JsonWriter {
public:
    JsonWriter& BeginObject();
    JsonWriter& EndObject();
    JsonWriter& BeginArray();
    JsonWriter& EndArray();
    // The name of the next member of the current object.
    JsonWriter& Key(const std::string& name);
    JsonWriter& String(const std::string& value);
    JsonWriter& Number(double value);
    JsonWriter& Bool(bool value);
    // An array of count numbers.
    JsonWriter& Numbers(const float* values, int count);

    const std::string& Text() const { return text_; }

private:
    void Separate();
    std::string text_;
    // Per open container: true once it holds a member.
    std::vector<bool> filled_;
    bool afterKey_ = false;
};

// value as a JSON string literal, quotes included.
std::string JsonQuote(const std::string& value);

} // namespace envhost
