#include "plugin/MultibyteString.h"

#include <cstring>

#if defined(_WIN32)
#include <mbstring.h>
#endif

namespace envsys {

#if defined(_WIN32)

namespace {
const unsigned char* U(const char* s) { return reinterpret_cast<const unsigned char*>(s); }
unsigned char* U(char* s) { return reinterpret_cast<unsigned char*>(s); }
char* C(const unsigned char* s) { return const_cast<char*>(reinterpret_cast<const char*>(s)); }
} // namespace

char* MbsInc(const char* p) {
    // A lead byte right before the terminator would make the runtime step
    // over the terminator; treat it as a character of its own.
    if (p[0] == '\0') return const_cast<char*>(p);
    if (p[1] == '\0') return const_cast<char*>(p + 1);
    return C(_mbsinc(U(p)));
}
char* MbsChr(const char* s, unsigned int c) { return C(_mbschr(U(s), c)); }
char* MbsRChr(const char* s, unsigned int c) { return C(_mbsrchr(U(s), c)); }
char* MbsPBrk(const char* s, const char* set) { return C(_mbspbrk(U(s), U(set))); }
int MbsCmp(const char* a, const char* b) { return _mbscmp(U(a), U(b)); }
int MbsICmp(const char* a, const char* b) { return _mbsicmp(U(a), U(b)); }
char* MbsNBCpy(char* dst, const char* src, size_t n) { return C(_mbsnbcpy(U(dst), U(src), n)); }
char* MbsNBCat(char* dst, const char* src, size_t n) { return C(_mbsnbcat(U(dst), U(src), n)); }
int MbsNBCmp(const char* a, const char* b, size_t n) { return _mbsnbcmp(U(a), U(b), n); }
// A single byte is classed by the rule these functions are documented with:
// blanks are 0x20 and 0x09 to 0x0D, letters are the ASCII ones. Runtimes that
// class it by the code page's own tables instead (Wine's: 0xE9 a lower-case
// letter and 0xA0 a blank under 1252) would make names and values read
// differently from one machine to the next. Double-byte characters go to
// the runtime.
int IsMbcSpace(unsigned int c) { return c <= 0xFF ? c == ' ' || (c >= '\t' && c <= '\r') : _ismbcspace(c); }
int IsMbcLower(unsigned int c) { return c <= 0xFF ? c >= 'a' && c <= 'z' : _ismbclower(c); }
int IsMbcUpper(unsigned int c) { return c <= 0xFF ? c >= 'A' && c <= 'Z' : _ismbcupper(c); }
unsigned int MbcToUpper(unsigned int c) { return c <= 0xFF ? (IsMbcLower(c) ? c - ('a' - 'A') : c) : _mbctoupper(c); }
unsigned int MbcToLower(unsigned int c) { return c <= 0xFF ? (IsMbcUpper(c) ? c + ('a' - 'A') : c) : _mbctolower(c); }

#else

namespace {
unsigned int AsciiLower(unsigned int c) { return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c; }
} // namespace

char* MbsChr(const char* s, unsigned int c) { return const_cast<char*>(std::strchr(s, static_cast<int>(c))); }
char* MbsRChr(const char* s, unsigned int c) { return const_cast<char*>(std::strrchr(s, static_cast<int>(c))); }
char* MbsPBrk(const char* s, const char* set) { return const_cast<char*>(std::strpbrk(s, set)); }
int MbsCmp(const char* a, const char* b) { return std::strcmp(a, b); }
int MbsICmp(const char* a, const char* b) {
    const auto* x = reinterpret_cast<const unsigned char*>(a);
    const auto* y = reinterpret_cast<const unsigned char*>(b);
    for (;; ++x, ++y) {
        if (*x == *y) {
            if (*x == 0) return 0;
            continue;
        }
        // Bytes that differ but fold alike are letters, never the end.
        const unsigned int cx = AsciiLower(*x);
        const unsigned int cy = AsciiLower(*y);
        if (cx != cy) return cx < cy ? -1 : 1;
    }
}
char* MbsNBCpy(char* dst, const char* src, size_t n) { return std::strncpy(dst, src, n); }
char* MbsNBCat(char* dst, const char* src, size_t n) { return std::strncat(dst, src, n); }
int MbsNBCmp(const char* a, const char* b, size_t n) { return std::strncmp(a, b, n); }

#endif

} // namespace envsys
