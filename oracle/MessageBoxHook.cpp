#include "oracle/MessageBoxHook.h"

#include <mutex>

namespace rowpour::oracle
{

namespace
{

std::mutex &hookMutex()
{
    static std::mutex mutex;
    return mutex;
}

MessageBoxHook &messageBoxHook()
{
    static MessageBoxHook hook;
    return hook;
}

} // namespace

void InstallMessageBoxHook(MessageBoxHook hook)
{
    std::lock_guard lock(hookMutex());
    messageBoxHook() = std::move(hook);
}

void ShowMessageBox(const QString &message)
{
    MessageBoxHook hook;
    {
        std::lock_guard lock(hookMutex());
        hook = messageBoxHook();
    }
    if (hook)
        hook(message);
}

} // namespace rowpour::oracle
