#include "config/IniFile.h"

#include <cstring>

#include "config/StringUtils.h"
#include "envsys/HostServices.h"
#include "plugin/Log.h"
#include "plugin/Memory.h"

namespace envsys {
namespace {

constexpr const char* kDefaultExtension = "INI";

} // namespace

void FreeKeys(IniSection* section) {
    for (ListNode* node = section->keys.head; node != nullptr; node = node->next)
        MemFree(node->data);
    section->keys.Clear();
}

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
    StrFree(&emptyText);
    StrFree(&trueText);
    StrFree(&falseText);
    text.Release();
}

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

} // namespace envsys
