#include "oracle/DesktopServices.h"

#include "oracle/OracleLogonComponent.h"

#include <QDebug>

#include <mutex>

namespace rowpour::oracle
{

namespace
{

std::mutex servicesMutex;

std::shared_ptr<DesktopServices> &installedServices()
{
    static std::shared_ptr<DesktopServices> services = std::make_shared<DesktopServices>();
    return services;
}

// Swaps the services under the lock; a caller that holds the previous ones
// (a call on another thread) keeps them alive until it returns.
std::shared_ptr<DesktopServices> exchangeServices(std::shared_ptr<DesktopServices> services)
{
    if (!services)
        services = std::make_shared<DesktopServices>();
    std::lock_guard lock(servicesMutex);
    std::swap(installedServices(), services);
    return services;
}

} // namespace

void DesktopServices::showBusyCursor(TCursor) {}

void DesktopServices::restoreCursor() {}

void DesktopServices::showMessageBox(const QString &) {}

std::shared_ptr<ILogonUi> DesktopServices::logonUi()
{
    return WindowlessLogonUi();
}

void DesktopServices::showFailure(const QString &title, const QString &text)
{
    qWarning().noquote() << title + QLatin1String(": ") + text;
}

void DesktopServices::showImportMessage(const QString &caption, const QString &text, MessageIcon)
{
    qWarning().noquote() << caption + QLatin1String(": ") + text;
}

std::shared_ptr<DesktopServices> InstalledDesktopServices()
{
    std::lock_guard lock(servicesMutex);
    return installedServices();
}

void InstallDesktopServices(std::unique_ptr<DesktopServices> services)
{
    exchangeServices(std::move(services));
}

DesktopServicesScope::DesktopServicesScope(std::unique_ptr<DesktopServices> services)
    : previous_(exchangeServices(std::move(services)))
{
}

DesktopServicesScope::~DesktopServicesScope()
{
    exchangeServices(std::move(previous_));
}

} // namespace rowpour::oracle
