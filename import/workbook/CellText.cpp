#include "import/workbook/CellText.h"

#include <QDate>
#include <QTime>

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace rowpour::workbook
{

namespace
{

constexpr std::int64_t kMillisPerDay = 86400000;
// 9999-12-31 as days since 1899-12-30: the last date spreadsheets show.
constexpr std::int64_t kLastDay = 2958465;

std::int64_t floorDiv(std::int64_t a, std::int64_t b)
{
    std::int64_t q = a / b;
    return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

void appendDigits(QChar *&out, int value, int width)
{
    for (int i = width - 1; i >= 0; --i) {
        out[i] = QChar(u'0' + value % 10);
        value /= 10;
    }
    out += width;
}

QDate epoch()
{
    return QDate(1899, 12, 30);
}

bool readNumber(std::string_view &s, int digits, int &value)
{
    if (s.size() < std::size_t(digits))
        return false;
    value = 0;
    for (int i = 0; i < digits; ++i) {
        if (s[i] < '0' || s[i] > '9')
            return false;
        value = value * 10 + (s[i] - '0');
    }
    s.remove_prefix(digits);
    return true;
}

bool consume(std::string_view &s, char c)
{
    if (s.empty() || s.front() != c)
        return false;
    s.remove_prefix(1);
    return true;
}

// Fraction digits after a decimal point, as milliseconds (rounded).
int fractionMillis(std::string_view &s)
{
    double scale = 100, ms = 0;
    while (!s.empty() && s.front() >= '0' && s.front() <= '9') {
        ms += (s.front() - '0') * scale;
        scale /= 10;
        s.remove_prefix(1);
    }
    return int(std::lround(ms));
}

} // namespace

QString numberText(double value, QChar decimalSeparator)
{
    if (!std::isfinite(value))
        return QStringLiteral("#NUM!");
    if (value == 0)
        return QStringLiteral("0");
    char buf[64];
    std::to_chars_result r;
    if (std::fabs(value) < 1e15 && value == std::trunc(value))
        r = std::to_chars(buf, buf + sizeof buf, static_cast<std::int64_t>(value));
    else
        r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, 15);
    QString text(int(r.ptr - buf), Qt::Uninitialized);
    QChar *out = text.data();
    for (const char *p = buf; p != r.ptr; ++p, ++out) {
        if (*p == '.')
            *out = decimalSeparator;
        else if (*p == 'e')
            *out = QLatin1Char('E');
        else
            *out = QLatin1Char(*p);
    }
    return text;
}

CellTextFormatter::CellTextFormatter(const platform::OperatorLocale &locale)
    : locale_(locale.locale()), dateFormat_(locale.shortDateFormat()), timeFormat_(locale.longTimeFormat()),
      decimal_(locale.decimalSeparator()), plainDate_(dateFormat_ == QLatin1String("dd.MM.yyyy")),
      plainTime_(timeFormat_ == QLatin1String("HH:mm:ss"))
{
}

QString CellTextFormatter::timeText(std::int64_t millisOfDay) const
{
    const int seconds = int(millisOfDay / 1000);
    if (plainTime_) {
        QString text(8, Qt::Uninitialized);
        QChar *out = text.data();
        appendDigits(out, seconds / 3600, 2);
        *out++ = QLatin1Char(':');
        appendDigits(out, seconds / 60 % 60, 2);
        *out++ = QLatin1Char(':');
        appendDigits(out, seconds % 60, 2);
        return text;
    }
    return locale_.toString(QTime::fromMSecsSinceStartOfDay(int(millisOfDay)), timeFormat_);
}

QString CellTextFormatter::dateTimeText(std::int64_t millis) const
{
    const std::int64_t days = floorDiv(millis, kMillisPerDay);
    const std::int64_t millisOfDay = millis - days * kMillisPerDay;
    const QDate date = epoch().addDays(days);
    QString text;
    int year = 0, month = 0, day = 0;
    date.getDate(&year, &month, &day);
    if (plainDate_ && year > 0 && year <= 9999) {
        text.resize(10);
        QChar *out = text.data();
        appendDigits(out, day, 2);
        *out++ = QLatin1Char('.');
        appendDigits(out, month, 2);
        *out++ = QLatin1Char('.');
        appendDigits(out, year, 4);
    } else {
        text = locale_.toString(date, dateFormat_);
    }
    if (millisOfDay / 1000 != 0)
        text += QLatin1Char(' ') + timeText(millisOfDay);
    return text;
}

QString CellTextFormatter::text(const CellValue &value, const StringPool &shared, const RowBlock *block) const
{
    switch (value.kind) {
    case CellKind::Empty:
    case CellKind::Unreadable:
        return {};
    case CellKind::SharedText: {
        const std::string_view s = shared.at(value.index);
        return QString::fromUtf8(s.data(), qsizetype(s.size()));
    }
    case CellKind::Text:
    case CellKind::Error: {
        if (block == nullptr)
            return {};
        const std::string_view s = block->textOf(value.span);
        return QString::fromUtf8(s.data(), qsizetype(s.size()));
    }
    case CellKind::Number:
        return numberText(value.number, decimal_);
    case CellKind::DateTime:
        return dateTimeText(value.millis);
    case CellKind::Time:
        return timeText(value.millis);
    case CellKind::Duration:
        return durationText(value.millis);
    case CellKind::Boolean:
        return value.number != 0 ? QStringLiteral("True") : QStringLiteral("False");
    }
    return {};
}

QString durationText(std::int64_t millis)
{
    const std::uint64_t seconds = std::uint64_t(millis < 0 ? -millis : millis) / 1000;
    char buf[40];
    const int n = std::snprintf(buf, sizeof buf, "%s%02llu:%02u:%02u", millis < 0 ? "-" : "",
                                static_cast<unsigned long long>(seconds / 3600), unsigned(seconds / 60 % 60),
                                unsigned(seconds % 60));
    return QString::fromLatin1(buf, n);
}

CellValue serialToValue(double serial, bool date1904, NumberFormatKind kind)
{
    if (kind == NumberFormatKind::Number || !std::isfinite(serial))
        return CellValue::numberValue(serial);
    if (kind == NumberFormatKind::Duration) {
        if (std::fabs(serial) > double(kLastDay + 1))
            return CellValue::numberValue(serial);
        return CellValue::durationValue(std::llround(serial * double(kMillisPerDay)));
    }
    if (serial < 0 || serial > double(kLastDay + 1))
        return CellValue::numberValue(serial);
    const std::int64_t millis = std::llround(serial * double(kMillisPerDay));
    std::int64_t days = millis / kMillisPerDay;
    const std::int64_t millisOfDay = millis % kMillisPerDay;
    if (kind == NumberFormatKind::Time && days == 0)
        return CellValue::timeValue(millisOfDay);
    if (date1904) {
        days += 1462;
    } else {
        if (days == 60)
            return CellValue::numberValue(serial);
        if (days < 60)
            days += 1; // the 1900 date system counts a 29 February 1900 that never was
    }
    if (days > kLastDay)
        return CellValue::numberValue(serial);
    return CellValue::dateTimeValue(days * kMillisPerDay + millisOfDay);
}

NumberFormatKind builtinFormatKind(int id)
{
    if ((id >= 14 && id <= 17) || id == 22 || (id >= 27 && id <= 36) || (id >= 50 && id <= 58))
        return NumberFormatKind::Date;
    if ((id >= 18 && id <= 21) || id == 45 || id == 47)
        return NumberFormatKind::Time;
    if (id == 46)
        return NumberFormatKind::Duration;
    return NumberFormatKind::Number;
}

NumberFormatKind formatCodeKind(std::u16string_view code)
{
    bool date = false, time = false, elapsed = false, shortMonthOrMinute = false;
    const auto startsWithNoCase = [&](std::size_t i, std::u16string_view what) {
        if (code.size() - i < what.size())
            return false;
        for (std::size_t k = 0; k < what.size(); ++k)
            if (QChar(code[i + k]).toLower() != QChar(what[k]))
                return false;
        return true;
    };
    for (std::size_t i = 0; i < code.size(); ++i) {
        const char16_t c = code[i];
        switch (c) {
        case u'"': {
            const std::size_t end = code.find(u'"', i + 1);
            if (end == std::u16string_view::npos)
                return NumberFormatKind::Number;
            i = end;
            break;
        }
        case u'\\':
        case u'_':
        case u'*':
            ++i;
            break;
        case u'[': {
            const std::size_t end = code.find(u']', i + 1);
            if (end == std::u16string_view::npos)
                return NumberFormatKind::Number;
            const std::u16string_view inside = code.substr(i + 1, end - i - 1);
            // [h], [mm], [ss]: elapsed time; anything else is colour, condition or locale.
            if (!inside.empty() && inside.find_first_not_of(u"hHmMsS") == std::u16string_view::npos)
                elapsed = true;
            i = end;
            break;
        }
        case u'a':
        case u'A':
            if (startsWithNoCase(i, u"am/pm"))
                i += 4;
            else if (startsWithNoCase(i, u"a/p"))
                i += 2;
            break;
        case u'd':
        case u'D':
        case u'y':
        case u'Y':
            date = true;
            break;
        case u'h':
        case u'H':
        case u's':
        case u'S':
            time = true;
            break;
        case u'm':
        case u'M': {
            std::size_t run = 1;
            while (i + run < code.size() && (code[i + run] == u'm' || code[i + run] == u'M'))
                ++run;
            if (run >= 3)
                date = true; // a month name
            else
                shortMonthOrMinute = true;
            i += run - 1;
            break;
        }
        default:
            break;
        }
    }
    // "m" and "mm" are minutes beside hours or seconds, months otherwise.
    if (shortMonthOrMinute && !time && !elapsed)
        date = true;
    if (date)
        return NumberFormatKind::Date;
    if (elapsed)
        return NumberFormatKind::Duration;
    return time || shortMonthOrMinute ? NumberFormatKind::Time : NumberFormatKind::Number;
}

NumberFormatKind formatCodeKind(const QString &code)
{
    return formatCodeKind(std::u16string_view(reinterpret_cast<const char16_t *>(code.utf16()), code.size()));
}

namespace
{

// "10:11", "10:11:12", "10:11:12.5" as milliseconds; the hour may be 24
// only where a date precedes it (the midnight that ends the day).
bool readIsoTime(std::string_view &s, bool hour24, std::int64_t &millis)
{
    int h, m, sec = 0, frac = 0;
    if (!readNumber(s, 2, h) || !consume(s, ':') || !readNumber(s, 2, m))
        return false;
    if (consume(s, ':')) {
        if (!readNumber(s, 2, sec))
            return false;
        if (consume(s, '.') || consume(s, ','))
            frac = fractionMillis(s);
    }
    if (h > (hour24 ? 24 : 23) || m > 59 || sec > 59)
        return false;
    millis = ((h * 60 + m) * 60 + sec) * std::int64_t(1000) + frac;
    return hour24 || millis < kMillisPerDay;
}

// Nothing, or a zone designator (Z, +03:00, -0500), which is left aside:
// cells hold local times.
bool zoneOnly(std::string_view s)
{
    if (s.empty() || s == "Z")
        return true;
    if (s.front() != '+' && s.front() != '-')
        return false;
    s.remove_prefix(1);
    int h, m;
    if (!readNumber(s, 2, h))
        return false;
    consume(s, ':');
    return s.empty() || (readNumber(s, 2, m) && s.empty());
}

} // namespace

bool parseIsoDateTime(std::string_view s, CellValue &value)
{
    std::int64_t timeMillis = 0;
    if (s.size() >= 3 && (s[2] == ':' || (s[0] == 'T' && s[3] == ':'))) {
        consume(s, 'T');
        if (!readIsoTime(s, false, timeMillis) || !zoneOnly(s))
            return false;
        value = CellValue::timeValue(timeMillis);
        return true;
    }
    int year, month, day;
    if (!readNumber(s, 4, year) || !consume(s, '-') || !readNumber(s, 2, month) || !consume(s, '-') ||
        !readNumber(s, 2, day))
        return false;
    const QDate date(year, month, day);
    if (!date.isValid())
        return false;
    if ((consume(s, 'T') || consume(s, ' ')) && !readIsoTime(s, true, timeMillis))
        return false;
    if (!zoneOnly(s))
        return false;
    value = CellValue::dateTimeValue(epoch().daysTo(date) * kMillisPerDay + timeMillis);
    return true;
}

bool parseIsoDuration(std::string_view s, std::int64_t &millis)
{
    const bool negative = consume(s, '-');
    if (!consume(s, 'P'))
        return false;
    double total = 0;
    bool inTime = false, any = false;
    while (!s.empty()) {
        if (consume(s, 'T')) {
            inTime = true;
            continue;
        }
        double value = 0;
        const auto r = std::from_chars(s.data(), s.data() + s.size(), value);
        if (r.ec != std::errc() || r.ptr == s.data() + s.size() || value < 0)
            return false;
        const char unit = *r.ptr;
        s.remove_prefix(std::size_t(r.ptr - s.data()) + 1);
        if (unit == 'D' && !inTime)
            total += value * 86400;
        else if (unit == 'H' && inTime)
            total += value * 3600;
        else if (unit == 'M' && inTime)
            total += value * 60;
        else if (unit == 'S' && inTime)
            total += value;
        else
            return false;
        any = true;
    }
    if (!any || total > 1e12)
        return false;
    millis = std::llround(total * 1000) * (negative ? -1 : 1);
    return true;
}

} // namespace rowpour::workbook
