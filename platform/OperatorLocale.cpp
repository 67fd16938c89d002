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
    shortDate_ = locale.dateFormat(QLocale::ShortFormat);
    longTime_ = withoutTimeZone(locale.timeFormat(QLocale::LongFormat));
    const QString decimal = locale.decimalPoint();
    decimal_ = decimal.isEmpty() ? QLatin1Char('.') : decimal.front();
}

}  // namespace rowpour::platform
