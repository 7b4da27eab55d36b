// A configuration document in memory: its normalised file name, its sections
// with their keys in file order, and one fixed TextBuffer holding all text.
// The layout is shared with the host's graphics service (fileName first).
#pragma once

#include <cstddef>
#include <cstdint>

#include "config/PointerList.h"
#include "config/TextBuffer.h"

namespace envsys {

// The text store of one document, 256 KiB. The fuzz build makes it smaller
// so that its last bytes are reached by inputs of a few kilobytes.
#ifndef ENVSYS_DOCUMENT_TEXT_CAPACITY
#define ENVSYS_DOCUMENT_TEXT_CAPACITY 0x40000
#endif
constexpr uint32_t kDocumentTextCapacity = ENVSYS_DOCUMENT_TEXT_CAPACITY;
constexpr int kNameBufferSize = 260;

struct NameFilter;

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

// Frees the section's key records and empties its list.
void FreeKeys(IniSection* section);

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
    void GetString(const char* section, const char* key, const char* defaultValue, char* out, int32_t outSize,
                   int32_t caseMode);
    int32_t HasSection(const char* section);
    int32_t CountSections(const char* nameFormat);
    int32_t CountKeys(const char* section, const char* nameFormat);

    // Record-defaults mode: add a key (and its section when needed).
    bool SetInt(const char* section, const char* key, int32_t value);
    bool SetFloat(const char* section, const char* key, float value);
    bool SetString(const char* section, const char* key, const char* value);

    // The key record, or null when the section or key is missing.
    IniKey* FindKey(const char* section, const char* key);

    // The section record, or null when it is missing.
    IniSection* FindSection(const char* section);

    // The text GetString would copy with the empty default ("" for a key
    // without value or a missing key), marking the key as read as text and,
    // in record-defaults mode, recording a missing key as GetString does.
    const char* FindText(const char* section, const char* key);

private:
    int32_t ParseFile(const char* name, PointerList* includes, NameFilter* sectionNames);
    void ParseLines(PointerList* includes, NameFilter* sectionNames);
    void ParseDirective(char* line, PointerList* includes);
    void ParseHeader(char* line, size_t lineLength, NameFilter* sectionNames);
    void ReadKeyBlock(IniSection* section);
    // AddKey that also tells whether the record was taken into the section.
    bool AddKeyRecord(const char* sectionName, IniKey* key, bool* taken);
    bool AddNewKey(const char* section, const char* key, const char* valueText, int32_t integerValue, float floatValue,
                   uint32_t valueKind);
    void RecordString(const char* section, const char* key, const char* value);
};

// The shared layout: the host's graphics service reads the document through
// its address, which is also the address of its normalised file name.
static_assert(offsetof(IniFile, fileName) == 0, "fileName is the document's first field");
#if UINTPTR_MAX == 0xFFFFFFFFu
static_assert(sizeof(IniFile) == 312, "IniFile layout");
static_assert(offsetof(IniFile, sections) == 260, "IniFile layout");
static_assert(offsetof(IniFile, text) == 280, "IniFile layout");
static_assert(offsetof(IniFile, recordDefaults) == 296, "IniFile layout");
static_assert(offsetof(IniFile, emptyText) == 300, "IniFile layout");
static_assert(offsetof(IniFile, trueText) == 304, "IniFile layout");
static_assert(offsetof(IniFile, falseText) == 308, "IniFile layout");
static_assert(sizeof(PointerList) == 20, "PointerList layout");
static_assert(offsetof(PointerList, cursor) == 0 && offsetof(PointerList, head) == 4 &&
                  offsetof(PointerList, tail) == 8 && offsetof(PointerList, count) == 12 &&
                  offsetof(PointerList, cursorIndex) == 16,
              "PointerList layout");
static_assert(sizeof(ListNode) == 12, "list node layout");
static_assert(offsetof(ListNode, next) == 0 && offsetof(ListNode, previous) == 4 && offsetof(ListNode, data) == 8,
              "list node layout");
static_assert(sizeof(TextBuffer) == 16, "TextBuffer layout");
static_assert(offsetof(TextBuffer, base) == 0 && offsetof(TextBuffer, end) == 4 && offsetof(TextBuffer, cursor) == 8 &&
                  offsetof(TextBuffer, capacity) == 12,
              "TextBuffer layout");
static_assert(sizeof(IniSection) == 24, "IniSection layout");
static_assert(offsetof(IniSection, name) == 0 && offsetof(IniSection, keys) == 4, "IniSection layout");
static_assert(sizeof(IniKey) == 20, "IniKey layout");
static_assert(offsetof(IniKey, name) == 0 && offsetof(IniKey, valueKind) == 4 && offsetof(IniKey, value) == 8 &&
                  offsetof(IniKey, integerValue) == 12 && offsetof(IniKey, floatValue) == 16,
              "IniKey layout");
#endif

// Free getters, the output first.
char* GetStringCopy(IniFile* file, const char* section, const char* key, int32_t caseMode);
void GetVector(float* out3, IniFile* file, const char* section, const char* key);
int32_t GetColor(float* out3, IniFile* file, const char* section, const char* key);
int32_t GetColorAlpha(float* out4, IniFile* file, const char* section, const char* key);

} // namespace envsys
