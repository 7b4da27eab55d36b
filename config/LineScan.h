// The parser's walk over a document's text, line by line from the buffer's
// cursor. These run once per line of every file parsed, so they stay inline
// in the parser.
#pragma once

#include <cstddef>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "config/TextBuffer.h"
#include "plugin/MultibyteString.h"

namespace envsys {

#if !defined(_WIN32)
// The length of the line at p: the bytes before its first CR, LF or NUL.
// limit is the end of the storage p lies in; the text always ends with a
// NUL before it. With SSE2 sixteen bytes are tested at a time, never reading
// past limit; elsewhere the runtime's strcspn does the same.
inline size_t LineLength(const char* p, const char* limit) {
#if defined(__SSE2__)
    const char* q = p;
    const __m128i cr = _mm_set1_epi8('\r');
    const __m128i lf = _mm_set1_epi8('\n');
    const __m128i nul = _mm_setzero_si128();
    for (; limit - q >= 16; q += 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(q));
        const __m128i stops = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(bytes, cr), _mm_cmpeq_epi8(bytes, lf)),
                                           _mm_cmpeq_epi8(bytes, nul));
        const auto mask = static_cast<unsigned>(_mm_movemask_epi8(stops));
        if (mask != 0) return static_cast<size_t>(q - p) + static_cast<size_t>(__builtin_ctz(mask));
    }
    return static_cast<size_t>(q - p) + std::strcspn(q, "\r\n");
#else
    (void)limit;
    return std::strcspn(p, "\r\n");
#endif
}
#endif

// The parser reads the text line by line from the buffer's cursor. Each line
// is cut at its first line break (the break becomes its terminator) when the
// parser reaches it, which leaves the same bytes as replacing every CR and LF
// of the text first, in one pass over the text instead of three. On Windows
// the code page decides which bytes are characters of their own, so the
// breaks are replaced character by character before the walk and a line
// ends at its terminator.
inline char* CutLine(const TextBuffer& text, size_t* length) {
    char* line = text.cursor;
#if defined(_WIN32)
    *length = std::strlen(line);
#else
    // Every CR LF pair leaves an empty line between its two bytes.
    if (line[0] == '\r' || line[0] == '\n' || line[0] == '\0') {
        line[0] = '\0';
        *length = 0;
        return line;
    }
    const size_t n = LineLength(line, text.base + text.capacity);
    line[n] = '\0';
    *length = n;
#endif
    return line;
}

inline void PassLine(TextBuffer* text, size_t length) { text->cursor += length + 1; }

inline bool HasMoreLines(const TextBuffer& text) { return text.base != nullptr && text.cursor < text.end; }

// Replaces every CR and LF of the text with a terminator, as the walk does
// line by line; for text the walk does not reach.
inline void CutEveryLine(char* start, char* stop) {
    for (char* p = start; p < stop;) {
        char* lineBreak = MbsPBrk(p, "\r\n");
        if (lineBreak == nullptr) {
            p += std::strlen(p) + 1;
            continue;
        }
        *lineBreak = '\0';
        p = lineBreak + 1;
    }
}

} // namespace envsys
