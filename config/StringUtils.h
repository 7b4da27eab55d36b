// String and file-name utilities over NUL-terminated multibyte text. Every
// function accepts null strings and then does nothing harmful.
#pragma once

#include <cstddef>
#include <cstdint>

namespace envsys {

// Inline: every lookup asks it of its names.
inline bool StrIsEmpty(const char* s) { return s == nullptr || s[0] == '\0'; }
void StrClear(char* buffer);
char* StrDuplicate(const char* s); // MemAlloc copy, or null
void StrFree(char** s);
bool StrEqual(const char* a, const char* b, int32_t caseSensitive);
char* StrCopy(char* dst, const char* src, int32_t dstSize);
char* StrToUpper(char* s);
char* StrToLower(char* s);
char* StrTrim(char* s);
char* StrTrimRight(char* s);
// StrTrim and StrTrimRight of text whose length is known (its terminator at
// s[length]), returning the new length: the parser knows every line's.
size_t StrTrimKnown(char* s, size_t length);
size_t StrTrimRightKnown(char* s, size_t length);

void fmgCheckFilePath(const char* directory, const char* name, char* out, int32_t outSize);
void fmgCheckFilename(const char* directory, const char* name, const char* extension, char* out, int32_t outSize);
int32_t FileExists(const char* path, int32_t flags);

// Formats a file-name pattern from an Environment File with integer
// arguments. Patterns are checked first: only integer conversions (d i u x X
// o c, with flags, width and precision, no '*' and no length modifier) and
// "%%" are accepted, and no more conversions than arguments. A rejected
// pattern is logged and gives false with an empty out; the pattern is never
// handed to a formatting function then.
bool FormatIntegerPattern(char* out, int32_t outSize, const char* pattern, int32_t argCount, int32_t a = 0,
                          int32_t b = 0);

} // namespace envsys
