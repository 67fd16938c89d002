#pragma once
// The operator's regional settings: short date format, long time format and
// decimal separator. They follow the system locale (LC_ALL / LC_TIME / LANG);
// in the C/POSIX locale the program uses dd.MM.yyyy, HH:mm:ss and ".", because
// the date normalisation assumes day.month.year.

#include <QLocale>
#include <QString>

namespace rowpour::platform {

class OperatorLocale {
public:
    // The locale the program runs under (QLocale::system()).
    static OperatorLocale system();
    explicit OperatorLocale(const QLocale &locale);

    const QLocale &locale() const { return locale_; }
    QString shortDateFormat() const { return shortDate_; }  // Qt date format, e.g. "dd.MM.yyyy"
    QString longTimeFormat() const { return longTime_; }    // Qt time format, e.g. "HH:mm:ss"
    QChar decimalSeparator() const { return decimal_; }

private:
    QLocale locale_;
    QString shortDate_;
    QString longTime_;
    QChar decimal_;
};

}  // namespace rowpour::platform
