#include "platform/OperatorLocale.h"

namespace rowpour::platform {

namespace {

bool isCLocale(const QLocale &locale)
{
    return locale.language() == QLocale::C;
}

// Qt's long time formats end with the time zone ("HH:mm:ss t"); a cell's time
// of day has none, so the zone field is dropped.
QString withoutTimeZone(QString format)
{
    format.remove(QLatin1Char('t'));
    return format.simplified();
}

// Qt's short formats of some locales (en_US "M/d/yy", de_DE "dd.MM.yy") give
// the year in two digits. A two-digit year read back by the database lands
// in its 50-year window, so 1930 would come back as 2030: every year field is
// written with four digits instead, as the desktop's own short formats do.
QString withFourDigitYears(const QString &format)
{
    QString result;
    bool quoted = false;
    for (qsizetype i = 0; i < format.size();) {
        const QChar c = format[i];
        if (c == QLatin1Char('\'')) {
            quoted = !quoted;
            result += c;
            ++i;
            continue;
        }
        qsizetype run = 1;
        while (i + run < format.size() && format[i + run] == c)
            ++run;
        result += !quoted && c == QLatin1Char('y') && run < 4 ? QStringLiteral("yyyy") : format.mid(i, run);
        i += run;
    }
    return result;
}

}  // namespace

OperatorLocale OperatorLocale::system()
{
    return OperatorLocale(QLocale::system());
}

OperatorLocale::OperatorLocale(const QLocale &locale) : locale_(locale)
{
    if (isCLocale(locale)) {
        shortDate_ = QStringLiteral("dd.MM.yyyy");
        longTime_ = QStringLiteral("HH:mm:ss");
        decimal_ = QLatin1Char('.');
        return;
    }
    shortDate_ = withFourDigitYears(locale.dateFormat(QLocale::ShortFormat));
    longTime_ = withoutTimeZone(locale.timeFormat(QLocale::LongFormat));
    const QString decimal = locale.decimalPoint();
    decimal_ = decimal.isEmpty() ? QLatin1Char('.') : decimal.front();
}

}  // namespace rowpour::platform
