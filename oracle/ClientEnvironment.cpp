#include "oracle/ClientEnvironment.h"

#include "platform/Environment.h"

#include <mutex>

namespace rowpour::oracle
{

namespace Environment = platform::Environment;

namespace
{

const QString utf8CharacterSet = QStringLiteral("AL32UTF8");
const QString defaultLanguageAndTerritory = QStringLiteral("AMERICAN_AMERICA");

// Punctuation an Oracle date format takes as it is; any other literal text
// goes between double quotes.
bool isOracleFormatPunctuation(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('-') || c == QLatin1Char('/') || c == QLatin1Char(',') ||
           c == QLatin1Char('.') || c == QLatin1Char(';') || c == QLatin1Char(':');
}

bool isQtFormatLetter(QChar c)
{
    return QStringLiteral("dMyhHmszaAtp").contains(c);
}

QString quotedLiteral(const QString &text)
{
    QString plain;
    QString quoted;
    for (const QChar c : text) {
        if (isOracleFormatPunctuation(c)) {
            if (!quoted.isEmpty()) {
                plain += QLatin1Char('"') + quoted + QLatin1Char('"');
                quoted.clear();
            }
            plain += c;
        } else if (c != QLatin1Char('"')) {
            quoted += c;
        }
    }
    if (!quoted.isEmpty())
        plain += QLatin1Char('"') + quoted + QLatin1Char('"');
    return plain;
}

// The Oracle element of one run of a Qt format letter ("dd", "MMM", "AP").
QString oracleElement(QChar letter, qsizetype count, bool twelveHour)
{
    switch (letter.unicode()) {
    case 'd':
        return count <= 2 ? QStringLiteral("DD") : count == 3 ? QStringLiteral("DY") : QStringLiteral("DAY");
    case 'M':
        return count <= 2   ? QStringLiteral("MM")
               : count == 3 ? QStringLiteral("MON")
                            : QStringLiteral("MONTH");
    case 'y':
        return QStringLiteral("RRRR");
    case 'h':
        return twelveHour ? QStringLiteral("HH") : QStringLiteral("HH24");
    case 'H':
        return QStringLiteral("HH24");
    case 'm':
        return QStringLiteral("MI");
    case 's':
        return QStringLiteral("SS");
    case 'a':
    case 'A':
        return QStringLiteral("AM");
    default:
        return {}; // milliseconds and time zones: a DATE has neither
    }
}

bool hasMeridian(const QString &format)
{
    bool quoted = false;
    for (const QChar c : format) {
        if (c == QLatin1Char('\''))
            quoted = !quoted;
        else if (!quoted && (c == QLatin1Char('a') || c == QLatin1Char('A')))
            return true;
    }
    return false;
}

} // namespace

QString OracleDateFormat(const QString &qtFormat)
{
    const bool twelveHour = hasMeridian(qtFormat);
    QString result;
    QString literal;
    const auto flushLiteral = [&]() {
        result += quotedLiteral(literal);
        literal.clear();
    };
    for (qsizetype i = 0; i < qtFormat.size();) {
        const QChar c = qtFormat[i];
        if (c == QLatin1Char('\'')) {
            const qsizetype end = qtFormat.indexOf(QLatin1Char('\''), i + 1);
            literal += end < 0 ? qtFormat.mid(i + 1) : qtFormat.mid(i + 1, end - i - 1);
            i = end < 0 ? qtFormat.size() : end + 1;
            continue;
        }
        if (!isQtFormatLetter(c)) {
            literal += c;
            ++i;
            continue;
        }
        qsizetype run = 1;
        while (i + run < qtFormat.size() && qtFormat[i + run] == c)
            ++run;
        // "AP" and "ap" are one meridian element.
        if ((c == QLatin1Char('A') || c == QLatin1Char('a')) && i + 1 < qtFormat.size() &&
            qtFormat[i + 1].toLower() == QLatin1Char('p'))
            run = 2;
        const QString element = oracleElement(c, run, twelveHour);
        if (element.isEmpty()) {
            // A dropped element takes the separator before it along.
            if (!literal.isEmpty())
                literal.chop(1);
        } else {
            flushLiteral();
            result += element;
        }
        i += run;
    }
    flushLiteral();
    return result.trimmed();
}

namespace
{

bool acceptedNumericCharacter(QChar c)
{
    return c.unicode() > 32 && c.unicode() < 127 && !c.isDigit() && c != QLatin1Char('+') &&
           c != QLatin1Char('-') && c != QLatin1Char('<') && c != QLatin1Char('>');
}

std::mutex environmentMutex;
ClientNlsEnvironment lastEnvironment;

// Sets `name` to `wanted` unless the operator set it; a value this program
// set before is the program's, not the operator's.
ClientSetting settle(const char *name, const QString &wanted, const ClientSetting &previous)
{
    const QString current = Environment::variable(name);
    const bool operatorValue =
        Environment::isSet(name) && !(previous.setByProgram && current == previous.value);
    if (operatorValue)
        return {current, false};
    Environment::setVariable(name, wanted);
    return {wanted, true};
}

} // namespace

QString Utf8NlsLang(const QString &operatorValue)
{
    QString languageAndTerritory = operatorValue.trimmed();
    const qsizetype dot = languageAndTerritory.indexOf(QLatin1Char('.'));
    if (dot >= 0)
        languageAndTerritory.truncate(dot);
    if (operatorValue.trimmed().isEmpty())
        languageAndTerritory = defaultLanguageAndTerritory;
    return languageAndTerritory + QLatin1Char('.') + utf8CharacterSet;
}

QString SessionDateFormat(const platform::OperatorLocale &locale)
{
    return OracleDateFormat(locale.shortDateFormat()) + QLatin1Char(' ') +
           OracleDateFormat(locale.longTimeFormat());
}

QString SessionTimestampFormat(const platform::OperatorLocale &locale)
{
    const QString date = SessionDateFormat(locale);
    return date.endsWith(QStringLiteral("SS")) ? date + QStringLiteral("XFF") : date;
}

QString SessionTimestampTzFormat(const platform::OperatorLocale &locale)
{
    return SessionTimestampFormat(locale) + QStringLiteral(" TZR");
}

QString SessionNumericCharacters(const platform::OperatorLocale &locale)
{
    QChar decimal = locale.decimalSeparator();
    if (!acceptedNumericCharacter(decimal))
        decimal = QLatin1Char('.');
    const QChar group = decimal == QLatin1Char(',') ? QLatin1Char(' ') : QLatin1Char(',');
    return QString(decimal) + group;
}

ClientNlsEnvironment PrepareClientEnvironment(const platform::OperatorLocale &locale)
{
    std::lock_guard lock(environmentMutex);
    ClientNlsEnvironment prepared;
    // NLS_LANG is always set: only its character set changes, and preparing
    // again gives the same value.
    const QString before = Environment::variable("NLS_LANG");
    const QString nlsLang = Utf8NlsLang(before);
    Environment::setVariable("NLS_LANG", nlsLang);
    prepared.nlsLang = {nlsLang, nlsLang != before || lastEnvironment.nlsLang.setByProgram};
    prepared.dateFormat = settle("NLS_DATE_FORMAT", SessionDateFormat(locale), lastEnvironment.dateFormat);
    prepared.timestampFormat =
        settle("NLS_TIMESTAMP_FORMAT", SessionTimestampFormat(locale), lastEnvironment.timestampFormat);
    prepared.timestampTzFormat = settle("NLS_TIMESTAMP_TZ_FORMAT", SessionTimestampTzFormat(locale),
                                        lastEnvironment.timestampTzFormat);
    prepared.numericCharacters =
        settle("NLS_NUMERIC_CHARACTERS", SessionNumericCharacters(locale), lastEnvironment.numericCharacters);
    lastEnvironment = prepared;
    return prepared;
}

ClientNlsEnvironment CurrentClientEnvironment()
{
    std::lock_guard lock(environmentMutex);
    return lastEnvironment;
}

} // namespace rowpour::oracle
