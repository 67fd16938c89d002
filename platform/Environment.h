#pragma once
// Environment variables and the working directory of the process.

#include <QString>

namespace rowpour::platform::Environment
{

// The variable's value; empty when unset.
QString variable(const char *name);
bool isSet(const char *name);
void setVariable(const char *name, const QString &value);
void unsetVariable(const char *name);

QString currentDirectory();
// Returns false when the directory cannot be entered.
bool setCurrentDirectory(const QString &path);

// The user's home directory.
QString homeDirectory();

} // namespace rowpour::platform::Environment
