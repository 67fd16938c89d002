#include "cli/Options.h"

#include "platform/Environment.h"
#include "platform/Terminal.h"

#include <QRegularExpression>

#include <stdexcept>

namespace rowpour::cli
{

std::optional<QString> takeOption(QStringList &args, const QString &name)
{
    for (qsizetype i = 0; i < args.size(); ++i) {
        if (args[i] == name) {
            if (i + 1 >= args.size())
                throw std::runtime_error((name + QStringLiteral(" needs a value")).toStdString());
            const QString value = args[i + 1];
            args.remove(i, 2);
            return value;
        }
        if (args[i].startsWith(name + QLatin1Char('='))) {
            const QString value = args[i].mid(name.size() + 1);
            args.remove(i);
            return value;
        }
    }
    return std::nullopt;
}

QString takeRequiredOption(QStringList &args, const QString &name)
{
    const std::optional<QString> value = takeOption(args, name);
    if (!value)
        throw std::runtime_error(("missing " + name).toStdString());
    return *value;
}

void expectNoMoreArguments(const QStringList &args)
{
    if (!args.isEmpty())
        throw std::runtime_error(("unexpected argument " + args.first()).toStdString());
}

namespace
{

// The user part ends at the "@" of the database, or before an " as sysdba"
// or " as sysoper" at the end.
qsizetype endOfUserPart(const QString &logonText)
{
    const qsizetype at = logonText.indexOf(QLatin1Char('@'));
    if (at >= 0)
        return at;
    static const QRegularExpression connectAs(QStringLiteral("\\s+as\\s+(sysdba|sysoper)\\s*$"),
                                              QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = connectAs.match(logonText);
    return match.hasMatch() ? match.capturedStart() : logonText.size();
}

} // namespace

QString withPassword(const QString &logonText)
{
    const qsizetype userEnd = endOfUserPart(logonText);
    if (logonText.isEmpty() || logonText.left(userEnd).contains(QLatin1Char('/')))
        return logonText;
    std::optional<QString> password = platform::Environment::variable(kPasswordVariable);
    if (password->isEmpty()) {
        if (!platform::standardInputIsTerminal())
            return logonText;
        password = platform::readLineWithoutEcho(
            QStringLiteral("Password for %1: ").arg(logonText.left(userEnd).trimmed()));
        if (!password)
            return logonText;
    }
    return logonText.left(userEnd) + QLatin1Char('/') + *password + logonText.mid(userEnd);
}

} // namespace rowpour::cli
