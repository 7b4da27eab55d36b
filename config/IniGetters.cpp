// Typed access to a document's values. The search every getter starts with
// is defined here as well, so that it stays inline in each getter: reading
// the keys in file order costs little more than the search itself.
#include "config/IniFile.h"

#include <cstring>

#include "config/NumberText.h"
#include "config/StringUtils.h"
#include "plugin/MultibyteString.h"

namespace envsys {
namespace {

// A colour part: at or below 0 gives 0, at or above 1 gives 1; a part that is
// not a number at all (NaN) gives 0 rather than reaching the host.
float ClampUnit(float v) {
    if (!(v > 0.0f)) return 0.0f;
    return v >= 1.0f ? 1.0f : v;
}

// Splits text at its commas, in place; parts[i] points at the i-th part.
// Returns the number of commas.
int SplitAtCommas(char* text, char** parts, int maxParts) {
    int commas = 0;
    parts[0] = text;
    for (char* p = MbsChr(text, ','); p != nullptr; p = MbsChr(p + 1, ',')) {
        *p = '\0';
        if (++commas < maxParts) parts[commas] = p + 1;
    }
    return commas;
}
float PartValue(const char* part) { return TextToFloat(part); }

// The node's record when its name has exactly the bytes of name.
void* RecordNamed(const ListNode* node, const char* name) {
    if (node == nullptr || node->data == nullptr) return nullptr;
    const char* recordName = *static_cast<char* const*>(node->data);
    return recordName != nullptr && std::strcmp(recordName, name) == 0 ? node->data : nullptr;
}

// Names within one list of a document are unique: the parser and AddKey drop
// later duplicates, and an empty name is never found. So at most one node can
// match, and trying some nodes before the search from the cursor cannot
// change which node is found or where the cursor ends. Reading in file order,
// the answer is nearly always the cursor node (the same section again) or the
// node after it (the next key); those are tried first, in the order given,
// by their exact bytes, which settles names asked for as the file spells
// them. The full search without regard to case follows. Returns the record
// found, or null.
void* FindInDocumentList(PointerList* list, const char* name, bool nextFirst) {
    if (StrIsEmpty(name)) return nullptr;
    ListNode* const cursor = list->cursor;
    if (cursor != nullptr) {
        ListNode* const next = cursor->next;
        void* record = nullptr;
        if (nextFirst && (record = RecordNamed(next, name)) != nullptr) {
            list->cursor = next;
            ++list->cursorIndex;
            return record;
        }
        if ((record = RecordNamed(cursor, name)) != nullptr) return record;
        if (!nextFirst && (record = RecordNamed(next, name)) != nullptr) {
            list->cursor = next;
            ++list->cursorIndex;
            return record;
        }
    }
    return list->FindByName(name) ? list->CurrentData() : nullptr;
}

// The comma-separated numbers of a colour or vector read straight from the
// value text, when each part wanted is a plain decimal that ends at its comma
// (or at the end of the text) inside the 259 bytes a copy into a name buffer
// keeps: then they are the numbers the copy, split and conversion give.
// commas counts the commas up to the last part wanted, plus one when another
// follows it, which is all the readers ask. False for anything else.
bool ReadPlainList(const char* value, float* parts, int maxParts, int* commas) {
    const char* p = value;
    for (int i = 0; i < maxParts; ++i) {
        const char* end = nullptr;
        if (!ReadPlainDecimal(p, &parts[i], &end) || end - value >= kNameBufferSize - 1) return false;
        if (*end == '\0') {
            *commas = i;
            return true;
        }
        if (*end != ',') return false;
        p = end + 1;
    }
    *commas = maxParts;
    return true;
}

// The value text into a name buffer of 260 bytes, as StrCopy bounds it. The
// free getters split the copy in place; nobody reads the bytes after its
// terminator, so the padding of the runtime's bounded copy is left out where
// every byte is a character of its own.
void CopyValueText(char* out, const char* value) {
#if defined(_WIN32)
    StrCopy(out, value, kNameBufferSize);
#else
    const size_t length = strnlen(value, kNameBufferSize - 1);
    std::memcpy(out, value, length);
    out[length] = '\0';
#endif
}
} // namespace

IniSection* IniFile::FindSection(const char* section) {
    if (sections.count == 0) return nullptr;
    return static_cast<IniSection*>(FindInDocumentList(&sections, section, false));
}

IniKey* IniFile::FindKey(const char* section, const char* key) {
    IniSection* found = FindSection(section);
    return found != nullptr ? static_cast<IniKey*>(FindInDocumentList(&found->keys, key, true)) : nullptr;
}

const char* IniFile::FindText(const char* section, const char* key) {
    IniKey* found = FindKey(section, key);
    if (found == nullptr) {
        if (recordDefaults != 0) RecordString(section, key, "");
        return "";
    }
    found->valueKind = kValueText;
    return found->value != nullptr ? found->value : "";
}
int32_t IniFile::GetInt(const char* section, const char* key, int32_t defaultValue) {
    IniKey* found = FindKey(section, key);
    if (found == nullptr) {
        if (recordDefaults != 0) SetInt(section, key, defaultValue);
        return defaultValue;
    }
    found->valueKind = kValueInteger;
    return found->integerValue;
}

float IniFile::GetFloat(const char* section, const char* key, float defaultValue) {
    IniKey* found = FindKey(section, key);
    if (found == nullptr) {
        if (recordDefaults != 0) SetFloat(section, key, defaultValue);
        return defaultValue;
    }
    found->valueKind = kValueFloat;
    return found->floatValue;
}

int32_t IniFile::GetBool(const char* section, const char* key, int32_t defaultValue) {
    IniKey* found = FindKey(section, key);
    if (found == nullptr) {
        if (recordDefaults != 0) RecordString(section, key, defaultValue != 0 ? "TRUE" : "FALSE");
        return defaultValue;
    }
    if (StrEqual(found->value, trueText, 0)) {
        found->valueKind = kValueText;
        return 1;
    }
    if (StrEqual(found->value, falseText, 0)) {
        found->valueKind = kValueText;
        return 0;
    }
    found->valueKind = kValueInteger;
    return found->integerValue != 0 ? 1 : 0;
}

void IniFile::GetString(const char* section, const char* key, const char* defaultValue, char* out, int32_t outSize,
                        int32_t caseMode) {
    if (out == nullptr) return;
    IniKey* found = FindKey(section, key);
    if (found == nullptr) {
        StrCopy(out, defaultValue, outSize);
        if (recordDefaults != 0) RecordString(section, key, defaultValue);
        return;
    }
    found->valueKind = kValueText;
    StrCopy(out, found->value != nullptr ? found->value : emptyText, outSize);
    if (outSize <= 0) return;
    if (caseMode == kCaseUpper)
        StrToUpper(out);
    else if (caseMode == kCaseLower)
        StrToLower(out);
}

int32_t IniFile::HasSection(const char* section) { return FindSection(section) != nullptr ? 1 : 0; }

int32_t IniFile::CountSections(const char* nameFormat) {
    char name[kNameBufferSize];
    int32_t n = 0;
    // A count can never exceed the number of sections, which also ends the
    // loop for a pattern whose names do not change with the number.
    while (n < sections.count && FormatIntegerPattern(name, kNameBufferSize, nameFormat, 1, n + 1) &&
           HasSection(name) != 0)
        ++n;
    return n;
}

int32_t IniFile::CountKeys(const char* section, const char* nameFormat) {
    IniSection* found = FindSection(section);
    if (found == nullptr) return 0;
    char name[kNameBufferSize];
    int32_t n = 0;
    while (n < found->keys.count && FormatIntegerPattern(name, kNameBufferSize, nameFormat, 1, n + 1) &&
           found->keys.FindByName(name))
        ++n;
    return n;
}
char* GetStringCopy(IniFile* file, const char* section, const char* key, int32_t caseMode) {
    if (file == nullptr) return nullptr;
    char value[kNameBufferSize];
    file->GetString(section, key, "", value, kNameBufferSize, caseMode);
    return StrIsEmpty(value) ? nullptr : StrDuplicate(value);
}

namespace {
// Reads up to maxParts comma-separated numbers of a value as the copy into a
// name buffer, the split at its commas and strtod of each part give them;
// returns the number of commas (at least maxParts when there are more).
int ReadNumberList(const char* text, float* numbers, int maxParts) {
    int commas = 0;
    if (ReadPlainList(text, numbers, maxParts, &commas)) return commas;
    char value[kNameBufferSize];
    CopyValueText(value, text);
    char* parts[4] = {value, nullptr, nullptr, nullptr};
    commas = SplitAtCommas(value, parts, maxParts);
    for (int i = 0; i < maxParts && i <= commas; ++i)
        numbers[i] = PartValue(parts[i]);
    return commas;
}
} // namespace

void GetVector(float* out3, IniFile* file, const char* section, const char* key) {
    if (out3 == nullptr) return;
    float numbers[3];
    const int commas = ReadNumberList(file != nullptr ? file->FindText(section, key) : "", numbers, 3);
    if (commas == 0) {
        out3[0] = out3[1] = out3[2] = 0.0f;
        return;
    }
    out3[0] = numbers[0];
    out3[1] = numbers[1];
    out3[2] = commas >= 2 ? numbers[2] : 0.0f;
}

namespace {
// Reads r, g, b (and alpha when out has four entries); false, with out
// unchanged, when the text has fewer than two commas.
bool ReadColor(float* out, int components, IniFile* file, const char* section, const char* key) {
    if (out == nullptr || file == nullptr) return false;
    float numbers[4];
    const int commas = ReadNumberList(file->FindText(section, key), numbers, components);
    if (commas < 2) return false;
    for (int i = 0; i < 3; ++i)
        out[i] = ClampUnit(numbers[i]);
    if (components == 4) out[3] = commas >= 3 ? ClampUnit(numbers[3]) : 1.0f;
    return true;
}
} // namespace

int32_t GetColor(float* out3, IniFile* file, const char* section, const char* key) {
    return ReadColor(out3, 3, file, section, key) ? 1 : 0;
}

int32_t GetColorAlpha(float* out4, IniFile* file, const char* section, const char* key) {
    return ReadColor(out4, 4, file, section, key) ? 1 : 0;
}

} // namespace envsys
