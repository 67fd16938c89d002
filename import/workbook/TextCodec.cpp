#include "import/workbook/TextCodec.h"

#include <cstring>

namespace rowpour::workbook
{

namespace
{

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// The code unit of an _xHHHH_ escape at `pos`, or -1.
int escapeAt(std::string_view text, std::size_t pos)
{
    if (pos + 7 > text.size() || text[pos] != '_' || (text[pos + 1] != 'x' && text[pos + 1] != 'X') ||
        text[pos + 6] != '_')
        return -1;
    int value = 0;
    for (std::size_t i = pos + 2; i < pos + 6; ++i) {
        const int h = hexValue(text[i]);
        if (h < 0)
            return -1;
        value = value * 16 + h;
    }
    return value;
}

} // namespace

bool isValidUtf8(std::string_view text)
{
    const auto *p = reinterpret_cast<const unsigned char *>(text.data());
    const auto *end = p + text.size();
    while (p < end) {
        if (end - p >= 8) {
            std::uint64_t chunk;
            std::memcpy(&chunk, p, 8);
            if ((chunk & 0x8080808080808080ULL) == 0) {
                p += 8;
                continue;
            }
        }
        const unsigned char c = *p;
        if (c < 0x80) {
            ++p;
            continue;
        }
        int extra;
        std::uint32_t cp;
        if (c >= 0xC2 && c <= 0xDF) {
            extra = 1;
            cp = c & 0x1F;
        } else if (c >= 0xE0 && c <= 0xEF) {
            extra = 2;
            cp = c & 0x0F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            extra = 3;
            cp = c & 0x07;
        } else {
            return false;
        }
        if (end - p <= extra)
            return false;
        for (int i = 1; i <= extra; ++i) {
            if ((p[i] & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (p[i] & 0x3F);
        }
        if ((extra == 2 && (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF))) ||
            (extra == 3 && (cp < 0x10000 || cp > 0x10FFFF)))
            return false;
        p += extra + 1;
    }
    return true;
}

void appendUtf8(std::string &out, std::uint32_t cp)
{
    if (cp < 0x80) {
        out += char(cp);
    } else if (cp < 0x800) {
        out += char(0xC0 | (cp >> 6));
        out += char(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += char(0xE0 | (cp >> 12));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    } else {
        out += char(0xF0 | (cp >> 18));
        out += char(0x80 | ((cp >> 12) & 0x3F));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    }
}

void decodeUnderscoreEscapes(std::string &text)
{
    std::size_t pos = text.find('_');
    if (pos == std::string::npos)
        return;
    std::string out(text, 0, pos);
    while (pos < text.size()) {
        const int unit = escapeAt(text, pos);
        if (unit < 0) {
            out += text[pos++];
            continue;
        }
        if (unit >= 0xD800 && unit <= 0xDBFF) {
            const int low = escapeAt(text, pos + 7);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                appendUtf8(out,
                           0x10000 + ((std::uint32_t(unit) - 0xD800) << 10) + (std::uint32_t(low) - 0xDC00));
                pos += 14;
                continue;
            }
        }
        if (unit >= 0xD800 && unit <= 0xDFFF) {
            out += text[pos++]; // a lone surrogate is no character: keep the text as written
            continue;
        }
        appendUtf8(out, std::uint32_t(unit));
        pos += 7;
    }
    text.swap(out);
}

} // namespace rowpour::workbook
