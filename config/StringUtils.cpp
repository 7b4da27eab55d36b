#include "config/StringUtils.h"

#include <cstdio>
#include <cstring>

#include "plugin/Log.h"
#include "plugin/Memory.h"
#include "plugin/MultibyteString.h"
#include "plugin/PluginState.h"

namespace envsys {
namespace {

constexpr const char* kPathSeparator = "\\";
constexpr const char* kWorkingDirectory = ".\\";
constexpr const char* kExtensionDot = ".";
constexpr const char* kNullNameMessage = "%s: NULL string passed in as argument, no action taken.";

// Classification looks at a character's first byte only, as an unsigned
// value, so bytes of 0x80 and above are never sign-extended into a range the
// runtime would read as a double-byte code.
unsigned int FirstByte(const char* p) { return static_cast<unsigned char>(*p); }

bool IsSpaceAt(const char* p) { return IsMbcSpace(FirstByte(p)) != 0; }

// The byte after a dot is a separator: the dot belongs to ".\" and does not
// start an extension.
bool DotStartsExtension(const char* dot) { return MbsNBCmp(dot + 1, kPathSeparator, 1) != 0; }

// Steps 2 to 7 of both builders: out holds directory, separator and name.
void BuildPath(const char* directory, const char* name, char* out, int32_t outSize) {
    if (MbsRChr(name, '\\') != nullptr) {
        StrCopy(out, name, outSize);
        return;
    }
    StrCopy(out, directory != nullptr ? directory : kWorkingDirectory, outSize);
    int32_t room = outSize - static_cast<int32_t>(std::strlen(out)) - 1;
    if (room <= 0) return;
    const size_t length = std::strlen(out);
    if (length > 0 && out[length - 1] != '\\') {
        MbsNBCat(out, kPathSeparator, static_cast<size_t>(room));
        --room;
    }
    if (room > 0) MbsNBCat(out, name, static_cast<size_t>(room));
    out[outSize - 1] = '\0';
}

} // namespace

void StrClear(char* buffer) {
    if (buffer != nullptr) buffer[0] = '\0';
}

char* StrDuplicate(const char* s) {
    if (s == nullptr) return nullptr;
    const size_t size = std::strlen(s) + 1;
    auto* copy = static_cast<char*>(MemAlloc(static_cast<uint32_t>(size)));
    if (copy != nullptr) std::memcpy(copy, s, size);
    return copy;
}

void StrFree(char** s) {
    if (s == nullptr || *s == nullptr) return;
    MemFree(*s);
    *s = nullptr;
}

bool StrEqual(const char* a, const char* b, int32_t caseSensitive) {
    if (StrIsEmpty(a) || StrIsEmpty(b)) return false;
    return (caseSensitive == 0 ? MbsICmp(a, b) : MbsCmp(a, b)) == 0;
}

char* StrCopy(char* dst, const char* src, int32_t dstSize) {
    if (dst == nullptr || dstSize <= 0) return dst;
    if (StrIsEmpty(src)) {
        dst[0] = '\0';
        return dst;
    }
    MbsNBCpy(dst, src, static_cast<size_t>(dstSize));
    dst[dstSize - 1] = '\0';
    return dst;
}

char* StrToUpper(char* s) {
    if (StrIsEmpty(s)) return s;
    for (char* p = s; *p != '\0'; p = MbsInc(p))
        if (IsMbcLower(FirstByte(p))) *p = static_cast<char>(MbcToUpper(FirstByte(p)));
    return s;
}

char* StrToLower(char* s) {
    if (StrIsEmpty(s)) return s;
    for (char* p = s; *p != '\0'; p = MbsInc(p))
        if (IsMbcUpper(FirstByte(p))) *p = static_cast<char>(MbcToLower(FirstByte(p)));
    return s;
}

char* StrTrimRight(char* s) {
    if (StrIsEmpty(s)) return s;
#if defined(_WIN32)
    char* lastNonSpace = nullptr;
    for (char* p = s; *p != '\0'; p = MbsInc(p))
        if (!IsSpaceAt(p)) lastNonSpace = p;
    if (lastNonSpace != nullptr) *MbsInc(lastNonSpace) = '\0';
#else
    StrTrimRightKnown(s, std::strlen(s));
#endif
    return s;
}

char* StrTrim(char* s) {
    if (StrIsEmpty(s)) return s;
#if defined(_WIN32)
    char* p = s;
    while (*p != '\0' && IsSpaceAt(p))
        p = MbsInc(p);
    if (p != s) std::memmove(s, p, std::strlen(p) + 1);
    return StrTrimRight(s);
#else
    StrTrimKnown(s, std::strlen(s));
    return s;
#endif
}

size_t StrTrimRightKnown(char* s, size_t length) {
    if (StrIsEmpty(s)) return 0;
#if defined(_WIN32)
    StrTrimRight(s);
    return std::strlen(s);
#else
    // Every character is one byte here, so the last non-blank is found from
    // the end.
    size_t end = length;
    while (end > 0 && IsSpaceAt(s + end - 1))
        --end;
    // Blanks only are left as they are.
    if (end == 0) return length;
    s[end] = '\0';
    return end;
#endif
}

size_t StrTrimKnown(char* s, size_t length) {
    if (StrIsEmpty(s)) return 0;
#if defined(_WIN32)
    StrTrim(s);
    return std::strlen(s);
#else
    size_t lead = 0;
    while (lead < length && IsSpaceAt(s + lead))
        ++lead;
    if (lead > 0) {
        std::memmove(s, s + lead, length - lead + 1);
        length -= lead;
    }
    size_t end = length;
    while (end > 0 && IsSpaceAt(s + end - 1))
        --end;
    s[end] = '\0';
    return end;
#endif
}

void fmgCheckFilePath(const char* directory, const char* name, char* out, int32_t outSize) {
    if (StrIsEmpty(name)) {
        if (out != nullptr && outSize > 0) out[0] = '\0';
        LogMessage(kNullNameMessage, "fmgCheckFilePath");
        return;
    }
    if (out == nullptr || outSize <= 0) return;
    BuildPath(directory, name, out, outSize);
}

void fmgCheckFilename(const char* directory, const char* name, const char* extension, char* out, int32_t outSize) {
    if (StrIsEmpty(name)) {
        if (out != nullptr && outSize > 0) out[0] = '\0';
        LogMessage(kNullNameMessage, "fmgCheckFilename");
        return;
    }
    if (out == nullptr || outSize <= 0) return;
    BuildPath(directory, name, out, outSize);
    if (extension == nullptr) return;
    // The last dot of the whole path decides, so a dot in a directory name
    // counts as the extension of a name that has none.
    const char* dot = MbsRChr(out, '.');
    if (dot != nullptr && DotStartsExtension(dot)) return;
    int32_t room = outSize - static_cast<int32_t>(std::strlen(out)) - 1;
    if (room <= 0) return;
    const char* extensionDot = MbsRChr(extension, '.');
    if (extensionDot != nullptr && DotStartsExtension(extensionDot)) {
        MbsNBCat(out, extension, static_cast<size_t>(room));
    } else {
        MbsNBCat(out, kExtensionDot, static_cast<size_t>(room));
        --room;
        if (room > 0) MbsNBCat(out, extension, static_cast<size_t>(room));
    }
    out[outSize - 1] = '\0';
}

int32_t FileExists(const char* path, int32_t flags) {
    FileService* fmg = g_plugin.fmg;
    return fmg != nullptr ? fmg->Exists(path, flags) : 0;
}

// --- Name patterns -------------------------------------------------------------

namespace {

// Longest accepted conversion, "%" through the conversion letter: flags and
// three-digit width and precision fit; anything longer is not a name pattern.
constexpr size_t kMaxConversionLength = 15;
// Width and precision above this are rejected, so no conversion can ask the
// formatter for more than a name buffer's worth of padding.
constexpr int kMaxFieldWidth = 259;

bool IsFlag(char c) { return c == '-' || c == '+' || c == ' ' || c == '#' || c == '0'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsIntegerConversion(char c) { return c != '\0' && std::strchr("diuxXoc", c) != nullptr; }

// Reads the decimal number at *p (moving past it); false when it is above
// the limit.
bool ReadField(const char** p) {
    int value = 0;
    while (IsDigit(**p)) {
        value = value * 10 + (**p - '0');
        if (value > kMaxFieldWidth) return false;
        ++*p;
    }
    return true;
}

// Length of the conversion starting at the "%" at p, or 0 when it is not an
// accepted integer conversion.
size_t ConversionLength(const char* p) {
    const char* q = p + 1;
    bool alternate = false;
    bool zeroPad = false;
    for (; IsFlag(*q); ++q) {
        alternate = alternate || *q == '#';
        zeroPad = zeroPad || *q == '0';
    }
    if (!ReadField(&q)) return 0;
    const bool precision = *q == '.';
    if (precision) {
        ++q;
        if (!ReadField(&q)) return 0;
    }
    if (!IsIntegerConversion(*q)) return 0;
    // Combinations the formatter leaves undefined are refused as well.
    if (alternate && std::strchr("xXo", *q) == nullptr) return 0;
    if (*q == 'c' && (precision || zeroPad)) return 0;
    const size_t length = static_cast<size_t>(q - p) + 1;
    return length <= kMaxConversionLength ? length : 0;
}

bool PatternIsValid(const char* pattern, int32_t argCount) {
    int32_t conversions = 0;
    for (const char* p = pattern; *p != '\0';) {
        if (*p != '%') {
            ++p;
        } else if (p[1] == '%') {
            p += 2;
        } else {
            const size_t length = ConversionLength(p);
            if (length == 0 || ++conversions > argCount) return false;
            p += length;
        }
    }
    return true;
}

// Appends to out at *used, never past outSize - 1; returns false once full.
bool AppendBounded(char* out, int32_t outSize, int32_t* used, const char* text, size_t length) {
    const size_t room = static_cast<size_t>(outSize - 1 - *used);
    const size_t n = length < room ? length : room;
    std::memcpy(out + *used, text, n);
    *used += static_cast<int32_t>(n);
    out[*used] = '\0';
    return n == length;
}

} // namespace

bool FormatIntegerPattern(char* out, int32_t outSize, const char* pattern, int32_t argCount, int32_t a, int32_t b) {
    if (out == nullptr || outSize <= 0) return false;
    out[0] = '\0';
    if (pattern == nullptr || argCount < 0 || argCount > 2 || !PatternIsValid(pattern, argCount)) {
        LogMessage("Invalid name pattern %s!", pattern != nullptr ? pattern : "(null)");
        return false;
    }
    // Each conversion is formatted on its own with its own argument, so the
    // formatter only ever sees one validated conversion and one integer.
    const int32_t args[2] = {a, b};
    int32_t nextArg = 0;
    int32_t used = 0;
    for (const char* p = pattern; *p != '\0';) {
        const char* literal = p;
        while (*p != '\0' && *p != '%')
            ++p;
        if (!AppendBounded(out, outSize, &used, literal, static_cast<size_t>(p - literal))) break;
        if (*p == '\0') break;
        if (p[1] == '%') {
            if (!AppendBounded(out, outSize, &used, "%", 1)) break;
            p += 2;
            continue;
        }
        const size_t length = ConversionLength(p);
        char conversion[kMaxConversionLength + 1];
        std::memcpy(conversion, p, length);
        conversion[length] = '\0';
        p += length;
        // A width of 259 with sign and prefix stays well below this.
        char piece[kMaxFieldWidth + 32];
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
#endif
        const int written = std::snprintf(piece, sizeof piece, conversion, args[nextArg++]);
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif
        if (written < 0) break;
        const size_t pieceLength =
            static_cast<size_t>(written) < sizeof piece ? static_cast<size_t>(written) : sizeof piece - 1;
        if (!AppendBounded(out, outSize, &used, piece, pieceLength)) break;
    }
    return true;
}

} // namespace envsys
