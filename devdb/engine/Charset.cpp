#include "Charset.h"

#include <array>
#include <cctype>
#include <cstdint>

namespace devdb
{
namespace
{

constexpr char32_t kReplacement = 0xFFFD;

const Charset kCharsets[] = {
    {charset::US7ASCII, "US7ASCII", 1},         {charset::WE8ISO8859P1, "WE8ISO8859P1", 1},
    {charset::CL8MSWIN1251, "CL8MSWIN1251", 1}, {charset::WE8MSWIN1252, "WE8MSWIN1252", 1},
    {charset::CL8KOI8R, "CL8KOI8R", 1},         {charset::UTF8, "UTF8", 3},
    {charset::AL32UTF8, "AL32UTF8", 4},         {charset::AL16UTF16, "AL16UTF16", 2},
};

// The upper halves (0x80-0xFF) of the single-byte sets; U+FFFD marks a byte that is no character.
using UpperHalf = std::array<char16_t, 128>;

constexpr UpperHalf kWindows1251 = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, 0x20AC, 0x2030, 0x0409, 0x2039, 0x040A,
    0x040C, 0x040B, 0x040F, 0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0xFFFD, 0x2122,
    0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, 0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6,
    0x00A7, 0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407, 0x00B0, 0x00B1, 0x0406, 0x0456,
    0x0491, 0x00B5, 0x00B6, 0x00B7, 0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457, 0x0410,
    0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417, 0x0418, 0x0419, 0x041A, 0x041B, 0x041C, 0x041D,
    0x041E, 0x041F, 0x0420, 0x0421, 0x0422, 0x0423, 0x0424, 0x0425, 0x0426, 0x0427, 0x0428, 0x0429, 0x042A,
    0x042B, 0x042C, 0x042D, 0x042E, 0x042F, 0x0430, 0x0431, 0x0432, 0x0433, 0x0434, 0x0435, 0x0436, 0x0437,
    0x0438, 0x0439, 0x043A, 0x043B, 0x043C, 0x043D, 0x043E, 0x043F, 0x0440, 0x0441, 0x0442, 0x0443, 0x0444,
    0x0445, 0x0446, 0x0447, 0x0448, 0x0449, 0x044A, 0x044B, 0x044C, 0x044D, 0x044E, 0x044F,
};

constexpr UpperHalf kWindows1252 = {
    0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160, 0x2039, 0x0152,
    0xFFFD, 0x017D, 0xFFFD, 0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x02DC, 0x2122,
    0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178, 0x00A0, 0x00A1, 0x00A2, 0x00A3, 0x00A4, 0x00A5, 0x00A6,
    0x00A7, 0x00A8, 0x00A9, 0x00AA, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x00AF, 0x00B0, 0x00B1, 0x00B2, 0x00B3,
    0x00B4, 0x00B5, 0x00B6, 0x00B7, 0x00B8, 0x00B9, 0x00BA, 0x00BB, 0x00BC, 0x00BD, 0x00BE, 0x00BF, 0x00C0,
    0x00C1, 0x00C2, 0x00C3, 0x00C4, 0x00C5, 0x00C6, 0x00C7, 0x00C8, 0x00C9, 0x00CA, 0x00CB, 0x00CC, 0x00CD,
    0x00CE, 0x00CF, 0x00D0, 0x00D1, 0x00D2, 0x00D3, 0x00D4, 0x00D5, 0x00D6, 0x00D7, 0x00D8, 0x00D9, 0x00DA,
    0x00DB, 0x00DC, 0x00DD, 0x00DE, 0x00DF, 0x00E0, 0x00E1, 0x00E2, 0x00E3, 0x00E4, 0x00E5, 0x00E6, 0x00E7,
    0x00E8, 0x00E9, 0x00EA, 0x00EB, 0x00EC, 0x00ED, 0x00EE, 0x00EF, 0x00F0, 0x00F1, 0x00F2, 0x00F3, 0x00F4,
    0x00F5, 0x00F6, 0x00F7, 0x00F8, 0x00F9, 0x00FA, 0x00FB, 0x00FC, 0x00FD, 0x00FE, 0x00FF,
};

constexpr UpperHalf kKoi8r = {
    0x2500, 0x2502, 0x250C, 0x2510, 0x2514, 0x2518, 0x251C, 0x2524, 0x252C, 0x2534, 0x253C, 0x2580, 0x2584,
    0x2588, 0x258C, 0x2590, 0x2591, 0x2592, 0x2593, 0x2320, 0x25A0, 0x2219, 0x221A, 0x2248, 0x2264, 0x2265,
    0x00A0, 0x2321, 0x00B0, 0x00B2, 0x00B7, 0x00F7, 0x2550, 0x2551, 0x2552, 0x0451, 0x2553, 0x2554, 0x2555,
    0x2556, 0x2557, 0x2558, 0x2559, 0x255A, 0x255B, 0x255C, 0x255D, 0x255E, 0x255F, 0x2560, 0x2561, 0x0401,
    0x2562, 0x2563, 0x2564, 0x2565, 0x2566, 0x2567, 0x2568, 0x2569, 0x256A, 0x256B, 0x256C, 0x00A9, 0x044E,
    0x0430, 0x0431, 0x0446, 0x0434, 0x0435, 0x0444, 0x0433, 0x0445, 0x0438, 0x0439, 0x043A, 0x043B, 0x043C,
    0x043D, 0x043E, 0x043F, 0x044F, 0x0440, 0x0441, 0x0442, 0x0443, 0x0436, 0x0432, 0x044C, 0x044B, 0x0437,
    0x0448, 0x044D, 0x0449, 0x0447, 0x044A, 0x042E, 0x0410, 0x0411, 0x0426, 0x0414, 0x0415, 0x0424, 0x0413,
    0x0425, 0x0418, 0x0419, 0x041A, 0x041B, 0x041C, 0x041D, 0x041E, 0x041F, 0x042F, 0x0420, 0x0421, 0x0422,
    0x0423, 0x0416, 0x0412, 0x042C, 0x042B, 0x0417, 0x0428, 0x042D, 0x0429, 0x0427, 0x042A,
};

// The upper half of a single-byte set; nullptr for ASCII, Latin-1 (identity) and the Unicode sets.
const UpperHalf *upperHalfOf(int id)
{
    switch (id) {
    case charset::CL8MSWIN1251:
        return &kWindows1251;
    case charset::WE8MSWIN1252:
        return &kWindows1252;
    case charset::CL8KOI8R:
        return &kKoi8r;
    default:
        return nullptr;
    }
}

bool isUnicode(int id)
{
    return id == charset::AL32UTF8 || id == charset::UTF8 || id == charset::AL16UTF16;
}

// The Western European sets replace with the inverted question mark, the others with '?'.
unsigned char singleByteReplacement(int id)
{
    return id == charset::WE8ISO8859P1 || id == charset::WE8MSWIN1252 ? 0xBF : '?';
}

// Reads one character of UTF-8 at i; invalid sequences read as U+FFFD, one byte at a time.
char32_t nextCharacter(std::string_view s, std::size_t &i)
{
    auto byte = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
    unsigned char c = byte(i);
    if (c < 0x80) {
        ++i;
        return c;
    }
    int extra = c >= 0xF0 && c < 0xF5 ? 3 : c >= 0xE0 && c < 0xF0 ? 2 : c >= 0xC2 && c < 0xE0 ? 1 : -1;
    if (extra < 0 || i + static_cast<std::size_t>(extra) >= s.size()) {
        ++i;
        return kReplacement;
    }
    char32_t value = c & (0x3F >> extra);
    for (int k = 1; k <= extra; ++k) {
        unsigned char t = byte(i + static_cast<std::size_t>(k));
        if ((t & 0xC0) != 0x80) {
            ++i;
            return kReplacement;
        }
        value = (value << 6) | (t & 0x3F);
    }
    bool overlong = (extra == 2 && value < 0x800) || (extra == 3 && value < 0x10000);
    if (overlong || value > 0x10FFFF || (value >= 0xD800 && value < 0xE000)) {
        ++i;
        return kReplacement;
    }
    i += static_cast<std::size_t>(extra) + 1;
    return value;
}

void appendUtf8(std::string &out, char32_t c)
{
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// Oracle's UTF8 writes characters beyond the BMP as two three-byte surrogates.
void appendCesu8(std::string &out, char32_t c)
{
    if (c < 0x10000) {
        appendUtf8(out, c);
        return;
    }
    char32_t v = c - 0x10000;
    appendUtf8(out, 0xD800 + (v >> 10));
    appendUtf8(out, 0xDC00 + (v & 0x3FF));
}

std::string decodeCesu8(std::string_view bytes)
{
    std::string out;
    out.reserve(bytes.size());
    std::size_t i = 0;
    while (i < bytes.size()) {
        // Surrogates are not valid UTF-8, so a pair is read by hand.
        if (i + 5 < bytes.size() && static_cast<unsigned char>(bytes[i]) == 0xED &&
            (static_cast<unsigned char>(bytes[i + 1]) & 0xF0) == 0xA0 &&
            static_cast<unsigned char>(bytes[i + 3]) == 0xED &&
            (static_cast<unsigned char>(bytes[i + 4]) & 0xF0) == 0xB0) {
            char32_t high = 0xD000 | ((bytes[i + 1] & 0x3F) << 6) | (bytes[i + 2] & 0x3F);
            char32_t low = 0xD000 | ((bytes[i + 4] & 0x3F) << 6) | (bytes[i + 5] & 0x3F);
            appendUtf8(out, 0x10000 + ((high - 0xD800) << 10) + (low - 0xDC00));
            i += 6;
            continue;
        }
        appendUtf8(out, nextCharacter(bytes, i));
    }
    return out;
}

// The byte of a single-byte set for a character, or -1.
int singleByteOf(char32_t c, int id)
{
    if (c < 0x80)
        return static_cast<int>(c);
    if (id == charset::US7ASCII)
        return -1;
    if (id == charset::WE8ISO8859P1)
        return c < 0x100 ? static_cast<int>(c) : -1;
    const UpperHalf *half = upperHalfOf(id);
    for (std::size_t k = 0; k < half->size(); ++k) {
        if ((*half)[k] == c && c != kReplacement)
            return static_cast<int>(0x80 + k);
    }
    return -1;
}

char32_t characterOfByte(unsigned char b, int id)
{
    if (b < 0x80)
        return b;
    if (id == charset::US7ASCII)
        return kReplacement;
    if (id == charset::WE8ISO8859P1)
        return b;
    return (*upperHalfOf(id))[b - 0x80];
}

bool equalIgnoringCase(std::string_view a, const char *b)
{
    std::size_t i = 0;
    for (; i < a.size() && b[i]; ++i) {
        if (std::toupper(static_cast<unsigned char>(a[i])) != static_cast<unsigned char>(b[i]))
            return false;
    }
    return i == a.size() && !b[i];
}

char32_t upperCharacter(char32_t c)
{
    if (c >= 'a' && c <= 'z')
        return c - 32;
    if ((c >= 0xE0 && c <= 0xFE && c != 0xF7) || (c >= 0x430 && c <= 0x44F))
        return c - 32;
    if (c >= 0x450 && c <= 0x45F)
        return c - 80;
    if (c == 0xFF)
        return 0x178;
    if (c == 0x153 || c == 0x161 || c == 0x17E)
        return c - 1;
    return c;
}

char32_t lowerCharacter(char32_t c)
{
    if (c >= 'A' && c <= 'Z')
        return c + 32;
    if ((c >= 0xC0 && c <= 0xDE && c != 0xD7) || (c >= 0x410 && c <= 0x42F))
        return c + 32;
    if (c >= 0x400 && c <= 0x40F)
        return c + 80;
    if (c == 0x178)
        return 0xFF;
    if (c == 0x152 || c == 0x160 || c == 0x17D)
        return c + 1;
    return c;
}

template <class F> std::string mapCharacters(std::string_view utf8, F &&f)
{
    std::string out;
    out.reserve(utf8.size());
    std::size_t i = 0;
    while (i < utf8.size()) {
        unsigned char c = static_cast<unsigned char>(utf8[i]);
        if (c < 0x80) {
            out += static_cast<char>(f(c));
            ++i;
            continue;
        }
        std::size_t start = i;
        char32_t ch = nextCharacter(utf8, i);
        if (ch == kReplacement)
            out.append(utf8.substr(start, i - start)); // keep what is not UTF-8 as it was
        else
            appendUtf8(out, f(ch));
    }
    return out;
}

} // namespace

const Charset *findCharset(std::string_view name)
{
    for (const Charset &c : kCharsets) {
        if (equalIgnoringCase(name, c.name))
            return &c;
    }
    return nullptr;
}

const Charset *findCharset(int id)
{
    for (const Charset &c : kCharsets) {
        if (c.id == id)
            return &c;
    }
    return nullptr;
}

std::string decodeText(std::string_view bytes, int id)
{
    if (id == charset::AL32UTF8)
        return std::string(bytes);
    if (id == charset::UTF8)
        return decodeCesu8(bytes);
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 2);
    for (char b : bytes)
        appendUtf8(out, characterOfByte(static_cast<unsigned char>(b), id));
    return out;
}

std::string encodeText(std::string_view utf8, int id)
{
    if (id == charset::AL32UTF8)
        return std::string(utf8);
    std::string out;
    out.reserve(utf8.size());
    std::size_t i = 0;
    while (i < utf8.size()) {
        char32_t c = nextCharacter(utf8, i);
        if (id == charset::UTF8) {
            appendCesu8(out, c);
            continue;
        }
        int b = singleByteOf(c, id);
        out += static_cast<char>(b >= 0 ? b : singleByteReplacement(id));
    }
    return out;
}

std::string restrictText(std::string_view utf8, int id)
{
    if (isUnicode(id))
        return std::string(utf8);
    bool plain = true;
    for (char c : utf8)
        plain &= static_cast<unsigned char>(c) < 0x80;
    return plain ? std::string(utf8) : decodeText(encodeText(utf8, id), id);
}

std::size_t encodedLength(std::string_view utf8, int id)
{
    switch (id) {
    case charset::AL32UTF8:
        return utf8.size();
    case charset::UTF8: {
        std::size_t n = 0, i = 0;
        while (i < utf8.size()) {
            char32_t c = nextCharacter(utf8, i);
            n += c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 6;
        }
        return n;
    }
    case charset::AL16UTF16:
        return 2 * utf16Length(utf8);
    default:
        return characterCount(utf8);
    }
}

std::size_t characterCount(std::string_view utf8)
{
    std::size_t n = 0, i = 0;
    while (i < utf8.size()) {
        nextCharacter(utf8, i);
        ++n;
    }
    return n;
}

std::size_t utf16Length(std::string_view utf8)
{
    std::size_t n = 0, i = 0;
    while (i < utf8.size())
        n += nextCharacter(utf8, i) >= 0x10000 ? 2 : 1;
    return n;
}

std::size_t characterOffset(std::string_view utf8, std::size_t index)
{
    std::size_t i = 0;
    for (std::size_t k = 0; k < index && i < utf8.size(); ++k)
        nextCharacter(utf8, i);
    return i;
}

std::string upperText(std::string_view utf8)
{
    return mapCharacters(utf8, upperCharacter);
}

std::string lowerText(std::string_view utf8)
{
    return mapCharacters(utf8, lowerCharacter);
}

} // namespace devdb
