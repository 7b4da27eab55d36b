#include "config/NumberText.h"

#include <climits>
#include <cstddef>
#include <cstdlib>

#if defined(_WIN32)
// msvcrt.dll's strtod under a name of our own: <cstdlib> of mingw-w64 maps
// strtod onto its own C99 conversion, so the import is named by its symbol.
#define ENVSYS_SYMBOL_TEXT(x) #x
#define ENVSYS_SYMBOL(prefix, name) ENVSYS_SYMBOL_TEXT(prefix) name
#define ENVSYS_MSVCRT_STRTOD ENVSYS_SYMBOL(__USER_LABEL_PREFIX__, "strtod")
extern "C" double __cdecl envsys_msvcrt_strtod(const char* text, char** end) __asm__(ENVSYS_MSVCRT_STRTOD);
#endif

namespace envsys {

double RuntimeStrtod(const char* text, char** end) {
#if defined(_WIN32)
    return envsys_msvcrt_strtod(text, end);
#else
    return std::strtod(text, end);
#endif
}

namespace {

// The blanks isspace accepts in the "C" locale; atol and strtod skip them.
bool IsLeadingSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// Powers of ten that a double holds exactly (10^22 is the largest).
constexpr double kExactPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                        1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
constexpr int kMaxExactPower = 22;
// Integers up to 2^53 are exact in a double.
constexpr uint64_t kMaxExactMantissa = uint64_t{1} << 53;
// Nineteen decimal digits always fit in 64 bits. A number with more is
// read by the runtime: its digits could not all be exact in a double anyway.
constexpr ptrdiff_t kMaxScannedDigits = 19;
// 18 digits cannot overflow the 64-bit integer value with its sign.
constexpr ptrdiff_t kMaxIntegerDigits = 18;

#if !defined(_WIN32)
int32_t SaturateLong(long value) {
    if (value > INT32_MAX) return INT32_MAX;
    if (value < INT32_MIN) return INT32_MIN;
    return static_cast<int32_t>(value);
}
#endif

float RuntimeFloat(const char* text) { return static_cast<float>(RuntimeStrtod(text, nullptr)); }

// One scan of a number's decimal form: blanks, sign, integer digits, and a
// point with fraction digits. Digits past the nineteenth wrap the mantissa
// around; the counts tell the readers below to hand such text on.
struct DecimalScan {
    const char* signAt; // first byte after the leading blanks
    const char* end;    // first byte after the digits read
    uint64_t integerPart;
    uint64_t mantissa; // every digit read, the point left out
    ptrdiff_t integerDigits;
    ptrdiff_t fractionDigits;
    bool negative;
};

inline uint64_t ReadDigits(const char** cursor, uint64_t value) {
    const auto* p = reinterpret_cast<const unsigned char*>(*cursor);
    for (unsigned digit = *p - 0x30u; digit <= 9; digit = *++p - 0x30u)
        value = value * 10 + digit;
    *cursor = reinterpret_cast<const char*>(p);
    return value;
}

#if defined(_WIN32)
// msvcrt also starts an exponent with "d" or "D".
constexpr bool kExponentD = true;
#else
constexpr bool kExponentD = false;
#endif

// The byte after the digits starts an exponent ("e", "E") or is the "x" of a
// hexadecimal number after a leading 0; setting bit 0x20 folds exactly those
// two pairs of letters onto "e" and "x" (and "D" onto "d").
inline bool ContinuesBeyondDecimal(char c) {
    const unsigned folded = static_cast<unsigned char>(c) | 0x20u;
    return folded == 'e' || folded == 'x' || (kExponentD && folded == 'd');
}

inline DecimalScan ScanDecimal(const char* text) {
    DecimalScan scan;
    const char* p = text;
    while (IsLeadingSpace(*p))
        ++p;
    scan.signAt = p;
    scan.negative = *p == '-';
    if (*p == '-' || *p == '+') ++p;
    const char* const first = p;
    scan.integerPart = ReadDigits(&p, 0);
    scan.integerDigits = p - first;
    scan.mantissa = scan.integerPart;
    scan.fractionDigits = 0;
    if (*p == '.') {
        const char* const fraction = ++p;
        scan.mantissa = ReadDigits(&p, scan.integerPart);
        scan.fractionDigits = p - fraction;
    }
    scan.end = p;
    return scan;
}

inline int32_t IntegerOf(const char* text, const DecimalScan& scan) {
#if defined(_WIN32)
    // msvcrt's atol accumulates the digits in a 32-bit long that wraps. The
    // scan's 64-bit accumulation wraps modulo 2^64, which keeps the residue
    // modulo 2^32 at any length.
    static_cast<void>(text);
    const auto magnitude = static_cast<uint32_t>(scan.integerPart);
    return static_cast<int32_t>(scan.negative ? 0u - magnitude : magnitude);
#else
    // Longer runs go to the runtime, whose long may be 32 or 64 bits wide and
    // saturates on its own terms.
    if (scan.integerDigits > kMaxIntegerDigits) return SaturateLong(std::atol(text));
    const auto value = static_cast<int64_t>(scan.integerPart);
    const int64_t signedValue = scan.negative ? -value : value;
    if (signedValue > INT32_MAX) return INT32_MAX;
    if (signedValue < INT32_MIN) return INT32_MIN;
    return static_cast<int32_t>(signedValue);
#endif
}

inline float FloatOf(const char* text, const DecimalScan& scan) {
    const ptrdiff_t digits = scan.integerDigits + scan.fractionDigits;
    if (digits == 0) {
        // No digits: text such as "inf", "nan" or "-.e" is the runtime's to
        // judge; a value that starts with any other byte is no number.
        const char c = *scan.signAt;
        if (c == '+' || c == '-' || c == '.' || c == 'i' || c == 'I' || c == 'n' || c == 'N') return RuntimeFloat(text);
        return 0.0f;
    }
    // An exponent, the "x" of a hexadecimal number after a leading 0, or a
    // mantissa a double cannot hold exactly. (Nineteen digits at most also
    // keep the fraction's power of ten within the exact ones.)
    if (ContinuesBeyondDecimal(*scan.end) || digits > kMaxScannedDigits || scan.mantissa > kMaxExactMantissa)
        return RuntimeFloat(text);
    static_assert(kMaxScannedDigits <= kMaxExactPower, "fraction powers stay exact");
    // Both operands are exact, and one IEEE division rounds correctly, so
    // this is the double strtod returns.
    double value = static_cast<double>(static_cast<int64_t>(scan.mantissa)) / kExactPowersOfTen[scan.fractionDigits];
    if (scan.negative) value = -value;
    return static_cast<float>(value);
}

} // namespace

bool ReadPlainDecimal(const char* text, float* value, const char** end) {
    const DecimalScan scan = ScanDecimal(text);
    const ptrdiff_t digits = scan.integerDigits + scan.fractionDigits;
    if (digits == 0 || digits > kMaxScannedDigits || scan.mantissa > kMaxExactMantissa ||
        ContinuesBeyondDecimal(*scan.end))
        return false;
    *value = FloatOf(text, scan);
    *end = scan.end;
    return true;
}

int32_t TextToInteger(const char* text) { return IntegerOf(text, ScanDecimal(text)); }

float TextToFloat(const char* text) { return FloatOf(text, ScanDecimal(text)); }

void TextToNumbers(const char* text, int32_t* integer, float* real) {
    const DecimalScan scan = ScanDecimal(text);
    *integer = IntegerOf(text, scan);
    *real = FloatOf(text, scan);
}

} // namespace envsys
