#pragma once

#include <QString>

#include <functional>

namespace rowpour::oracle
{

// Message boxes of the statement layer: the columns a result set skips
// (object, REF, cursor) and the statement text of a query with Debug on. The
// widgets install a message box; without a hook the message is dropped.
using MessageBoxHook = std::function<void(const QString &message)>;
void InstallMessageBoxHook(MessageBoxHook hook);
void ShowMessageBox(const QString &message);

} // namespace rowpour::oracle
