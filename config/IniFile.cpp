#include "config/IniFile.h"

#include <climits>
#include <cstdlib>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "config/NumberText.h"
#include "config/StringUtils.h"
#include "envsys/HostServices.h"
#include "plugin/Log.h"
#include "plugin/Memory.h"
#include "plugin/MultibyteString.h"
#include "plugin/PluginState.h"

namespace envsys {
namespace {

constexpr const char* kDefaultExtension = "INI";
// Handle of a file the host could not open.
constexpr int32_t kNoFile = -1;

// The integer of a float value, saturated, with NaN as 0.
int32_t FloatToInteger(float value) {
    if (!(value == value)) return 0;
    if (value >= 2147483647.0f) return INT32_MAX;
    if (value <= -2147483648.0f) return INT32_MIN;
    return static_cast<int32_t>(value);
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

void FreeKeys(IniSection* section) {
    for (ListNode* node = section->keys.head; node != nullptr; node = node->next)
        MemFree(node->data);
    section->keys.Clear();
}

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

#if !defined(_WIN32)
// The length of the line at p: the bytes before its first CR, LF or NUL.
// limit is the end of the storage p lies in; the text always ends with a
// NUL before it. With SSE2 sixteen bytes are tested at a time, never reading
// past limit; elsewhere the runtime's strcspn does the same.
inline size_t LineLength(const char* p, const char* limit) {
#if defined(__SSE2__)
    const char* q = p;
    const __m128i cr = _mm_set1_epi8('\r');
    const __m128i lf = _mm_set1_epi8('\n');
    const __m128i nul = _mm_setzero_si128();
    for (; limit - q >= 16; q += 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(q));
        const __m128i stops = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(bytes, cr), _mm_cmpeq_epi8(bytes, lf)),
                                           _mm_cmpeq_epi8(bytes, nul));
        const auto mask = static_cast<unsigned>(_mm_movemask_epi8(stops));
        if (mask != 0) return static_cast<size_t>(q - p) + static_cast<size_t>(__builtin_ctz(mask));
    }
    return static_cast<size_t>(q - p) + std::strcspn(q, "\r\n");
#else
    (void)limit;
    return std::strcspn(p, "\r\n");
#endif
}
#endif

// The parser reads the text line by line from the buffer's cursor. Each line
// is cut at its first line break (the break becomes its terminator) when the
// parser reaches it, which leaves the same bytes as replacing every CR and LF
// of the text first, in one pass over the text instead of three. On Windows
// the code page decides which bytes are characters of their own, so the
// breaks are replaced character by character before the walk and a line
// ends at its terminator.
inline char* CutLine(const TextBuffer& text, size_t* length) {
    char* line = text.cursor;
#if defined(_WIN32)
    *length = std::strlen(line);
#else
    // Every CR LF pair leaves an empty line between its two bytes.
    if (line[0] == '\r' || line[0] == '\n' || line[0] == '\0') {
        line[0] = '\0';
        *length = 0;
        return line;
    }
    const size_t n = LineLength(line, text.base + text.capacity);
    line[n] = '\0';
    *length = n;
#endif
    return line;
}

void PassLine(TextBuffer* text, size_t length) { text->cursor += length + 1; }

bool HasMoreLines(const TextBuffer& text) { return text.base != nullptr && text.cursor < text.end; }

// Replaces every CR and LF of the text with a terminator, as the walk does
// line by line; for text the walk does not reach.
void CutEveryLine(char* start, char* stop) {
    for (char* p = start; p < stop;) {
        char* lineBreak = MbsPBrk(p, "\r\n");
        if (lineBreak == nullptr) {
            p += std::strlen(p) + 1;
            continue;
        }
        *lineBreak = '\0';
        p = lineBreak + 1;
    }
}

// The state a search that found nothing leaves.
void ForgetCursor(PointerList* list) {
    list->cursor = nullptr;
    list->cursorIndex = -1;
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

// Remembers the names a list holds as bits of a hash of their ASCII bytes,
// letters folded to one case, so that the parser knows most new names are
// new without comparing them with every earlier name of the list. Names
// equal without regard to case have equal hashes; a set bit only means
// "maybe", and then the list is searched as usual. Names with bytes of 0x80
// and above are always searched, since the code page decides their case.
struct NameFilter {
    static constexpr uint32_t kBits = 4096;
    uint32_t words[kBits / 32];

    void Clear() { std::memset(words, 0, sizeof words); }

    // False when the name holds a byte of 0x80 or above.
    // Eight bytes at a time; setting bit 0x20 of every byte folds the
    // letters (and pairs a few other bytes, which only adds "maybe"
    // answers). Names equal without regard to case have equal lengths, so
    // their words fold alike.
    static bool Hash(const char* name, uint32_t* hash) { return Hash(name, std::strlen(name), hash); }
    static bool Hash(const char* name, size_t length, uint32_t* hash) {
        constexpr uint64_t kFold = 0x2020202020202020u;
        constexpr uint64_t kHighBits = 0x8080808080808080u;
        constexpr uint64_t kMultiplier = 0x9E3779B97F4A7C15u; // 2^64 over the golden ratio
        uint64_t h = length;
        uint64_t seen = 0;
        size_t i = 0;
        for (; i + 8 <= length; i += 8) {
            uint64_t word;
            std::memcpy(&word, name + i, 8);
            seen |= word;
            h = (h ^ (word | kFold)) * kMultiplier;
        }
        // The last bytes (fewer than eight) in at most three reads.
        uint64_t tail = 0;
        unsigned shift = 0;
        if (length - i >= 4) {
            uint32_t part;
            std::memcpy(&part, name + i, 4);
            tail = part;
            shift = 32;
            i += 4;
        }
        if (length - i >= 2) {
            uint16_t part;
            std::memcpy(&part, name + i, 2);
            tail |= static_cast<uint64_t>(part) << shift;
            shift += 16;
            i += 2;
        }
        if (length - i >= 1) tail |= static_cast<uint64_t>(static_cast<unsigned char>(name[i])) << shift;
        seen |= tail;
        h = (h ^ (tail | kFold)) * kMultiplier;
        if ((seen & kHighBits) != 0) return false;
        // The top bits of a product depend on every bit of its factors.
        static_assert(kBits == 1u << 12, "the hash keeps 12 bits");
        *hash = static_cast<uint32_t>(h >> 52);
        return true;
    }
    void Add(const char* name) {
        uint32_t h;
        if (name != nullptr && Hash(name, &h)) AddHash(h);
    }
    bool MayContain(const char* name) const {
        uint32_t h;
        return !Hash(name, &h) || MayContainHash(h);
    }
    void AddHash(uint32_t h) { words[h / 32] |= 1u << (h % 32); }
    bool MayContainHash(uint32_t h) const { return (words[h / 32] & (1u << (h % 32))) != 0; }
};

IniFile::IniFile(const char* name, int32_t recordDefaultsFlag, int32_t deferLoad) {
    sections.Init();
    text.Init();
    recordDefaults = 0;
    emptyText = nullptr;
    trueText = nullptr;
    falseText = nullptr;
    std::memset(fileName, 0, sizeof fileName);
    fmgCheckFilename(nullptr, name, kDefaultExtension, fileName, kNameBufferSize);
    text.Allocate(kDocumentTextCapacity);
    emptyText = StrDuplicate("");
    trueText = StrDuplicate("TRUE");
    falseText = StrDuplicate("FALSE");
    if (deferLoad == 0) Load(fileName);
    recordDefaults = recordDefaultsFlag;
}

IniFile::~IniFile() {
    for (ListNode* node = sections.head; node != nullptr; node = node->next) {
        auto* section = static_cast<IniSection*>(node->data);
        FreeKeys(section);
        MemFree(section);
    }
    sections.Clear();
    text.Reset();
    StrFree(&emptyText);
    StrFree(&trueText);
    StrFree(&falseText);
    text.Release();
}

// --- Parser --------------------------------------------------------------------

int32_t IniFile::Load(const char* name) {
    NameFilter sectionNames;
    sectionNames.Clear();
    for (const ListNode* node = sections.head; node != nullptr; node = node->next)
        sectionNames.Add(static_cast<const IniSection*>(node->data)->name);
    PointerList pending;
    pending.Init();
    const int32_t result = ParseFile(name, &pending, &sectionNames);
    // Included files are loaded depth first in directive order, as if each
    // were loaded at the end of the file that names it. The pending names
    // are kept in one list instead of on the call stack, so a file that
    // includes itself fills the text buffer without deepening the stack.
    PointerList included;
    included.Init();
    while (pending.head != nullptr) {
        pending.ResetCursor();
        const char* includeName = static_cast<const char*>(pending.CurrentData());
        pending.RemoveCurrent();
        ParseFile(includeName, &included, &sectionNames);
        pending.MoveToFront(&included);
    }
    pending.Clear();
    return result;
}

int32_t IniFile::ParseFile(const char* name, PointerList* includes, NameFilter* sectionNames) {
    FileService* fmg = g_plugin.fmg;
    if (fmg == nullptr || StrIsEmpty(name)) return 0;
    const int32_t handle = fmg->Open(name, 0);
    if (handle == kNoFile) return 0;
    int32_t result = 0;
    char* start = text.End();
    const uint32_t freeSpace = text.FreeSpace();
    // One byte stays free for the terminator of the text read.
    const uint32_t room = freeSpace > 1 ? freeSpace - 1 : 0;
    const int32_t count = room > 0 ? fmg->Read(handle, start, room) : 0;
    if (count >= 1) {
        const uint32_t length = static_cast<uint32_t>(count) < room ? static_cast<uint32_t>(count) : room;
        start[length] = '\0';
        text.Commit(length + 1);
        // A NUL byte inside the text ends a line as well: the walk resumes
        // after it.
        char* const stop = start + length;
#if defined(_WIN32)
        CutEveryLine(start, stop);
#endif
        // Text that starts with a line break (or a NUL byte) is not parsed
        // at all, but is left split into lines all the same.
        if (*start != '\r' && *start != '\n' && text.SeekTo(start)) {
            ParseLines(includes, sectionNames);
            result = 1;
        } else {
            CutEveryLine(start, stop);
        }
    }
    fmg->Close(handle);
    return result;
}

void IniFile::ParseLines(PointerList* includes, NameFilter* sectionNames) {
    while (HasMoreLines(text)) {
        size_t length = 0;
        char* line = CutLine(text, &length);
        PassLine(&text, length);
        if (length == 0) continue;
        length = StrTrimRightKnown(line, length);
        if (line[0] == '#')
            ParseDirective(line, includes);
        else if (line[0] == '[')
            ParseHeader(line, length, sectionNames);
    }
}

void IniFile::ParseDirective(char* line, PointerList* includes) {
    char* blank = line + 1;
    while (*blank != '\0' && !IsBlank(*blank))
        blank = MbsInc(blank);
    if (*blank == '\0') return;
    *blank = '\0';
    if (!StrEqual(line + 1, "include", 0)) return;
    // Blanks between the keyword and the name are skipped, so a name set off
    // by two blanks or a tab is still found.
    char* includeName = blank + 1;
    while (IsBlank(*includeName))
        ++includeName;
    char* nameEnd;
    if (*includeName == '"') {
        ++includeName;
        nameEnd = MbsChr(includeName, '"');
    } else {
        nameEnd = includeName;
        while (*nameEnd != '\0' && !IsBlank(*nameEnd))
            nameEnd = MbsInc(nameEnd);
    }
    if (nameEnd != nullptr) *nameEnd = '\0';
    if (*includeName != '\0') includes->Append(includeName);
}

void IniFile::ParseHeader(char* line, size_t lineLength, NameFilter* sectionNames) {
    char* name = line + 1;
    const size_t length = lineLength - 1;
    if (length > 0 && name[length - 1] == ']') name[length - 1] = '\0';
    // A name the filter has never seen is new: the search would miss, which
    // leaves no cursor, as skipping it does.
    if (sections.count > 0 && !StrIsEmpty(name)) {
        if (!sectionNames->MayContain(name)) {
            ForgetCursor(&sections);
        } else if (sections.FindByName(name)) {
            LogMessage("Deleting duplicate section %s from %s...", name, fileName);
            return;
        }
    }
    auto* section = static_cast<IniSection*>(MemAllocOrHeap(sizeof(IniSection)));
    if (section == nullptr) return;
    section->name = name;
    section->keys.Init();
    ReadKeyBlock(section);
    if (!sections.Append(section)) {
        LogMessage("Unable to append section %s to the list, file %s!", name, fileName);
        FreeKeys(section);
        MemFree(section);
        return;
    }
    sectionNames->Add(name);
}

void IniFile::ReadKeyBlock(IniSection* section) {
    NameFilter keyNames;
    keyNames.Clear();
    while (HasMoreLines(text)) {
        size_t length = 0;
        char* line = CutLine(text, &length);
        // The header or directive stays for the line loop.
        if (line[0] == '[' || line[0] == '#') return;
        PassLine(&text, length);
        if (length == 0 || line[0] == ';') continue;
        char* equals = MbsChr(line, '=');
        if (equals == nullptr) continue;
        *equals = '\0';
        auto* key = static_cast<IniKey*>(MemAllocOrHeap(sizeof(IniKey)));
        if (key == nullptr) continue;
        const size_t nameLength = StrTrimKnown(line, static_cast<size_t>(equals - line));
        key->name = line;
        key->valueKind = kValueText;
        char* value = equals + 1;
        if (value[0] == '\0') {
            key->value = nullptr;
            key->integerValue = 0;
            key->floatValue = 0.0f;
        } else {
            TextToNumbers(value, &key->integerValue, &key->floatValue);
            StrTrimKnown(value, static_cast<size_t>(line + length - value));
            key->value = value;
        }
        bool duplicate = false;
        // The name's hash is taken once, for the search and for the filter.
        uint32_t hash = 0;
        const bool hashed = NameFilter::Hash(key->name, nameLength, &hash);
        if (section->keys.count > 0 && !StrIsEmpty(key->name)) {
            if (hashed && !keyNames.MayContainHash(hash))
                ForgetCursor(&section->keys);
            else
                duplicate = section->keys.FindByName(key->name);
        }
        if (duplicate || !section->keys.Append(key)) {
            LogMessage("Deleting duplicate key %s from %s...", key->name, fileName);
            MemFree(key);
            continue;
        }
        if (hashed) keyNames.AddHash(hash);
    }
}

// --- Document --------------------------------------------------------------------

bool IniFile::AddKey(const char* sectionName, IniKey* key) {
    bool taken = false;
    return AddKeyRecord(sectionName, key, &taken);
}

bool IniFile::AddKeyRecord(const char* sectionName, IniKey* key, bool* taken) {
    *taken = false;
    if (key == nullptr) return false;
    IniSection* section = FindSection(sectionName);
    if (section == nullptr) {
        if (!text.Append(sectionName != nullptr ? sectionName : "")) {
            LogMessage("Unable to append string %s to the buffer!", sectionName != nullptr ? sectionName : "");
            return false;
        }
        section = static_cast<IniSection*>(MemAllocOrHeap(sizeof(IniSection)));
        if (section == nullptr) return false;
        section->name = text.Current();
        section->keys.Init();
        if (!sections.Append(section)) {
            LogMessage("Unable to append section %s to the list!", section->name);
            MemFree(section);
            return false;
        }
    }
    if (section->keys.FindByName(key->name)) return true;
    if (!section->keys.Append(key)) return false;
    *taken = true;
    return true;
}

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

// --- Getters ----------------------------------------------------------------------

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

// --- Record-defaults mode -----------------------------------------------------------

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

// --- Free getters ---------------------------------------------------------------------

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
