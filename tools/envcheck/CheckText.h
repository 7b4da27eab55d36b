// Pieces of text the checks share: values quoted and numbers printed as the
// findings show them, the names the system forms from its patterns, and
// numbers and numbered names read as the system reads them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace envcheck {

std::string Quoted(const std::string& s);

// atol as the system reads it on this platform (out-of-range values
// saturate, or wrap modulo 2^32 under msvcrt).
int32_t Atol32(const std::string& s);

// A number as the findings and the dump print it ("%g").
std::string Number(double v);

// A numbered name: pattern given one integer ("LensFlare%03d").
std::string Format(const char* pattern, int a);

// The name the system forms, or false when it rejects the pattern.
bool FormatName(const std::string& pattern, const std::vector<int>& args, std::string* name);

// A component of a colour or vector as strtod reads it, with what is wrong.
struct ParsedNumber {
    double value = 0.0;
    std::string problem; // empty when the text is one clean number
};

ParsedNumber ParseFloat(const std::string& text);

// A numbered name taken apart: name is prefix + the number as numberPattern
// writes it + rest. False when it is not such a name.
bool ParseIndexed(const std::string& name, const std::string& prefix, const char* numberPattern, int* index,
                  std::string* rest);

// " [Section.Key]", which ends every finding about a key: the key's name
// as written in the file, its section's name literal (a lens flare's
// "LensFlare003", a material's own name), as `envcheck --explain` takes it.
std::string KeyTag(const std::string& section, const std::string& key);

} // namespace envcheck
