// Placeholder until the configuration library lands.
#include "config/StringUtils.h"

#include <cstring>

#include "plugin/PluginState.h"

namespace envsys {

bool StrIsEmpty(const char* s) { return s == nullptr || s[0] == '\0'; }
void StrClear(char* buffer) {
    if (buffer != nullptr) buffer[0] = '\0';
}
char* StrDuplicate(const char*) { return nullptr; }
void StrFree(char** s) {
    if (s != nullptr) *s = nullptr;
}
bool StrEqual(const char* a, const char* b, int32_t) {
    return !StrIsEmpty(a) && !StrIsEmpty(b) && std::strcmp(a, b) == 0;
}
char* StrCopy(char* dst, const char* src, int32_t dstSize) {
    if (dst == nullptr || dstSize <= 0) return dst;
    dst[0] = '\0';
    if (src != nullptr) {
        std::strncpy(dst, src, static_cast<size_t>(dstSize));
        dst[dstSize - 1] = '\0';
    }
    return dst;
}
char* StrToUpper(char* s) { return s; }
char* StrToLower(char* s) { return s; }
char* StrTrim(char* s) { return s; }
char* StrTrimRight(char* s) { return s; }
void fmgCheckFilePath(const char*, const char* name, char* out, int32_t outSize) { StrCopy(out, name, outSize); }
void fmgCheckFilename(const char*, const char* name, const char*, char* out, int32_t outSize) {
    StrCopy(out, name, outSize);
}
int32_t FileExists(const char* path, int32_t flags) {
    FileService* fmg = g_plugin.fmg;
    return fmg != nullptr ? fmg->Exists(path, flags) : 0;
}
bool FormatIntegerPattern(char* out, int32_t outSize, const char*, int32_t, int32_t, int32_t) {
    StrClear(outSize > 0 ? out : nullptr);
    return false;
}

} // namespace envsys
