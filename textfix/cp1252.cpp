#include "textfix/cp1252.hpp"

#include <array>

namespace textfix::detail {
namespace {

// Bytes 0x80..0x9F of Windows-1252; 0 marks the five positions it leaves undefined.
constexpr std::array<char32_t, 32> kHighTable = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80-87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,       // 88-8F
    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90-97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,  // 98-9F
};

}  // namespace

char32_t cp1252_char(std::uint8_t byte) {
    if (byte < 0x80 || byte >= 0xA0) return byte;
    char32_t mapped = kHighTable[byte - 0x80];
    return mapped != 0 ? mapped : byte;
}

int cp1252_byte(char32_t cp) {
    if (cp < 0x100) return static_cast<int>(cp);
    // Few enough that a switch beats any table; the compiler turns it into a search.
    switch (cp) {
        case 0x20AC:
            return 0x80;
        case 0x201A:
            return 0x82;
        case 0x0192:
            return 0x83;
        case 0x201E:
            return 0x84;
        case 0x2026:
            return 0x85;
        case 0x2020:
            return 0x86;
        case 0x2021:
            return 0x87;
        case 0x02C6:
            return 0x88;
        case 0x2030:
            return 0x89;
        case 0x0160:
            return 0x8A;
        case 0x2039:
            return 0x8B;
        case 0x0152:
            return 0x8C;
        case 0x017D:
            return 0x8E;
        case 0x2018:
            return 0x91;
        case 0x2019:
            return 0x92;
        case 0x201C:
            return 0x93;
        case 0x201D:
            return 0x94;
        case 0x2022:
            return 0x95;
        case 0x2013:
            return 0x96;
        case 0x2014:
            return 0x97;
        case 0x02DC:
            return 0x98;
        case 0x2122:
            return 0x99;
        case 0x0161:
            return 0x9A;
        case 0x203A:
            return 0x9B;
        case 0x0153:
            return 0x9C;
        case 0x017E:
            return 0x9E;
        case 0x0178:
            return 0x9F;
        default:
            return -1;
    }
}

}  // namespace textfix::detail
