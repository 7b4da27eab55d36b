#include "config/NumberText.h"

#include <climits>
#include <cstdlib>

namespace envsys {
namespace {

// The blanks isspace accepts in the "C" locale; atol and strtod skip them.
bool IsLeadingSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Powers of ten that a double holds exactly (10^22 is the largest).
constexpr double kExactPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                        1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
constexpr int kMaxExactPower = 22;
// Integers up to 2^53 are exact in a double.
constexpr uint64_t kMaxExactMantissa = uint64_t{1} << 53;

int32_t SaturateLong(long value) {
    if (value > INT32_MAX) return INT32_MAX;
    if (value < INT32_MIN) return INT32_MIN;
    return static_cast<int32_t>(value);
}

} // namespace

int32_t TextToInteger(const char* text) {
    const char* p = text;
    while (IsLeadingSpace(*p))
        ++p;
    const bool negative = *p == '-';
    if (*p == '-' || *p == '+') ++p;
    // Up to 18 digits cannot overflow 64 bits; longer runs go to the runtime,
    // whose long may be 32 or 64 bits wide and saturates on its own terms.
    int64_t value = 0;
    int digits = 0;
    for (; IsDigit(*p); ++p) {
        if (++digits > 18) return SaturateLong(std::atol(text));
        value = value * 10 + (*p - '0');
    }
    if (negative) value = -value;
    if (value > INT32_MAX) return INT32_MAX;
    if (value < INT32_MIN) return INT32_MIN;
    return static_cast<int32_t>(value);
}

float TextToFloat(const char* text) {
    const char* p = text;
    while (IsLeadingSpace(*p))
        ++p;
    const char* const start = p;
    const bool negative = *p == '-';
    if (*p == '-' || *p == '+') ++p;
    uint64_t mantissa = 0;
    int digits = 0;
    int fractionDigits = 0;
    for (; IsDigit(*p); ++p, ++digits) {
        mantissa = mantissa * 10 + static_cast<uint64_t>(*p - '0');
        if (mantissa > kMaxExactMantissa) return static_cast<float>(std::strtod(text, nullptr));
    }
    if (*p == '.') {
        for (++p; IsDigit(*p); ++p, ++digits, ++fractionDigits) {
            mantissa = mantissa * 10 + static_cast<uint64_t>(*p - '0');
            if (mantissa > kMaxExactMantissa || fractionDigits >= kMaxExactPower)
                return static_cast<float>(std::strtod(text, nullptr));
        }
    }
    if (digits == 0) {
        // No digits: text such as "inf", "nan" or "-.e" is the runtime's to
        // judge; a value that starts with any other byte is no number.
        const char c = *start;
        if (c == '+' || c == '-' || c == '.' || c == 'i' || c == 'I' || c == 'n' || c == 'N')
            return static_cast<float>(std::strtod(text, nullptr));
        return 0.0f;
    }
    // An exponent, or the "x" of a hexadecimal number after a leading 0.
    if (*p == 'e' || *p == 'E' || *p == 'x' || *p == 'X') return static_cast<float>(std::strtod(text, nullptr));
    // Both operands are exact, and one IEEE division rounds correctly, so
    // this is the double strtod returns.
    double value = static_cast<double>(static_cast<int64_t>(mantissa)) / kExactPowersOfTen[fractionDigits];
    if (negative) value = -value;
    return static_cast<float>(value);
}

} // namespace envsys
