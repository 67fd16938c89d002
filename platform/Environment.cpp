#include "platform/Environment.h"

#include <QDir>

#include <cstdlib>

namespace rowpour::platform::Environment
{

QString variable(const char *name)
{
    const char *value = std::getenv(name);
    return value ? QString::fromLocal8Bit(value) : QString();
}

bool isSet(const char *name)
{
    return std::getenv(name) != nullptr;
}

void setVariable(const char *name, const QString &value)
{
    ::setenv(name, value.toLocal8Bit().constData(), 1);
}

void unsetVariable(const char *name)
{
    ::unsetenv(name);
}

QString currentDirectory()
{
    return QDir::currentPath();
}

bool setCurrentDirectory(const QString &path)
{
    return QDir::setCurrent(path);
}

QString homeDirectory()
{
    return QDir::homePath();
}

} // namespace rowpour::platform::Environment
