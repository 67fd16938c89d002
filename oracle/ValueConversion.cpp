#include "oracle/ValueConversion.h"

#include "platform/OperatorLocale.h"

#include <QDate>
#include <QTime>

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace rowpour::oracle
{

namespace
{

const QDate &dateTimeEpoch()
{
    static const QDate epoch(1899, 12, 30);
    return epoch;
}

constexpr qint64 MillisecondsPerDay = 86400000;

// A date-time split into its day number and its time of day in milliseconds
// (the sign of a negative date-time belongs to the day; the time counts up).
struct SplitDateTime {
    qint64 day;
    qint64 milliseconds;
};

SplitDateTime splitDateTime(TDateTime value)
{
    const double whole = std::trunc(value);
    qint64 day = static_cast<qint64>(whole);
    qint64 ms = std::llround(std::fabs(value - whole) * MillisecondsPerDay);
    if (ms >= MillisecondsPerDay) {
        ms -= MillisecondsPerDay;
        day += value < 0 ? -1 : 1;
    }
    return {day, ms};
}

} // namespace

TDateTime OracleDateToDateTime(const unsigned char bytes[7])
{
    const int year = bytes[0] * 100 + bytes[1] - 10100;
    const int month = bytes[2];
    const int day = bytes[3];
    double date = InvalidOracleDate;
    if (year > 0 && year <= 9999 && QDate::isValid(year, month, day))
        date = static_cast<double>(dateTimeEpoch().daysTo(QDate(year, month, day)));
    const int hour = bytes[4] - 1;
    const int minute = bytes[5] - 1;
    const int second = bytes[6] - 1;
    double time = 0;
    if (hour >= 0 && hour < 24 && minute >= 0 && minute < 60 && second >= 0 && second < 60)
        time = (hour * 3600 + minute * 60 + second) / 86400.0;
    return date >= 0 ? date + time : date - time;
}

void DateTimeToOracleDate(TDateTime value, unsigned char bytes[7])
{
    const SplitDateTime split = splitDateTime(value);
    const QDate date = dateTimeEpoch().addDays(split.day);
    const qint64 seconds = split.milliseconds / 1000;
    const int year = date.year();
    bytes[0] = static_cast<unsigned char>(year / 100 + 100);
    bytes[1] = static_cast<unsigned char>(year % 100 + 100);
    bytes[2] = static_cast<unsigned char>(date.month());
    bytes[3] = static_cast<unsigned char>(date.day());
    bytes[4] = static_cast<unsigned char>(seconds / 3600 + 1);
    bytes[5] = static_cast<unsigned char>(seconds / 60 % 60 + 1);
    bytes[6] = static_cast<unsigned char>(seconds % 60 + 1);
}

QString ConvertCRLF(const QString &text)
{
    if (!text.contains(QLatin1Char('\n')) && !text.contains(QLatin1Char('\r')))
        return text;
    QString result;
    result.reserve(text.size() + text.size() / 8 + 2);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == QLatin1Char('\r')) {
            result += QLatin1String("\r\n");
            if (i + 1 < text.size() && text[i + 1] == QLatin1Char('\n'))
                ++i;
        } else if (c == QLatin1Char('\n')) {
            result += QLatin1String("\r\n");
        } else {
            result += c;
        }
    }
    return result;
}

QString RemoveCR(const QString &text)
{
    QString result = text;
    result.remove(QLatin1Char('\r'));
    return result;
}

QString FloatToText(double value)
{
    if (std::isnan(value))
        return QStringLiteral("NAN");
    if (std::isinf(value))
        return value < 0 ? QStringLiteral("-INF") : QStringLiteral("INF");
    if (value == 0)
        return QStringLiteral("0");
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.14e", value);
    // buffer: [-]d.dddddddddddddde[+-]xx
    const char *p = buffer;
    const bool negative = *p == '-';
    if (negative)
        ++p;
    QByteArray digits;
    for (; *p && *p != 'e'; ++p)
        if (*p >= '0' && *p <= '9')
            digits += *p;
    const int exponent = std::atoi(p + 1);
    while (digits.size() > 1 && digits.endsWith('0'))
        digits.chop(1);
    const QChar separator = platform::OperatorLocale::system().decimalSeparator();
    QString result = negative ? QStringLiteral("-") : QString();
    if (exponent >= 15 || exponent < -4) {
        result += QLatin1Char(digits[0]);
        if (digits.size() > 1)
            result += separator + QString::fromLatin1(digits.mid(1));
        result += QLatin1Char('E') + QString::number(exponent);
        return result;
    }
    if (exponent >= 0) {
        const QByteArray padded = digits.leftJustified(exponent + 1, '0');
        result += QString::fromLatin1(padded.left(exponent + 1));
        if (padded.size() > exponent + 1)
            result += separator + QString::fromLatin1(padded.mid(exponent + 1));
        return result;
    }
    result +=
        QLatin1Char('0') + separator + QString(-exponent - 1, QLatin1Char('0')) + QString::fromLatin1(digits);
    return result;
}

QDateTime DateTimeToQDateTime(TDateTime value)
{
    const SplitDateTime split = splitDateTime(value);
    return QDateTime(dateTimeEpoch().addDays(split.day),
                     QTime::fromMSecsSinceStartOfDay(int(split.milliseconds)));
}

TDateTime QDateTimeToDateTime(const QDateTime &value)
{
    const double day = static_cast<double>(dateTimeEpoch().daysTo(value.date()));
    const double time = value.time().msecsSinceStartOfDay() / double(MillisecondsPerDay);
    return day >= 0 ? day + time : day - time;
}

QString DateTimeToText(TDateTime value)
{
    const platform::OperatorLocale locale = platform::OperatorLocale::system();
    const SplitDateTime split = splitDateTime(value);
    QString text = locale.locale().toString(dateTimeEpoch().addDays(split.day), locale.shortDateFormat());
    if (split.milliseconds != 0)
        text += QLatin1Char(' ') +
                locale.locale().toString(QTime::fromMSecsSinceStartOfDay(int(split.milliseconds)),
                                         locale.longTimeFormat());
    return text;
}

} // namespace rowpour::oracle
