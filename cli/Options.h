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

} // namespace rowpour::cli
