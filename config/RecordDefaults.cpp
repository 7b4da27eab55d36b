// Record-defaults mode: a key a getter did not find is added to the
// document with the default it returned.
#include "config/IniFile.h"

#include <climits>

#include "config/NumberText.h"
#include "config/StringUtils.h"
#include "plugin/Log.h"
#include "plugin/Memory.h"

namespace envsys {
namespace {

// The integer of a float value, saturated, with NaN as 0.
int32_t FloatToInteger(float value) {
    if (!(value == value)) return 0;
    if (value >= 2147483647.0f) return INT32_MAX;
    if (value <= -2147483648.0f) return INT32_MIN;
    return static_cast<int32_t>(value);
}

} // namespace

bool IniFile::AddNewKey(const char* section, const char* key, const char* valueText, int32_t integerValue,
                        float floatValue, uint32_t valueKind) {
    // A key without a section or name could never be found again.
    if (StrIsEmpty(section) || StrIsEmpty(key)) return false;
    if (!text.Append(key)) {
        LogMessage("Unable to append string key name %s to the buffer!", key);
        return false;
    }
    char* keyName = text.Current();
    char* value = nullptr;
    if (valueText != nullptr) {
        if (!text.Append(valueText)) {
            LogMessage("Unable to append string %s to the buffer!", valueText);
            return false;
        }
        value = text.Current();
    }
    auto* record = static_cast<IniKey*>(MemAllocOrHeap(sizeof(IniKey)));
    if (record == nullptr) return false;
    record->name = keyName;
    record->valueKind = valueKind;
    record->value = value;
    record->integerValue = integerValue;
    record->floatValue = floatValue;
    bool taken = false;
    const bool added = AddKeyRecord(section, record, &taken);
    if (!taken) MemFree(record);
    return added;
}

bool IniFile::SetInt(const char* section, const char* key, int32_t value) {
    return AddNewKey(section, key, nullptr, value, static_cast<float>(value), kValueInteger);
}

bool IniFile::SetFloat(const char* section, const char* key, float value) {
    return AddNewKey(section, key, nullptr, FloatToInteger(value), value, kValueFloat);
}

bool IniFile::SetString(const char* section, const char* key, const char* value) {
    const char* textValue = value != nullptr ? value : "";
    int32_t integerValue = 0;
    float floatValue = 0.0f;
    TextToNumbers(textValue, &integerValue, &floatValue);
    return AddNewKey(section, key, textValue, integerValue, floatValue, kValueText);
}

void IniFile::RecordString(const char* section, const char* key, const char* value) { SetString(section, key, value); }
} // namespace envsys
