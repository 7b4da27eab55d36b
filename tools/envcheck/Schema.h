// Every section and key the EnvironmentSystem reads from an Environment File,
// with the reader it uses and the value it takes when the key is missing.
// The checker compares files against these tables, so they follow the
// loaders key for key.
#pragma once

#include <climits>
#include <string>
#include <vector>

namespace envcheck {

enum class KeyType {
    Float,
    Int,
    Bool,
    Text,
    Color,      // three components, clamped; missing keeps the previous colour
    ColorAlpha, // three or four components
    Vector,     // three components, missing ones read as 0
    Material,   // the name of a material section
    Pattern,    // a printf pattern given integers (see patternArgs)
    Enum,       // one word of a fixed list (see words)
    StarFile,   // the star data file's name
};

struct KeySpec {
    std::string name;
    KeyType type;
    std::string defaultText;        // what a missing key reads as, for the dump
    int patternArgs = 0;            // Pattern: how many integers the name is formed with
    std::string argsMeaning;        // Pattern: what those integers are
    std::vector<std::string> words; // Enum: index = stored value; no match reads as words[0]
    int maxLength = 259;            // Text-like values longer than this are cut
};

struct SectionSpec {
    std::string name;
    std::vector<KeySpec> keys;
};

// The sections with fixed names, in the order the loader reads them.
const std::vector<SectionSpec>& FixedSections();

// Keys of one lens-flare section ("LensFlare%03d").
const SectionSpec& LensFlareSection();

// Keys of a material section, without the texture-stage keys.
const SectionSpec& MaterialSection();

// Suffixes of the texture-stage keys ("TextureStage[%02d]." + suffix).
const std::vector<KeySpec>& TextureStageKeys();

// Suffixes of the wind-change keys ("WindChange[%02d]." + suffix).
const std::vector<KeySpec>& WindChangeKeys();

constexpr int kMaxTextureStages = 8;

// Finds the schema entry of a key by name without regard to case; null when none.
const KeySpec* FindKeySpec(const std::vector<KeySpec>& keys, const std::string& name);

// Case-insensitive ASCII comparison, as the configuration library compares names.
bool SameName(const std::string& a, const std::string& b);
std::string Lower(const std::string& s);

// Edit distance (insertions, deletions, substitutions, transpositions) of
// the two names compared without regard to case. With a bound, the count
// stops once the distance must exceed it and returns some value above it.
int NameDistance(const std::string& a, const std::string& b, int bound = INT_MAX);

// The candidate closest to name, when it is close enough to be a likely
// misspelling; empty otherwise.
std::string Suggest(const std::string& name, const std::vector<std::string>& candidates);

} // namespace envcheck
