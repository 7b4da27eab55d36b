// The parser: a file's text into sections and keys, then its includes.
#include "config/IniFile.h"

#include <cstring>

#include "config/LineScan.h"
#include "config/NameFilter.h"
#include "config/NumberText.h"
#include "config/StringUtils.h"
#include "envsys/HostServices.h"
#include "plugin/Log.h"
#include "plugin/Memory.h"
#include "plugin/MultibyteString.h"
#include "plugin/PluginState.h"

namespace envsys {
namespace {

// Handle of a file the host could not open.
constexpr int32_t kNoFile = -1;

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// The state a search that found nothing leaves.
void ForgetCursor(PointerList* list) {
    list->cursor = nullptr;
    list->cursorIndex = -1;
}

} // namespace

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

} // namespace envsys
