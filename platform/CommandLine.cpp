#include "platform/CommandLine.h"

#include <QCoreApplication>

#include <mutex>
#include <optional>

namespace rowpour::platform::CommandLine
{

namespace
{
std::mutex overrideMutex;
std::optional<QStringList> overridden;
} // namespace

QStringList arguments()
{
    {
        std::lock_guard lock(overrideMutex);
        if (overridden)
            return *overridden;
    }
    if (!QCoreApplication::instance())
        return {};
    return QCoreApplication::arguments().mid(1);
}

void setArguments(const QStringList &list)
{
    std::lock_guard lock(overrideMutex);
    overridden = list;
}

QString parameter(const QString &name, const QStringList &list)
{
    const QString prefix = name + QLatin1Char('=');
    for (const QString &argument : list) {
        if (argument.startsWith(prefix, Qt::CaseInsensitive))
            return argument.mid(prefix.size());
    }
    return {};
}

QString parameter(const QString &name)
{
    return parameter(name, arguments());
}

} // namespace rowpour::platform::CommandLine
