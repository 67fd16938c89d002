#pragma once
// Parameters given on the command line as NAME=value.

#include <QString>
#include <QStringList>

namespace rowpour::platform::CommandLine
{

// The program's arguments without the program name: QCoreApplication's, or
// the list set by setArguments.
QStringList arguments();
// Replaces the argument list (a tool that takes its own options passes the
// rest through; tests set their own).
void setArguments(const QStringList &arguments);

// The value of the first argument that begins with NAME followed by "=", the
// name matched without regard to case; empty when there is none.
QString parameter(const QString &name, const QStringList &arguments);
QString parameter(const QString &name);

} // namespace rowpour::platform::CommandLine
