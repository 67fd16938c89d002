#include "cli/Options.h"

#include "cli/CliTexts.h"
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
                throw std::runtime_error(QString::fromUtf8(texts::OptionNeedsValue).arg(name).toStdString());
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
        throw std::runtime_error(QString::fromUtf8(texts::MissingOption).arg(name).toStdString());
    return *value;
}

void expectNoMoreArguments(const QStringList &args)
{
    if (!args.isEmpty())
        throw std::runtime_error(
            QString::fromUtf8(texts::UnexpectedArgument).arg(args.first()).toStdString());
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

// ROWPOUR_PASSWORD, else what the operator types at the terminal; nullopt
// when there is neither.
std::optional<QString> passwordFor(const QString &user)
{
    const QString fromEnvironment = platform::Environment::variable(kPasswordVariable);
    if (!fromEnvironment.isEmpty())
        return fromEnvironment;
    if (!platform::standardInputIsTerminal())
        return std::nullopt;
    return platform::readLineWithoutEcho(QString::fromUtf8(texts::PasswordPrompt).arg(user));
}

} // namespace

QString withPassword(const QString &logonText)
{
    const qsizetype userEnd = endOfUserPart(logonText);
    const QString user = logonText.left(userEnd);
    if (logonText.isEmpty() || user.contains(QLatin1Char('/')))
        return logonText;
    const std::optional<QString> password = passwordFor(user.trimmed());
    if (!password)
        return logonText;
    return user + QLatin1Char('/') + *password + logonText.mid(userEnd);
}

} // namespace rowpour::cli
