// The value numbers must be exactly what atol and strtod (then narrowed to a
// float) give: the fast decimal path is checked against the runtime on many
// generated texts of every form a value can take. On Windows the runtime is
// msvcrt.dll, reached here by name, apart from the import the system uses.
#include <gtest/gtest.h>

#if defined(_WIN32)
#include <windows.h>
#endif

#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "config/NumberText.h"
#include "tests/config/ConfigTestSupport.h"

namespace envsys {
namespace {

#if defined(_WIN32)
template <typename Function>
Function Msvcrt(const char* name) {
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("msvcrt.dll"), name)));
}
const auto RuntimeAtol = Msvcrt<long(__cdecl*)(const char*)>("atol");
const auto ReferenceStrtod = Msvcrt<double(__cdecl*)(const char*, char**)>("strtod");
constexpr bool kMsvcrt = true;
#else
long RuntimeAtol(const char* text) { return std::atol(text); }
double ReferenceStrtod(const char* text, char** end) { return std::strtod(text, end); }
constexpr bool kMsvcrt = false;
#endif

int32_t ReferenceInteger(const char* text) {
    const long value = RuntimeAtol(text);
    if (value > INT32_MAX) return INT32_MAX;
    if (value < INT32_MIN) return INT32_MIN;
    return static_cast<int32_t>(value);
}

uint32_t Bits(float f) {
    uint32_t bits;
    std::memcpy(&bits, &f, sizeof bits);
    return bits;
}

void ExpectSameAsRuntime(const std::string& text) {
    const char* s = text.c_str();
    EXPECT_EQ(TextToInteger(s), ReferenceInteger(s)) << '"' << text << '"';
    const float expected = static_cast<float>(ReferenceStrtod(s, nullptr));
    const float got = TextToFloat(s);
    if (std::isnan(expected))
        EXPECT_TRUE(std::isnan(got)) << '"' << text << '"';
    else
        EXPECT_EQ(Bits(got), Bits(expected)) << '"' << text << "\" gives " << got << ", strtod " << expected;
    // The parser's one-scan form must agree with the two separate readings.
    int32_t integer = 0;
    float real = 0.0f;
    TextToNumbers(s, &integer, &real);
    EXPECT_EQ(integer, TextToInteger(s)) << '"' << text << '"';
    EXPECT_EQ(Bits(real), Bits(got)) << '"' << text << '"';
}

TEST(NumberTextTest, WorkedValues) {
    EXPECT_EQ(TextToInteger(" 12.5abc"), 12);
    EXPECT_FLOAT_EQ(TextToFloat(" 12.5abc"), 12.5f);
    EXPECT_EQ(TextToInteger("\t-42"), -42);
    EXPECT_EQ(TextToInteger("0x1A"), 0);                      // atol reads decimal only
    EXPECT_EQ(TextToInteger("-0000000000000000000042"), -42); // 22 digits, most of them leading zeros
    EXPECT_FLOAT_EQ(TextToFloat("2.5e3"), 2500.0f);
    EXPECT_EQ(TextToFloat("textures\\sky.tga"), 0.0f);
    // Where the runtimes part: beyond 32 bits a C99 atol saturates while
    // msvcrt's keeps the digits modulo 2^32 (99999999999 - 23 x 2^32);
    // msvcrt's strtod reads no hexadecimal and no inf, and takes "d" for "e".
    struct Reading {
        const char* text;
        int32_t integer[2]; // C99 runtime, msvcrt
        float real[2];
    };
    const float inf = std::numeric_limits<float>::infinity();
    for (const Reading& r : {Reading{"99999999999", {INT32_MAX, 1215752191}, {1e11f, 1e11f}},
                             Reading{"-99999999999999999999", {INT32_MIN, -1661992959}, {-1e20f, -1e20f}},
                             Reading{"4294967297", {INT32_MAX, 1}, {4294967297.0f, 4294967297.0f}},
                             Reading{"0x1A", {0, 0}, {26.0f, 0.0f}}, Reading{"-inf", {0, 0}, {-inf, 0.0f}},
                             Reading{"1d5", {1, 1}, {1.0f, 1e5f}}, Reading{" 2.5D-1", {2, 2}, {2.5f, 0.25f}}}) {
        EXPECT_EQ(TextToInteger(r.text), r.integer[kMsvcrt]) << r.text;
        EXPECT_EQ(TextToFloat(r.text), r.real[kMsvcrt]) << r.text;
    }
    // 0.1 has no exact float: the nearest double, then the nearest float.
    EXPECT_EQ(Bits(TextToFloat("0.1")), Bits(static_cast<float>(0.1)));
}

TEST(NumberTextTest, GeneratedTextsMatchTheRuntime) {
    uint32_t state = 12345;
    auto next = [&state](uint32_t bound) {
        state = state * 1664525u + 1013904223u;
        return (state >> 8) % bound;
    };
    const char* const blanks[] = {"", " ", "  ", "\t", " \t ", "\v", "\f", "\r", "\n"};
    const char* const signs[] = {"", "", "-", "+", "--", "+-"};
    const char* const tails[] = {"", "", "", "abc", " ", ",0.5", "e", "e5", "E-3", "e+", ".", "x", "f", "d5", "D-2"};
    char digits[64];
    for (int i = 0; i < 200000; ++i) {
        std::string text = blanks[next(9)];
        text += signs[next(6)];
        switch (next(8)) {
        case 0: // integer of 1 to 25 digits
        case 1: {
            const int n = 1 + static_cast<int>(next(25));
            for (int d = 0; d < n; ++d)
                text += static_cast<char>('0' + next(10));
            break;
        }
        case 2: // the benchmark's and the files' usual forms
            std::snprintf(digits, sizeof digits, "%.6f", next(100000000) / 1000.0);
            text += digits;
            break;
        case 3:
            std::snprintf(digits, sizeof digits, "%.2f", next(101) / 100.0);
            text += digits;
            break;
        case 4: { // digits around a point, up to 30 of them, leading zeros included
            const int whole = static_cast<int>(next(12));
            const int fraction = static_cast<int>(next(26));
            for (int d = 0; d < whole; ++d)
                text += static_cast<char>('0' + next(10));
            text += '.';
            for (int d = 0; d < fraction; ++d)
                text += static_cast<char>('0' + next(10));
            break;
        }
        case 5: // exponent forms
            std::snprintf(digits, sizeof digits, "%.*e", static_cast<int>(next(10)),
                          (next(1000000) + 1) * std::pow(10.0, static_cast<int>(next(80)) - 40));
            text += digits;
            break;
        case 6: { // hexadecimal, with and without a fraction and binary exponent
            const char* const hex[] = {"0x1A", "0X10", "0x", "0x1.8p3", "0xffffffffff", "0x.8", "0xg"};
            text += hex[next(7)];
            break;
        }
        default: { // words strtod knows, and none
            const char* const words[] = {"inf", "INF", "infinity", "nan", "NaN(1)", "in", "n", ".", "", "abc"};
            text += words[next(10)];
        }
        }
        text += tails[next(15)];
        ExpectSameAsRuntime(text);
        if (HasFailure()) return;
    }
}

TEST(NumberTextTest, ExactLimitsOfTheFastPath) {
    // 2^53 and its neighbours; 22 and 23 digits after the point; 18 and 19
    // digits in an integer; the 32-bit bounds; halfway cases between two
    // floats; the float range.
    for (const std::string& text : testing::Split(
             "9007199254740992 9007199254740993 9007199254740991.5 0.1234567890123456789012 0.12345678901234567890123 "
             "999999999999999999 9999999999999999999 2147483647 2147483648 -2147483648 -2147483649 16777217 16777216.5 "
             "0.000000000000000000001 3.4028235e38 3.5e38 1e-46 -0 -0.0 00000000001",
             ' '))
        ExpectSameAsRuntime(text);
}

} // namespace
} // namespace envsys
