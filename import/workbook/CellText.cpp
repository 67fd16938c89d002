#include "import/workbook/CellText.h"

#include <QDate>
#include <QTime>

#include <charconv>
#include <cmath>
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

QString CellTextFormatter::text(const CellValue &value, const StringPool &strings) const
{
    switch (value.kind) {
    case CellKind::Empty:
        return {};
    case CellKind::Text:
    case CellKind::Error: {
        const std::string_view s = strings.at(value.string);
        return QString::fromUtf8(s.data(), qsizetype(s.size()));
    }
    case CellKind::Number:
        return numberText(value.number, decimal_);
    case CellKind::DateTime:
        return dateTimeText(value.millis);
    case CellKind::Time:
        return timeText(value.millis);
    case CellKind::Boolean:
        return value.number != 0 ? QStringLiteral("True") : QStringLiteral("False");
    }
    return {};
}

CellValue serialToValue(double serial, bool date1904)
{
    if (!std::isfinite(serial) || serial < 0 || serial > double(kLastDay + 1))
        return CellValue::numberValue(serial);
    const std::int64_t millis = std::llround(serial * double(kMillisPerDay));
    std::int64_t days = millis / kMillisPerDay;
    const std::int64_t millisOfDay = millis % kMillisPerDay;
    if (date1904) {
        days += 1462;
    } else {
        if (days == 0)
            return CellValue::timeValue(millisOfDay);
        if (days == 60)
            return CellValue::numberValue(serial);
        if (days < 60)
            days += 1; // the 1900 date system counts a 29 February 1900 that never was
    }
    if (days > kLastDay)
        return CellValue::numberValue(serial);
    return CellValue::dateTimeValue(days * kMillisPerDay + millisOfDay);
}

bool isBuiltinDateFormat(int id)
{
    return (id >= 14 && id <= 22) || (id >= 27 && id <= 36) || (id >= 45 && id <= 47) ||
           (id >= 50 && id <= 58);
}

bool isDateFormatCode(std::u16string_view code)
{
    for (std::size_t i = 0; i < code.size(); ++i) {
        const char16_t c = code[i];
        switch (c) {
        case u'"': {
            const std::size_t end = code.find(u'"', i + 1);
            if (end == std::u16string_view::npos)
                return false;
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
                return false;
            const std::u16string_view inside = code.substr(i + 1, end - i - 1);
            // [h], [mm], [ss]: elapsed time; anything else is colour, condition or locale.
            if (!inside.empty() && inside.find_first_not_of(u"hHmMsS") == std::u16string_view::npos)
                return true;
            i = end;
            break;
        }
        case u'd':
        case u'D':
        case u'm':
        case u'M':
        case u'y':
        case u'Y':
        case u'h':
        case u'H':
        case u's':
        case u'S':
            return true;
        default:
            break;
        }
    }
    return false;
}

bool isDateFormatCode(const QString &code)
{
    return isDateFormatCode(
        std::u16string_view(reinterpret_cast<const char16_t *>(code.utf16()), code.size()));
}

bool parseIsoDateTime(std::string_view s, std::int64_t &millis)
{
    int year, month, day;
    if (!readNumber(s, 4, year) || !consume(s, '-') || !readNumber(s, 2, month) || !consume(s, '-') ||
        !readNumber(s, 2, day))
        return false;
    const QDate date(year, month, day);
    if (!date.isValid())
        return false;
    std::int64_t timeMillis = 0;
    if (consume(s, 'T') || consume(s, ' ')) {
        int h, m, sec = 0;
        if (!readNumber(s, 2, h) || !consume(s, ':') || !readNumber(s, 2, m))
            return false;
        int frac = 0;
        if (consume(s, ':')) {
            if (!readNumber(s, 2, sec))
                return false;
            if (consume(s, '.') || consume(s, ','))
                frac = fractionMillis(s);
        }
        if (h > 24 || m > 59 || sec > 60)
            return false;
        timeMillis = ((h * 60 + m) * 60 + sec) * std::int64_t(1000) + frac;
    }
    // A zone designator (Z, +03:00) is left aside: cells hold local times.
    millis = epoch().daysTo(date) * kMillisPerDay + timeMillis;
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
