#pragma once
// The client library's national-language environment, set before the library
// is loaded. Texts cross the client in UTF-8 (AL32UTF8), and the session reads
// dates and numbers in the very form the import writes them into its
// literals: the operator's short date (plus the long time) and decimal
// separator. The client reads NLS_DATE_FORMAT and NLS_NUMERIC_CHARACTERS
// only when NLS_LANG is set, so NLS_LANG is always set.

#include "platform/OperatorLocale.h"

#include <QString>

namespace rowpour::oracle
{

// NLS_LANG with its character set part replaced by AL32UTF8; the operator's
// language and territory are kept. Unset or blank gives AMERICAN_AMERICA.AL32UTF8.
QString Utf8NlsLang(const QString &operatorValue);

// The Oracle datetime format of a Qt date or time format: d/dd DD, M/MM MM,
// MMM MON, MMMM MONTH, yy/yyyy RRRR, h (with AP) HH, h/H HH24, m MI, s SS,
// AP AM; Oracle's punctuation as it is, other literal text in double
// quotes; milliseconds and time zones (which a DATE has not) left out.
QString OracleDateFormat(const QString &qtFormat);

// The Oracle date format that reads the locale's short date, optionally
// followed by a blank and the long time (Oracle accepts a text that ends
// before the format does). Years are RRRR: four digits as written, two
// digits in Oracle's 50-year window.
QString SessionDateFormat(const platform::OperatorLocale &locale);

// The formats of TIMESTAMP and TIMESTAMP WITH TIME ZONE values: the date
// format with the fraction of a second after the seconds (when the time has
// no AM/PM after them) and, for the second, the time zone region at the end.
// A literal without them reads as with the date format.
QString SessionTimestampFormat(const platform::OperatorLocale &locale);
QString SessionTimestampTzFormat(const platform::OperatorLocale &locale);

// Decimal character and group separator: the locale's decimal separator
// (when Oracle accepts it, else "."), and a group separator that differs
// from it. Numbers in literals never carry group separators.
QString SessionNumericCharacters(const platform::OperatorLocale &locale);

// One variable as the client will read it.
struct ClientSetting {
    QString value;
    bool setByProgram = false; // false: the operator's own value, left alone
};

struct ClientNlsEnvironment {
    ClientSetting nlsLang;
    ClientSetting dateFormat;
    ClientSetting timestampFormat;
    ClientSetting timestampTzFormat;
    ClientSetting numericCharacters;
};

// Sets NLS_LANG (always, keeping language and territory), and
// NLS_DATE_FORMAT, NLS_TIMESTAMP_FORMAT, NLS_TIMESTAMP_TZ_FORMAT and
// NLS_NUMERIC_CHARACTERS unless the operator set them.
// Values the program set at an earlier call are replaced, not taken for the
// operator's.
ClientNlsEnvironment PrepareClientEnvironment(const platform::OperatorLocale &locale);

// What the last PrepareClientEnvironment set (empty before the first call).
ClientNlsEnvironment CurrentClientEnvironment();

} // namespace rowpour::oracle
