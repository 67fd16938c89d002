#include "import/CellValue.h"

#include <QDate>
#include <QStringList>

#include <algorithm>
#include <array>

namespace rowpour
{

QString GetLexeme(int n, const QString &text, const QString &delimiter)
{
    // An empty delimiter matches at once, so every lexeme is empty.
    if (text.isEmpty() || delimiter.isEmpty())
        return {};
    qsizetype start = 0;
    for (int lexeme = 1;; ++lexeme) {
        qsizetype end = text.indexOf(delimiter, start, Qt::CaseSensitive);
        if (end < 0)
            end = text.size();
        if (lexeme >= n)
            return text.mid(start, end - start);
        if (end >= text.size())
            return {};
        start = end + delimiter.size();
    }
}

namespace
{

// Blanks and control characters, as trimmed from both ends of a date text.
bool isBlankOrControl(QChar c)
{
    return c.unicode() <= 32;
}

QString trimmedOfControls(const QString &text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isBlankOrControl(text[begin]))
        ++begin;
    while (end > begin && isBlankOrControl(text[end - 1]))
        --end;
    return text.mid(begin, end - begin);
}

// Abbreviations written after a year ("year", "year of birth"), removed in this
// order; the lower-case forms matter only where upper-casing leaves Cyrillic alone.
const std::array<QString, 12> &yearAbbreviations()
{
    static const std::array<QString, 12> abbreviations = {
        QStringLiteral("Г."), QStringLiteral("Г.Р."), QStringLiteral("ГР"), QStringLiteral("Р."),
        QStringLiteral("Г"),  QStringLiteral("Р"),    QStringLiteral("г."), QStringLiteral("г.р."),
        QStringLiteral("гр"), QStringLiteral("р."),   QStringLiteral("г"),  QStringLiteral("р"),
    };
    return abbreviations;
}

enum class DatePart { Day, Month, Year };

struct ShortDateLayout {
    std::array<DatePart, 3> order{DatePart::Day, DatePart::Month, DatePart::Year};
    QChar separator = QLatin1Char('.');
};

DatePart partOfLetter(QChar letter)
{
    if (letter == QLatin1Char('d'))
        return DatePart::Day;
    if (letter == QLatin1Char('M'))
        return DatePart::Month;
    return DatePart::Year;
}

bool isDateLetter(QChar c)
{
    return c == QLatin1Char('d') || c == QLatin1Char('M') || c == QLatin1Char('y');
}

// Field order and separator of a Qt short date format such as "dd.MM.yyyy",
// "M/d/yy" or "yyyy-MM-dd". Quoted literal text is skipped.
ShortDateLayout layoutOf(const QString &format)
{
    ShortDateLayout layout;
    std::array<DatePart, 3> order{};
    int found = 0;
    bool separatorFound = false;
    bool quoted = false;
    QChar previous;
    for (const QChar c : format) {
        if (c == QLatin1Char('\'')) {
            quoted = !quoted;
            continue;
        }
        if (quoted)
            continue;
        if (isDateLetter(c)) {
            if (c != previous && found < 3)
                order[static_cast<size_t>(found++)] = partOfLetter(c);
        } else if (found > 0 && !separatorFound && c != QLatin1Char(' ') && !c.isLetter()) {
            layout.separator = c;
            separatorFound = true;
        }
        previous = c;
    }
    if (found == 3 && order[0] != order[1] && order[1] != order[2] && order[0] != order[2])
        layout.order = order;
    return layout;
}

// A cursor over the date text in the manner of a day-to-day date parser: blanks
// may stand before every number and separator.
class DateScanner
{
public:
    explicit DateScanner(const QString &text) : text_(text) {}

    void skipBlanks()
    {
        while (pos_ < text_.size() && text_[pos_] == QLatin1Char(' '))
            ++pos_;
    }

    // Up to the digits that keep the value below 10000 (a fifth digit is read
    // only after leading zeros); `digits` is how many were read.
    bool number(int &value, int &digits)
    {
        skipBlanks();
        const qsizetype start = pos_;
        value = 0;
        while (pos_ < text_.size() && text_[pos_].isDigit() && text_[pos_].unicode() < 128 && value < 1000) {
            value = value * 10 + (text_[pos_].unicode() - '0');
            ++pos_;
        }
        digits = static_cast<int>(pos_ - start);
        return digits > 0;
    }

    bool character(QChar c)
    {
        skipBlanks();
        if (pos_ < text_.size() && text_[pos_] == c) {
            ++pos_;
            return true;
        }
        return false;
    }

    bool atEnd() const { return pos_ >= text_.size(); }

private:
    const QString &text_;
    qsizetype pos_ = 0;
};

// A year of one or two digits lies in the hundred years that begin fifty years
// before the current one.
int fullYear(int year, int digits, int currentYear)
{
    if (digits > 2)
        return year;
    const int centuryBase = currentYear - 50;
    year += centuryBase / 100 * 100;
    if (year < centuryBase)
        year += 100;
    return year;
}

// A date written in the layout of a short date format: day and month with
// two digits, the year with four, so that no reader takes it for another
// century.
QString dateInLayout(int day, int month, int year, const ShortDateLayout &layout)
{
    QStringList parts;
    for (const DatePart part : layout.order) {
        switch (part) {
        case DatePart::Day:
            parts << QStringLiteral("%1").arg(day, 2, 10, QLatin1Char('0'));
            break;
        case DatePart::Month:
            parts << QStringLiteral("%1").arg(month, 2, 10, QLatin1Char('0'));
            break;
        case DatePart::Year:
            parts << QStringLiteral("%1").arg(year, 4, 10, QLatin1Char('0'));
            break;
        }
    }
    return parts.join(layout.separator);
}

bool isAsciiDigits(const QString &text)
{
    return std::all_of(text.begin(), text.end(),
                       [](QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); });
}

// The first of January of a year, in the layout of the locale's short date
// (01.01.YYYY for day.month.year with "."): the check that follows reads it
// in that layout, and so does the database session.
QString firstOfJanuary(int year, const platform::OperatorLocale &locale)
{
    return dateInLayout(1, 1, year, layoutOf(locale.shortDateFormat()));
}

} // namespace

// Accepted, for day.month.year with ".": one or two digits for day and month,
// a year of any one to four digits (one or two digits are placed by
// fullYear), a missing year (the current one), blanks before any number or
// separator, one separator and blanks after the last number. The date must
// exist (29.02 only in leap years), with a year from 1 to 9999.
bool isShortDateText(const QString &text, const platform::OperatorLocale &locale, int currentYear)
{
    const ShortDateLayout layout = layoutOf(locale.shortDateFormat());
    DateScanner scan(text);
    std::array<int, 3> numbers{};
    std::array<int, 3> digits{};
    if (!scan.number(numbers[0], digits[0]) || !scan.character(layout.separator) ||
        !scan.number(numbers[1], digits[1]))
        return false;
    int count = 2;
    if (scan.character(layout.separator)) {
        if (!scan.number(numbers[2], digits[2]))
            return false;
        count = 3;
    }
    scan.character(layout.separator);
    scan.skipBlanks();
    if (!scan.atEnd())
        return false;

    int day = 0;
    int month = 0;
    int year = currentYear;
    int next = 0;
    for (const DatePart part : layout.order) {
        if (part == DatePart::Year && count == 2)
            continue;
        const int value = numbers[static_cast<size_t>(next)];
        const int valueDigits = digits[static_cast<size_t>(next)];
        ++next;
        switch (part) {
        case DatePart::Day:
            day = value;
            break;
        case DatePart::Month:
            month = value;
            break;
        case DatePart::Year:
            year = fullYear(value, valueDigits, currentYear);
            break;
        }
    }
    return year >= 1 && year <= 9999 && QDate::isValid(year, month, day);
}

QString NormalizeDate(const QString &text, const platform::OperatorLocale &locale)
{
    QString date = trimmedOfControls(text);
    if (date.isEmpty())
        return NoDateText(locale);
    for (const QString &abbreviation : yearAbbreviations()) {
        date = locale.locale().toUpper(date);
        date.remove(abbreviation, Qt::CaseSensitive);
    }
    date.replace(QLatin1Char(','), QLatin1Char('.'));
    if (date.startsWith(QLatin1Char('.')))
        date.remove(0, 1);
    if (date.endsWith(QLatin1Char('.')))
        date.chop(1);
    // A year alone (two digits mean 19xx) becomes the first of January of it.
    if ((date.size() == 2 || date.size() == 4) && isAsciiDigits(date))
        date = firstOfJanuary(date.size() == 2 ? 1900 + date.toInt() : date.toInt(), locale);
    if (date.size() == 2)
        date.prepend(QStringLiteral("01.01.19"));
    if (date.size() == 4)
        date.prepend(QStringLiteral("01.01."));
    date.truncate(10);
    if (!isShortDateText(date, locale, QDate::currentDate().year()))
        return NoDateText(locale);
    return date;
}

QString NoDateText(const platform::OperatorLocale &locale)
{
    return firstOfJanuary(1900, locale);
}

} // namespace rowpour
