// A configuration document in memory: its normalised file name, its sections
// with their keys in file order, and one fixed TextBuffer holding all text.
// The layout is shared with the host's graphics service (fileName first).
#pragma once

#include <cstdint>

#include "config/PointerList.h"
#include "config/TextBuffer.h"

namespace envsys {

constexpr uint32_t kDocumentTextCapacity = 0x40000;
constexpr int kNameBufferSize = 260;

enum ValueKind : uint32_t { kValueText = 0, kValueInteger = 1, kValueFloat = 2 };
enum CaseMode : int32_t { kCaseAsStored = 0, kCaseUpper = 1, kCaseLower = 2 };

struct IniKey {
    char* name;
    uint32_t valueKind;
    char* value; // null when nothing followed the "="
    int32_t integerValue;
    float floatValue;
};

struct IniSection {
    char* name;
    PointerList keys;
};

class IniFile {
public:
    char fileName[kNameBufferSize];
    PointerList sections;
    TextBuffer text;
    int32_t recordDefaults;
    char* emptyText;
    char* trueText;
    char* falseText;

    IniFile(const char* name, int32_t recordDefaultsFlag, int32_t deferLoad);
    ~IniFile();
    IniFile(const IniFile&) = delete;
    IniFile& operator=(const IniFile&) = delete;

    // Parses one file (and then its includes) into this document; 1 when the
    // file was opened and its text parsed.
    int32_t Load(const char* name);

    bool AddKey(const char* sectionName, IniKey* key);

    int32_t GetInt(const char* section, const char* key, int32_t defaultValue);
    float GetFloat(const char* section, const char* key, float defaultValue);
    int32_t GetBool(const char* section, const char* key, int32_t defaultValue);
    void GetString(const char* section, const char* key, const char* defaultValue, char* out,
                   int32_t outSize, int32_t caseMode);
    int32_t HasSection(const char* section);
    int32_t CountSections(const char* nameFormat);
    int32_t CountKeys(const char* section, const char* nameFormat);

    // Record-defaults mode: add a key (and its section when needed).
    bool SetInt(const char* section, const char* key, int32_t value);
    bool SetFloat(const char* section, const char* key, float value);
    bool SetString(const char* section, const char* key, const char* value);

    // The key record, or null when the section or key is missing.
    IniKey* FindKey(const char* section, const char* key);
};

// Free getters, the output first.
char* GetStringCopy(IniFile* file, const char* section, const char* key, int32_t caseMode);
void GetVector(float* out3, IniFile* file, const char* section, const char* key);
int32_t GetColor(float* out3, IniFile* file, const char* section, const char* key);
int32_t GetColorAlpha(float* out4, IniFile* file, const char* section, const char* key);

} // namespace envsys
