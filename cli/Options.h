#pragma once
// Option parsing shared by the rowpour-batch commands.

#include <QString>
#include <QStringList>

#include <optional>

namespace rowpour::cli
{

// Removes "NAME VALUE" or "NAME=VALUE" from args and returns VALUE; nullopt
// when the option is absent. Throws std::runtime_error when NAME has no value.
std::optional<QString> takeOption(QStringList &args, const QString &name);

// As takeOption, throwing std::runtime_error when the option is absent.
QString takeRequiredOption(QStringList &args, const QString &name);

// Throws std::runtime_error naming the first argument left over.
void expectNoMoreArguments(const QStringList &args);

// The environment variable that gives the password of a logon text without one.
inline constexpr const char *kPasswordVariable = "ROWPOUR_PASSWORD";

// A logon text "user@database" without a password gets one, so that it need
// not stand on the command line where every local user can read it: from
// ROWPOUR_PASSWORD when that is set, else asked for without echo when
// standard input is a terminal. Otherwise the text stays as it is.
QString withPassword(const QString &logonText);

} // namespace rowpour::cli
