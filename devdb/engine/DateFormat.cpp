#include "DateFormat.h"

#include "Charset.h"
#include "Errors.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <unordered_map>
#include <vector>

namespace devdb
{
namespace
{

enum class El {
    Literal,   // punctuation
    Quoted,    // text in double quotes
    Year4,     // YYYY, RRRR, SYYYY
    Year2,     // YY
    RYear2,    // RR
    Year1,     // Y
    Month,     // MM
    MonthAbbr, // MON
    MonthName, // MONTH
    Day,       // DD
    DayAbbr,   // DY
    DayName,   // DAY
    Hour24,
    Hour12,
    Minute,
    Second,
    Fraction, // FF, FF1..FF9
    Meridian, // AM, PM, A.M., P.M.
    Radix,    // X
    FillMode, // FM
    Exact,    // FX
    TzRegion, // TZR: the offset, "+02:00"
    TzHour,   // TZH
    TzMinute, // TZM
    TzAbbr,   // TZD: empty for an offset
};

struct Element {
    El kind;
    std::string text; // literal text, or the element as written (for letter case)
    int digits = 0;   // fraction digits
};

bool startsWith(const std::string &s, std::size_t pos, const char *upperPrefix)
{
    for (std::size_t k = 0; upperPrefix[k]; ++k) {
        if (pos + k >= s.size() || std::toupper(static_cast<unsigned char>(s[pos + k])) != upperPrefix[k])
            return false;
    }
    return true;
}

std::vector<Element> compile(const std::string &f)
{
    static const std::vector<std::pair<const char *, El>> names = {
        {"TZR", El::TzRegion},  {"TZH", El::TzHour},    {"TZM", El::TzMinute}, {"TZD", El::TzAbbr},
        {"SYYYY", El::Year4},   {"YYYY", El::Year4},    {"RRRR", El::Year4},   {"MONTH", El::MonthName},
        {"MON", El::MonthAbbr}, {"HH24", El::Hour24},   {"HH12", El::Hour12},  {"HH", El::Hour12},
        {"DAY", El::DayName},   {"DY", El::DayAbbr},    {"DD", El::Day},       {"MM", El::Month},
        {"MI", El::Minute},     {"SS", El::Second},     {"RR", El::RYear2},    {"YY", El::Year2},
        {"A.M.", El::Meridian}, {"P.M.", El::Meridian}, {"AM", El::Meridian},  {"PM", El::Meridian},
        {"FM", El::FillMode},   {"FX", El::Exact},      {"FF", El::Fraction},  {"X", El::Radix},
        {"Y", El::Year1},
    };
    std::vector<Element> out;
    std::size_t i = 0;
    while (i < f.size()) {
        unsigned char c = static_cast<unsigned char>(f[i]);
        if (c == '"') {
            std::size_t end = f.find('"', i + 1);
            if (end == std::string::npos)
                errors::raise(1821, errors::kDateFormatNotRecognized);
            out.push_back({El::Quoted, f.substr(i + 1, end - i - 1)});
            i = end + 1;
            continue;
        }
        if (!std::isalnum(c)) {
            out.push_back({El::Literal, std::string(1, static_cast<char>(c))});
            ++i;
            continue;
        }
        bool matched = false;
        for (const auto &[name, kind] : names) {
            if (startsWith(f, i, name)) {
                Element e{kind, f.substr(i, std::char_traits<char>::length(name))};
                i += e.text.size();
                if (kind == El::Fraction) {
                    e.digits = 9;
                    if (i < f.size() && f[i] >= '1' && f[i] <= '9')
                        e.digits = f[i++] - '0';
                }
                out.push_back(e);
                matched = true;
                break;
            }
        }
        if (!matched)
            errors::raise(1821, errors::kDateFormatNotRecognized);
    }
    return out;
}

// Formats are few (the session's and those written in statements): keep them compiled.
const std::vector<Element> &compiled(const std::string &format)
{
    thread_local std::unordered_map<std::string, std::vector<Element>> cache;
    auto it = cache.find(format);
    if (it != cache.end())
        return it->second;
    if (cache.size() > 256)
        cache.clear();
    return cache.emplace(format, compile(format)).first->second;
}

int currentYear()
{
    return currentDateTime(false).year;
}

int rrYear(int twoDigits)
{
    int now = currentYear();
    int century = now / 100 * 100;
    int nowTwo = now % 100;
    if (nowTwo < 50)
        return twoDigits < 50 ? century + twoDigits : century - 100 + twoDigits;
    return twoDigits < 50 ? century + 100 + twoDigits : century + twoDigits;
}

// The widest name of a list, in characters, for the blank padding of MONTH and DAY.
template <std::size_t N> std::size_t widestName(const std::array<const char *, N> &names)
{
    std::size_t widest = 0;
    for (const char *n : names)
        widest = std::max(widest, characterCount(n));
    return widest;
}

class Reader
{
public:
    explicit Reader(const std::string &t) : text(t), upper(upperText(t)) {}
    const std::string &text;
    const std::string upper; // same byte offsets as text: case changes keep each letter's length
    std::size_t pos = 0;
    bool exact = false; // FX: punctuation and widths as written, nothing left out

    bool atEnd() const { return pos >= text.size(); }
    bool isDigit() const { return !atEnd() && std::isdigit(static_cast<unsigned char>(text[pos])); }
    bool isLetter() const
    {
        return !atEnd() && (std::isalpha(static_cast<unsigned char>(text[pos])) ||
                            static_cast<unsigned char>(text[pos]) >= 0x80);
    }
    bool isPunctuation() const { return !atEnd() && !isDigit() && !isLetter(); }
    void skipBlanks()
    {
        while (!exact && !atEnd() && text[pos] == ' ')
            ++pos;
    }
    // Up to maxDigits digits; count of digits read in *read.
    int number(int maxDigits, int *read)
    {
        skipBlanks();
        int v = 0, n = 0;
        while (n < maxDigits && isDigit()) {
            v = v * 10 + (text[pos] - '0');
            ++pos;
            ++n;
        }
        if (n == 0)
            errors::raise(1858, errors::kNonNumeric);
        *read = n;
        return v;
    }
    bool startsWith(const char *upperName) const
    {
        std::size_t n = std::char_traits<char>::length(upperName);
        return upper.compare(pos, n, upperName) == 0;
    }
    // A name of either list (the longest that matches); its index, or -1.
    template <std::size_t N>
    int name(const std::array<const char *, N> &full, const std::array<const char *, N> &abbreviated)
    {
        skipBlanks();
        for (const auto *names : {&full, &abbreviated}) {
            int best = -1;
            std::size_t bestLength = 0;
            for (std::size_t k = 0; k < N; ++k) {
                std::size_t n = std::char_traits<char>::length((*names)[k]);
                if (n > bestLength && startsWith((*names)[k])) {
                    best = static_cast<int>(k);
                    bestLength = n;
                }
            }
            if (best >= 0) {
                pos += bestLength;
                return best;
            }
        }
        return -1;
    }
};

// Width of a numeric element as FX demands it.
int fullWidth(const Element &e)
{
    switch (e.kind) {
    case El::Year4:
        return 4;
    case El::Year1:
        return 1;
    case El::Fraction:
        return e.digits;
    default:
        return 2;
    }
}

} // namespace

void checkDateFormat(const std::string &format)
{
    compile(format);
}

DateTime parseDate(const std::string &text, const std::string &format, const Language &language)
{
    const auto &elements = compiled(format);
    DateTime now = currentDateTime(false);
    DateTime d;
    d.year = now.year;
    d.month = now.month;
    d.day = 1;
    int hour12 = -1;
    bool pm = false;
    bool fill = false;
    Reader r(text);
    bool lastNumberFull = true;
    auto checkWidth = [&](const Element &e, int read) {
        if (r.exact && !fill && read != fullWidth(e))
            errors::raise(1862, "the numeric value does not match the length of the format item");
    };
    for (const Element &e : elements) {
        if (e.kind == El::Exact) {
            r.exact = !r.exact;
            continue;
        }
        if (e.kind == El::FillMode) {
            fill = !fill;
            continue;
        }
        if (r.atEnd()) {
            if (r.exact)
                errors::raise(1840, errors::kInputNotLongEnough);
            break; // trailing elements may be left out
        }
        int read = 0;
        switch (e.kind) {
        case El::Literal:
        case El::Radix: {
            // Any run of punctuation or blanks matches any punctuation; it may
            // be left out after a number written with all its digits.
            if (r.exact) {
                char expected = e.kind == El::Radix ? '.' : e.text[0];
                if (r.text[r.pos] != expected)
                    errors::raise(1861, errors::kLiteralMismatch);
                ++r.pos;
                break;
            }
            std::size_t start = r.pos;
            while (r.isPunctuation())
                ++r.pos;
            if (r.pos == start && !lastNumberFull)
                errors::raise(1861, errors::kLiteralMismatch);
            break;
        }
        case El::Quoted: {
            // Quoted text must appear as written (in any letter case), after any punctuation.
            if (!r.exact)
                while (r.isPunctuation() && !r.startsWith(upperText(e.text).c_str()))
                    ++r.pos;
            std::string expected = upperText(e.text);
            if (!r.startsWith(expected.c_str()))
                errors::raise(1861, errors::kLiteralMismatch);
            r.pos += expected.size();
            lastNumberFull = true;
            break;
        }
        case El::Year4:
        case El::Year2:
        case El::RYear2:
        case El::Year1: {
            int v = r.number(4, &read);
            checkWidth(e, read);
            if (read <= 2 && e.kind == El::RYear2)
                v = rrYear(v);
            else if (read <= 2 && (e.kind == El::Year2 || e.kind == El::Year1))
                v = currentYear() / 100 * 100 + v;
            else if (read <= 2 && e.kind == El::Year4 && e.text.size() == 4 && std::toupper(e.text[0]) == 'R')
                v = rrYear(v);
            if (v == 0)
                errors::raise(1841, errors::kYearRange);
            d.year = v;
            lastNumberFull = read == 4 || (read == 2 && e.kind != El::Year4);
            break;
        }
        case El::Month:
            // MM also takes a month name; MON and MONTH take names only.
            if (!r.isLetter()) {
                int v = r.number(2, &read);
                checkWidth(e, read);
                if (v < 1 || v > 12)
                    errors::raise(1843, errors::kNotValidMonth);
                d.month = v;
                lastNumberFull = read == 2;
                break;
            }
            [[fallthrough]];
        case El::MonthAbbr:
        case El::MonthName: {
            int m = r.name(language.months, language.monthAbbreviations);
            if (m < 0)
                errors::raise(1843, errors::kNotValidMonth);
            d.month = m + 1;
            lastNumberFull = true;
            break;
        }
        case El::Day: {
            int v = r.number(2, &read);
            checkWidth(e, read);
            if (v < 1 || v > 31)
                errors::raise(1847, errors::kDayOfMonth);
            d.day = v;
            lastNumberFull = read == 2;
            break;
        }
        case El::DayAbbr:
        case El::DayName:
            if (r.name(language.days, language.dayAbbreviations) < 0)
                errors::raise(1846, errors::kNotValidDayOfWeek);
            lastNumberFull = true;
            break;
        case El::Hour24: {
            int v = r.number(2, &read);
            checkWidth(e, read);
            if (v > 23)
                errors::raise(1850, errors::kHourRange);
            d.hour = v;
            lastNumberFull = read == 2;
            break;
        }
        case El::Hour12: {
            int v = r.number(2, &read);
            checkWidth(e, read);
            if (v < 1 || v > 12)
                errors::raise(1849, errors::kHour12Range);
            hour12 = v;
            lastNumberFull = read == 2;
            break;
        }
        case El::Minute: {
            int v = r.number(2, &read);
            checkWidth(e, read);
            if (v > 59)
                errors::raise(1851, errors::kMinuteRange);
            d.minute = v;
            lastNumberFull = read == 2;
            break;
        }
        case El::Second: {
            int v = r.number(2, &read);
            checkWidth(e, read);
            if (v > 59)
                errors::raise(1852, errors::kSecondRange);
            d.second = v;
            lastNumberFull = read == 2;
            break;
        }
        case El::Fraction: {
            int v = r.number(9, &read);
            for (int k = read; k < 9; ++k)
                v *= 10;
            d.nanosecond = v;
            lastNumberFull = true;
            break;
        }
        case El::Meridian:
            r.skipBlanks();
            if (r.startsWith("A.M.") || r.startsWith("P.M.")) {
                pm = r.upper[r.pos] == 'P';
                r.pos += 4;
            } else if (r.startsWith("AM") || r.startsWith("PM")) {
                pm = r.upper[r.pos] == 'P';
                r.pos += 2;
            } else {
                errors::raise(1855, "AM/A.M. or PM/P.M. required");
            }
            lastNumberFull = true;
            break;
        case El::TzRegion: {
            r.skipBlanks();
            if (r.startsWith("UTC") || r.startsWith("GMT")) {
                r.pos += 3;
                d.zoned = true;
                d.zoneMinutes = 0;
                break;
            }
            bool negative = !r.atEnd() && r.text[r.pos] == '-';
            if (!r.atEnd() && (r.text[r.pos] == '+' || r.text[r.pos] == '-'))
                ++r.pos;
            int hours = r.number(2, &read);
            int minutes = 0;
            if (!r.atEnd() && r.text[r.pos] == ':') {
                ++r.pos;
                minutes = r.number(2, &read);
            }
            if (hours > 14 || minutes > 59)
                errors::raise(1874, "time zone hour must be between -15 and 15");
            d.zoned = true;
            d.zoneMinutes = (negative ? -1 : 1) * (hours * 60 + minutes);
            lastNumberFull = true;
            break;
        }
        case El::TzHour: {
            r.skipBlanks();
            bool negative = !r.atEnd() && r.text[r.pos] == '-';
            if (!r.atEnd() && (r.text[r.pos] == '+' || r.text[r.pos] == '-'))
                ++r.pos;
            int hours = r.number(2, &read);
            d.zoned = true;
            d.zoneMinutes = (negative ? -60 : 60) * hours + (d.zoneMinutes % 60);
            lastNumberFull = read == 2;
            break;
        }
        case El::TzMinute: {
            int minutes = r.number(2, &read);
            d.zoned = true;
            d.zoneMinutes += d.zoneMinutes < 0 ? -minutes : minutes;
            lastNumberFull = read == 2;
            break;
        }
        case El::TzAbbr:
        case El::FillMode:
        case El::Exact:
            break;
        }
    }
    r.skipBlanks();
    if (!r.atEnd())
        errors::raise(1830, errors::kPictureEnds);
    if (hour12 >= 0)
        d.hour = hour12 % 12 + (pm ? 12 : 0);
    if (d.day > daysInMonth(d.year, d.month))
        errors::raise(1839, errors::kDateNotValidForMonth);
    return d;
}

std::string formatDate(const DateTime &v, const std::string &format, const Language &language, char radix)
{
    const auto &elements = compiled(format);
    std::string out;
    bool fill = false;
    auto num = [&](int value, int width) {
        char buf[16];
        if (fill)
            std::snprintf(buf, sizeof buf, "%d", value);
        else
            std::snprintf(buf, sizeof buf, "%0*d", width, value);
        out += buf;
    };
    // Names follow the letter case of the element: "MON" MAY, "Mon" May, "mon" may.
    // MONTH and DAY are blank-padded to the longest name of the language, MON and DY not.
    auto name = [&](const char *upperName, const std::string &written, std::size_t padTo) {
        bool upper1 = std::isupper(static_cast<unsigned char>(written[0])) != 0;
        bool upper2 = written.size() > 1 && std::isupper(static_cast<unsigned char>(written[1])) != 0;
        std::string n = upperName;
        if (!upper2) {
            std::size_t first = characterOffset(n, 1);
            n = (upper1 ? n.substr(0, first) : lowerText(n.substr(0, first))) + lowerText(n.substr(first));
        }
        std::size_t width = characterCount(n);
        if (!fill && width < padTo)
            n.append(padTo - width, ' ');
        out += n;
    };
    for (const Element &e : elements) {
        switch (e.kind) {
        case El::Literal:
        case El::Quoted:
            out += e.text;
            break;
        case El::Radix:
            out += radix;
            break;
        case El::Year4:
            num(v.year, 4);
            break;
        case El::Year2:
        case El::RYear2:
            num(v.year % 100, 2);
            break;
        case El::Year1:
            num(v.year % 10, 1);
            break;
        case El::Month:
            num(v.month, 2);
            break;
        case El::MonthAbbr:
            name(language.monthAbbreviations[static_cast<std::size_t>(v.month - 1)], e.text, 0);
            break;
        case El::MonthName:
            name(language.months[static_cast<std::size_t>(v.month - 1)], e.text, widestName(language.months));
            break;
        case El::Day:
            num(v.day, 2);
            break;
        case El::DayAbbr:
        case El::DayName: {
            std::tm tm{};
            tm.tm_year = v.year - 1900;
            tm.tm_mon = v.month - 1;
            tm.tm_mday = v.day;
            tm.tm_hour = 12;
            timegm(&tm);
            auto day = static_cast<std::size_t>(tm.tm_wday);
            if (e.kind == El::DayAbbr)
                name(language.dayAbbreviations[day], e.text, 0);
            else
                name(language.days[day], e.text, widestName(language.days));
            break;
        }
        case El::Hour24:
            num(v.hour, 2);
            break;
        case El::Hour12:
            num(v.hour % 12 == 0 ? 12 : v.hour % 12, 2);
            break;
        case El::Minute:
            num(v.minute, 2);
            break;
        case El::Second:
            num(v.second, 2);
            break;
        case El::Fraction: {
            char buf[16];
            std::snprintf(buf, sizeof buf, "%09d", v.nanosecond);
            // FF alone writes the fraction digits of the value's type.
            int digits = e.text.size() == 2 && e.digits == 9 ? v.fractionDigits : e.digits;
            out.append(buf, static_cast<std::size_t>(std::clamp(digits, 0, 9)));
            break;
        }
        case El::Meridian: {
            bool pm = v.hour >= 12;
            const char *m = e.text.size() == 4 ? (pm ? "P.M." : "A.M.") : (pm ? "PM" : "AM");
            name(m, e.text, 0);
            break;
        }
        case El::TzRegion:
        case El::TzHour:
        case El::TzMinute: {
            int offset = v.zoneMinutes < 0 ? -v.zoneMinutes : v.zoneMinutes;
            char buf[16];
            if (e.kind == El::TzRegion)
                std::snprintf(buf, sizeof buf, "%c%02d:%02d", v.zoneMinutes < 0 ? '-' : '+', offset / 60,
                              offset % 60);
            else if (e.kind == El::TzHour)
                std::snprintf(buf, sizeof buf, "%c%02d", v.zoneMinutes < 0 ? '-' : '+', offset / 60);
            else
                std::snprintf(buf, sizeof buf, "%02d", offset % 60);
            out += buf;
            break;
        }
        case El::FillMode:
            fill = !fill;
            break;
        case El::TzAbbr:
        case El::Exact:
            break;
        }
    }
    return out;
}

int daysInMonth(int year, int month)
{
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month == 2) {
        bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
        return leap ? 29 : 28;
    }
    return days[month - 1];
}

std::string dateToStorage(const DateTime &v, bool withFraction)
{
    char buf[64];
    int n;
    if (withFraction)
        n = std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d.%09d", v.year, v.month, v.day,
                          v.hour, v.minute, v.second, v.nanosecond);
    else
        n = std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", v.year, v.month, v.day, v.hour,
                          v.minute, v.second);
    if (v.zoned) {
        int offset = v.zoneMinutes < 0 ? -v.zoneMinutes : v.zoneMinutes;
        std::snprintf(buf + n, sizeof buf - static_cast<std::size_t>(n), " %c%02d:%02d",
                      v.zoneMinutes < 0 ? '-' : '+', offset / 60, offset % 60);
    }
    return buf;
}

DateTime dateFromStorage(const std::string &text)
{
    DateTime d;
    std::sscanf(text.c_str(), "%d-%d-%d %d:%d:%d.%d", &d.year, &d.month, &d.day, &d.hour, &d.minute,
                &d.second, &d.nanosecond);
    // "... +HH:MM" for values with a time zone.
    auto zone = text.find_first_of("+-", 19);
    if (zone != std::string::npos) {
        int hours = 0, minutes = 0;
        std::sscanf(text.c_str() + zone + 1, "%d:%d", &hours, &minutes);
        d.zoned = true;
        d.zoneMinutes = (text[zone] == '-' ? -1 : 1) * (hours * 60 + minutes);
    }
    return d;
}

int sessionZoneMinutes()
{
    std::time_t t = std::time(nullptr);
    std::tm tm{};
    localtime_r(&t, &tm);
    return static_cast<int>(tm.tm_gmtoff / 60);
}

DateTime currentDateTime(bool withFraction)
{
    auto now = std::chrono::system_clock::now();
    std::time_t t = std::chrono::system_clock::to_time_t(now);
    std::tm tm{};
    localtime_r(&t, &tm);
    DateTime d{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec, 0};
    if (withFraction) {
        auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(now.time_since_epoch()).count();
        d.nanosecond = static_cast<int>(ns % 1000000000);
    }
    return d;
}

} // namespace devdb
