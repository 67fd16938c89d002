#include "import/OracleDateText.h"

#include <array>
#include <utility>

namespace rowpour
{

namespace
{

using Kind = OracleDateFormat::Kind;

// The elements this reader follows, longest first where one begins another.
// A null kind marks an element it does not follow.
struct Name {
    const char *text;
    std::optional<Kind> kind;
};
constexpr Name kNames[] = {
    {"A.M.", Kind::Meridian},   {"P.M.", Kind::Meridian}, {"SSSSS", std::nullopt}, {"SYYYY", std::nullopt},
    {"MONTH", Kind::MonthName}, {"HH24", Kind::Hour24},   {"HH12", Kind::Hour12},  {"YYYY", Kind::Year4},
    {"RRRR", Kind::RoundYear4}, {"YYY", std::nullopt},    {"DDD", std::nullopt},   {"DAY", Kind::DayName},
    {"MON", Kind::MonthName},   {"FF", Kind::Fraction},   {"HH", Kind::Hour12},    {"MI", Kind::Minute},
    {"SS", Kind::Second},       {"MM", Kind::Month},      {"DD", Kind::Day},       {"DY", Kind::DayName},
    {"YY", Kind::Year2},        {"RR", Kind::RoundYear2}, {"AM", Kind::Meridian},  {"PM", Kind::Meridian},
    {"Y", Kind::Year1},
};

constexpr std::array<const char *, 12> kMonths = {"JANUARY",   "FEBRUARY", "MARCH",    "APRIL",
                                                  "MAY",       "JUNE",     "JULY",     "AUGUST",
                                                  "SEPTEMBER", "OCTOBER",  "NOVEMBER", "DECEMBER"};
constexpr std::array<const char *, 12> kMonthAbbreviations = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN",
                                                              "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};
constexpr std::array<const char *, 7> kDays = {"SUNDAY",   "MONDAY", "TUESDAY", "WEDNESDAY",
                                               "THURSDAY", "FRIDAY", "SATURDAY"};
constexpr std::array<const char *, 7> kDayAbbreviations = {"SUN", "MON", "TUE", "WED", "THU", "FRI", "SAT"};

// Oracle's texts of the refusals the reader tells apart.
ValueReading refused(int code)
{
    static const std::pair<int, const char *> texts[] = {
        {1830, "date format picture ends before converting entire input string"},
        {1839, "date not valid for month specified"},
        {1841, "(full) year must be between -4713 and +9999, and not be 0"},
        {1843, "not a valid month"},
        {1846, "not a valid day of the week"},
        {1847, "day of month must be between 1 and last day of month"},
        {1849, "hour must be between 1 and 12"},
        {1850, "hour must be between 0 and 23"},
        {1851, "minute must be between 0 and 59"},
        {1852, "seconds must be between 0 and 59"},
        {1855, "AM/A.M. or PM/P.M. required"},
        {1858, "a non-numeric character was found where a numeric was expected"},
        {1861, "literal does not match format string"},
    };
    for (const auto &[number, text] : texts) {
        if (number == code)
            return {Verdict::Refused, code, QString::fromLatin1(text)};
    }
    return {Verdict::Refused, code, {}};
}

// Thrown inside the reader to end a reading with its verdict.
struct Ended {
    ValueReading reading;
};

[[noreturn]] void refuse(int code)
{
    throw Ended{refused(code)};
}

bool isLeapYear(int year)
{
    // Oracle counts years before the Gregorian reform in the Julian calendar.
    return year % 4 == 0 && (year < 1583 || year % 100 != 0 || year % 400 == 0);
}

int daysInMonth(int year, int month)
{
    static constexpr int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && isLeapYear(year) ? 29 : days[month - 1];
}

// A two-digit year in the fifty-year window around the current year.
int roundYear(int twoDigits, int currentYear)
{
    const int century = currentYear / 100 * 100;
    if (currentYear % 100 < 50)
        return twoDigits < 50 ? century + twoDigits : century - 100 + twoDigits;
    return twoDigits < 50 ? century + 100 + twoDigits : century + twoDigits;
}

class Reader
{
public:
    Reader(const QString &text, bool englishNames) : text_(text), upper_(text), english_(englishNames)
    {
        // Letter by letter, so that every offset stays that of the text.
        for (QChar &c : upper_)
            c = c.toUpper();
    }

    bool atEnd() const { return pos_ >= text_.size(); }
    bool atDigit() const
    {
        return !atEnd() && text_[pos_] >= QLatin1Char('0') && text_[pos_] <= QLatin1Char('9');
    }
    bool atLetter() const { return !atEnd() && text_[pos_].isLetter(); }
    bool atPunctuation() const { return !atEnd() && !atDigit() && !atLetter(); }
    void skipBlanks()
    {
        while (!atEnd() && text_[pos_] == QLatin1Char(' '))
            ++pos_;
    }
    // Skips a run of punctuation and blanks; false when there was none.
    bool skipPunctuation()
    {
        const qsizetype start = pos_;
        while (atPunctuation())
            ++pos_;
        return pos_ > start;
    }
    bool startsWith(const QString &upperText) const
    {
        return QStringView(upper_).mid(pos_).startsWith(upperText);
    }
    void skip(qsizetype count) { pos_ += count; }

    // Up to maxDigits digits after any blanks; refused when there is none.
    int number(int maxDigits, int &read)
    {
        skipBlanks();
        int value = 0;
        read = 0;
        while (read < maxDigits && atDigit()) {
            value = value * 10 + (text_[pos_].unicode() - u'0');
            ++pos_;
            ++read;
        }
        if (read == 0)
            refuse(1858);
        return value;
    }

    // The longest name of either list that the text starts with; its index,
    // or -1. A text that has a name the reader does not know is not judged.
    template <std::size_t N>
    int name(const std::array<const char *, N> &full, const std::array<const char *, N> &abbreviated)
    {
        skipBlanks();
        if (!english_)
            throw Ended{{Verdict::NotJudged, 0, {}}};
        for (const auto *names : {&full, &abbreviated}) {
            int best = -1;
            qsizetype bestLength = 0;
            for (std::size_t k = 0; k < N; ++k) {
                const QString candidate = QLatin1String((*names)[k]);
                if (candidate.size() > bestLength && startsWith(candidate)) {
                    best = int(k);
                    bestLength = candidate.size();
                }
            }
            if (best >= 0) {
                pos_ += bestLength;
                return best;
            }
        }
        return -1;
    }

private:
    const QString &text_;
    QString upper_;
    bool english_;
    qsizetype pos_ = 0;
};

struct DateParts {
    int year = 0;
    int month = 0;
    int day = 1;
};

int checkedRange(int value, int low, int high, int code)
{
    if (value < low || value > high)
        refuse(code);
    return value;
}

} // namespace

std::optional<OracleDateFormat> OracleDateFormat::compile(const QString &format, const QString &language)
{
    if (format.trimmed().isEmpty())
        return std::nullopt;
    OracleDateFormat compiled;
    compiled.format_ = format;
    const QString upper = format.toUpper();
    const QString lang = language.trimmed().toUpper();
    compiled.englishNames_ =
        lang.isEmpty() || lang == QLatin1String("AMERICAN") || lang == QLatin1String("ENGLISH");
    for (qsizetype i = 0; i < upper.size();) {
        const QChar c = upper[i];
        if (c == QLatin1Char('"')) {
            const qsizetype end = upper.indexOf(QLatin1Char('"'), i + 1);
            if (end < 0)
                return std::nullopt;
            compiled.elements_.push_back({Kind::Quoted, upper.mid(i + 1, end - i - 1)});
            i = end + 1;
            continue;
        }
        if (!c.isLetterOrNumber()) {
            compiled.elements_.push_back({Kind::Punctuation, {}});
            ++i;
            continue;
        }
        if (QStringView(upper).mid(i).startsWith(QLatin1String("FM"))) {
            i += 2; // fill mode changes how dates are written, not how they are read
            continue;
        }
        if (c == QLatin1Char('X')) {
            compiled.elements_.push_back({Kind::Punctuation, {}}); // the radix character
            ++i;
            continue;
        }
        const Name *match = nullptr;
        for (const Name &name : kNames) {
            if (QStringView(upper).mid(i).startsWith(QLatin1String(name.text))) {
                match = &name;
                break;
            }
        }
        if (!match || !match->kind)
            return std::nullopt;
        i += qsizetype(std::char_traits<char>::length(match->text));
        if (*match->kind == Kind::Fraction && i < upper.size() && upper[i] >= QLatin1Char('1') &&
            upper[i] <= QLatin1Char('9'))
            ++i;
        compiled.elements_.push_back({*match->kind, {}});
    }
    return compiled;
}

ValueReading OracleDateFormat::read(const QString &text, int currentYear, int currentMonth) const
{
    if (text.isEmpty())
        return {};
    Reader r(text, englishNames_);
    DateParts d;
    d.year = currentYear;
    d.month = currentMonth;
    bool lastNumberFull = true;
    try {
        for (const Element &e : elements_) {
            if (r.atEnd())
                break; // trailing elements may be left out
            int read = 0;
            switch (e.kind) {
            case Kind::Punctuation:
                if (!r.skipPunctuation() && !lastNumberFull)
                    refuse(1861);
                break;
            case Kind::Quoted:
                while (!r.startsWith(e.text) && r.atPunctuation())
                    r.skip(1);
                if (!r.startsWith(e.text))
                    refuse(1861);
                r.skip(e.text.size());
                lastNumberFull = true;
                break;
            case Kind::Year4:
            case Kind::RoundYear4:
            case Kind::Year2:
            case Kind::RoundYear2:
            case Kind::Year1: {
                int year = r.number(4, read);
                const bool twoDigitElement = e.kind == Kind::Year2 || e.kind == Kind::RoundYear2;
                if (read <= 2 && (e.kind == Kind::RoundYear2 || e.kind == Kind::RoundYear4))
                    year = roundYear(year, currentYear);
                else if (read <= 2 && (e.kind == Kind::Year2 || e.kind == Kind::Year1))
                    year += currentYear / 100 * 100;
                if (year == 0)
                    refuse(1841);
                d.year = year;
                lastNumberFull = read == 4 || (read == 2 && twoDigitElement);
                break;
            }
            case Kind::Month:
                if (!r.atLetter()) {
                    d.month = checkedRange(r.number(2, read), 1, 12, 1843);
                    lastNumberFull = read == 2;
                    break;
                }
                [[fallthrough]];
            case Kind::MonthName: {
                const int month = r.name(kMonths, kMonthAbbreviations);
                if (month < 0)
                    refuse(1843);
                d.month = month + 1;
                lastNumberFull = true;
                break;
            }
            case Kind::Day:
                d.day = checkedRange(r.number(2, read), 1, 31, 1847);
                lastNumberFull = read == 2;
                break;
            case Kind::DayName:
                if (r.name(kDays, kDayAbbreviations) < 0)
                    refuse(1846);
                lastNumberFull = true;
                break;
            case Kind::Hour24:
                checkedRange(r.number(2, read), 0, 23, 1850);
                lastNumberFull = read == 2;
                break;
            case Kind::Hour12:
                checkedRange(r.number(2, read), 1, 12, 1849);
                lastNumberFull = read == 2;
                break;
            case Kind::Minute:
                checkedRange(r.number(2, read), 0, 59, 1851);
                lastNumberFull = read == 2;
                break;
            case Kind::Second:
                checkedRange(r.number(2, read), 0, 59, 1852);
                lastNumberFull = read == 2;
                break;
            case Kind::Fraction:
                r.number(9, read);
                lastNumberFull = true;
                break;
            case Kind::Meridian:
                r.skipBlanks();
                if (r.startsWith(QStringLiteral("A.M.")) || r.startsWith(QStringLiteral("P.M.")))
                    r.skip(4);
                else if (r.startsWith(QStringLiteral("AM")) || r.startsWith(QStringLiteral("PM")))
                    r.skip(2);
                else
                    refuse(1855);
                lastNumberFull = true;
                break;
            }
        }
        r.skipBlanks();
        if (!r.atEnd())
            refuse(1830);
        if (d.day > daysInMonth(d.year, d.month))
            refuse(1839);
    } catch (const Ended &ended) {
        return ended.reading;
    }
    return {};
}

} // namespace rowpour
