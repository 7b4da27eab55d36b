// Placeholder until the configuration library lands: an empty document in
// which every getter answers its default.
#include "config/IniFile.h"

#include <cstring>

namespace envsys {

IniFile::IniFile(const char*, int32_t recordDefaultsFlag, int32_t)
    : sections{}, text{}, recordDefaults(recordDefaultsFlag), emptyText(nullptr), trueText(nullptr),
      falseText(nullptr) {
    std::memset(fileName, 0, sizeof fileName);
    sections.cursorIndex = -1;
}
IniFile::~IniFile() = default;
int32_t IniFile::Load(const char*) { return 0; }
bool IniFile::AddKey(const char*, IniKey*) { return false; }
int32_t IniFile::GetInt(const char*, const char*, int32_t d) { return d; }
float IniFile::GetFloat(const char*, const char*, float d) { return d; }
int32_t IniFile::GetBool(const char*, const char*, int32_t d) { return d; }
void IniFile::GetString(const char*, const char*, const char* d, char* out, int32_t outSize, int32_t) {
    if (out == nullptr || outSize <= 0) return;
    out[0] = '\0';
    if (d != nullptr) {
        std::strncpy(out, d, static_cast<size_t>(outSize));
        out[outSize - 1] = '\0';
    }
}
int32_t IniFile::HasSection(const char*) { return 0; }
int32_t IniFile::CountSections(const char*) { return 0; }
int32_t IniFile::CountKeys(const char*, const char*) { return 0; }
bool IniFile::SetInt(const char*, const char*, int32_t) { return false; }
bool IniFile::SetFloat(const char*, const char*, float) { return false; }
bool IniFile::SetString(const char*, const char*, const char*) { return false; }
IniKey* IniFile::FindKey(const char*, const char*) { return nullptr; }

char* GetStringCopy(IniFile*, const char*, const char*, int32_t) { return nullptr; }
void GetVector(float* out3, IniFile*, const char*, const char*) {
    if (out3 != nullptr) out3[0] = out3[1] = out3[2] = 0.0f;
}
int32_t GetColor(float*, IniFile*, const char*, const char*) { return 0; }
int32_t GetColorAlpha(float*, IniFile*, const char*, const char*) { return 0; }

} // namespace envsys
