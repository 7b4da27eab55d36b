// Numbers of configuration values: exactly what the C runtime's atol and
// strtod (then narrowed to a 32-bit float) give in the "C" locale, with the plain decimal forms
// that make up nearly every value converted without the runtime's general
// machinery. Anything else (hexadecimal, exponents, inf and nan, very long
// digit strings) is handed to the runtime.
//
// On Windows the runtime is msvcrt.dll, whose readings differ from the C99
// ones: strtod knows no hexadecimal, no inf and no nan (all read as 0) and
// takes "d" or "D" for the exponent's "e"; atol keeps the value of the digits
// modulo 2^32 instead of saturating.
#pragma once

#include <cstdint>

namespace envsys {

// atol as the 32-bit runtime gives it: msvcrt's keeps the digits modulo 2^32
// (so "4294967297" is 1); elsewhere, as a 32-bit C99 runtime, out-of-range
// values saturate at the limits of a 32-bit long.
int32_t TextToInteger(const char* text);

// The runtime's own strtod, the one the readings follow: msvcrt.dll's on
// Windows (not the C99 conversion that mingw-w64 puts in its place), the C
// library's elsewhere.
double RuntimeStrtod(const char* text, char** end);

// strtod of the text, converted to a 32-bit float.
float TextToFloat(const char* text);

// Both of the above from one scan of the text's leading digits.
void TextToNumbers(const char* text, int32_t* integer, float* real);

// The number at the start of text when it is a plain decimal (blanks, sign,
// digits, point, digits) that TextToFloat reads without the runtime, with
// end just after its last digit; false for anything else, so that a caller
// reading a number out of longer text knows where the number stops.
bool ReadPlainDecimal(const char* text, float* value, const char** end);

} // namespace envsys
