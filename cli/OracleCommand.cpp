#include "cli/OracleCommand.h"

#include "cli/CliTexts.h"
#include "cli/Options.h"

#include "platform/CommandLine.h"

#include <stdexcept>

namespace rowpour::cli
{

QString takeUserId(QStringList &args)
{
    // The access layer reads these from the command line itself.
    for (const char *name : {"OCIDLL=", "ORACLEHOME="})
        args.removeIf(
            [&](const QString &a) { return a.startsWith(QLatin1String(name), Qt::CaseInsensitive); });
    if (const std::optional<QString> userId = takeOption(args, QStringLiteral("--userid")))
        return withPassword(*userId);
    // As the desktop program, a "UserId=" parameter gives the logon too; the
    // other parameters of the access layer (OCIDLL=, ORACLEHOME=) stay in args.
    for (qsizetype i = 0; i < args.size(); ++i) {
        if (args[i].startsWith(QStringLiteral("UserId="), Qt::CaseInsensitive)) {
            const QString value = platform::CommandLine::parameter(QStringLiteral("UserId"), {args[i]});
            args.remove(i);
            return withPassword(value);
        }
    }
    throw std::runtime_error(texts::MissingUserId);
}

bool takeFlag(QStringList &args, const QString &flag)
{
    return args.removeAll(flag) > 0;
}

LoggedOnSession::LoggedOnSession(const QString &userId) : session_(std::make_unique<oracle::TOracleSession>())
{
    session_->SetLogonUsername(userId);
    session_->LogOn();
}

LoggedOnSession::~LoggedOnSession()
{
    try {
        session_->LogOff();
    } catch (...) {
        // The command's own result has been reported; a failing log off adds nothing to it.
    }
}

QString escapeField(const QString &text)
{
    QString result;
    result.reserve(text.size());
    for (const QChar c : text) {
        switch (c.unicode()) {
        case '\t':
            result += QLatin1String("\\t");
            break;
        case '\n':
            result += QLatin1String("\\n");
            break;
        case '\r':
            result += QLatin1String("\\r");
            break;
        case '\\':
            result += QLatin1String("\\\\");
            break;
        default:
            result += c;
        }
    }
    return result;
}

} // namespace rowpour::cli
