#pragma once
// Conversion of values between the server's forms, the program's date-time
// numbers and the texts of the operator's locale.

#include <QDateTime>
#include <QString>

namespace rowpour::oracle
{

// Days since 30 December 1899, the time of day as the fraction.
using TDateTime = double;

// The substitute date of a stored date that is no valid calendar date (year 0 or below).
constexpr TDateTime InvalidOracleDate = -693594.0;

TDateTime OracleDateToDateTime(const unsigned char bytes[7]);
void DateTimeToOracleDate(TDateTime value, unsigned char bytes[7]);

// The line-break rule of text read from the server: LF and CR become CR LF,
// an existing CR LF stays as it is.
QString ConvertCRLF(const QString &text);
// The rule for text sent to the server: every CR removed.
QString RemoveCR(const QString &text);

// Text forms of the operator's locale: integers as digits, floats in the
// shortest general form with 15 significant digits and the locale's decimal
// separator, date-times as short date plus, when the time of day is not 0,
// a blank and the long time.
QString FloatToText(double value);
QString DateTimeToText(TDateTime value);
QDateTime DateTimeToQDateTime(TDateTime value);
TDateTime QDateTimeToDateTime(const QDateTime &value);

} // namespace rowpour::oracle
