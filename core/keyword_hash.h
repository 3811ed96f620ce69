#pragma once
// The one string hash behind every keyword table of the program: the statement
// keywords of the description-file lexers, the static keyword tables of the
// calibration-file importer and the keyword table of the script compiler all
// place and find their words with it, so they must agree bit for bit.
#include <cstdint>

// 0 for a null pointer; otherwise each byte (taken unsigned) is added to twice
// the running value, and the bits above 24 are folded back into the low ones
// after every byte, so the value never reaches 2^25.
inline uint32_t keyword_hash(const char *text)
{
    uint32_t h = 0;
    if (!text)
        return 0;
    for (const unsigned char *p = reinterpret_cast<const unsigned char *>(text); *p; ++p) {
        const uint32_t t = 2 * h + *p;
        h = (t >> 24) + (t & 0xFFFFFF);
    }
    return h;
}
