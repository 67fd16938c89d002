#include "cli/Options.h"

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

} // namespace rowpour::cli
