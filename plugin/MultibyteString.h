// The runtime's multibyte string functions under names of our own. On Windows
// they forward to <mbstring.h>, so double-byte characters of the process's
// code page are stepped over whole; elsewhere they work byte by byte, which
// is what a single-byte code page gives. Strings are NUL-terminated.
#pragma once

#include <cstddef>

namespace envsys {

// The next character; never steps past the terminator.
char* MbsInc(const char* p);
char* MbsChr(const char* s, unsigned int c);
char* MbsRChr(const char* s, unsigned int c);
char* MbsPBrk(const char* s, const char* set);
int MbsCmp(const char* a, const char* b);
int MbsICmp(const char* a, const char* b);
// At most n bytes of src; pads with NUL up to n when src is shorter, and
// does not terminate dst when src is n bytes or longer (like strncpy).
char* MbsNBCpy(char* dst, const char* src, size_t n);
// Appends at most n bytes of src and terminates dst.
char* MbsNBCat(char* dst, const char* src, size_t n);
int MbsNBCmp(const char* a, const char* b, size_t n);
int IsMbcSpace(unsigned int c);
int IsMbcLower(unsigned int c);
int IsMbcUpper(unsigned int c);
unsigned int MbcToUpper(unsigned int c);
unsigned int MbcToLower(unsigned int c);

#if !defined(_WIN32)
// The single-byte layer is small enough to inline: trimming and line
// splitting step through every character of a document with it.
inline char* MbsInc(const char* p) { return const_cast<char*>(p[0] != '\0' ? p + 1 : p); }
inline int IsMbcSpace(unsigned int c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
inline int IsMbcLower(unsigned int c) { return c >= 'a' && c <= 'z'; }
inline int IsMbcUpper(unsigned int c) { return c >= 'A' && c <= 'Z'; }
inline unsigned int MbcToUpper(unsigned int c) { return IsMbcLower(c) ? c - ('a' - 'A') : c; }
inline unsigned int MbcToLower(unsigned int c) { return IsMbcUpper(c) ? c + ('a' - 'A') : c; }
#endif

} // namespace envsys
