#pragma once
// What the desktop program does for the layers below its windows: the busy
// cursor, the statement layer's message boxes, the logon window, the failure
// display and the import's message boxes. Those layers link no widgets and
// call these services instead; the desktop program installs its own once at
// start-up, and until then every operation is the headless one.

#include <QString>

#include <memory>

namespace rowpour::oracle
{

class ILogonUi;

// Screen cursors, with the values the widgets map to their own cursors.
using TCursor = int;
constexpr TCursor crDefault = 0;
constexpr TCursor crHourGlass = -11;
constexpr TCursor crSQLWait = -17;

enum class MessageIcon { Information, Error };

class DesktopServices
{
public:
    virtual ~DesktopServices() = default;

    // Remembers the screen cursor and shows this one; each call is paired
    // with one restoreCursor. Headless: nothing.
    virtual void showBusyCursor(TCursor cursor);
    virtual void restoreCursor();
    // The statement layer's information boxes (the columns a result set
    // skips, the text of a query with Debug on). Headless: dropped.
    virtual void showMessageBox(const QString &message);
    // The windows of the logon conversation. Headless: automatic logons
    // work, anything that needs the operator fails with a message.
    virtual std::shared_ptr<ILogonUi> logonUi();
    // A failure that ended a command, with the title and text to show.
    // Headless: written to standard error.
    virtual void showFailure(const QString &title, const QString &text);
    // A message box of the import (validation, the failed delete, the
    // summary). Headless: written to standard error.
    virtual void showImportMessage(const QString &caption, const QString &text, MessageIcon icon);
};

// The services in use: the headless ones until a program installs its own.
std::shared_ptr<DesktopServices> InstalledDesktopServices();
// Process-wide; null puts the headless services back.
void InstallDesktopServices(std::unique_ptr<DesktopServices> services);

// Installs services for its own lifetime and then puts back the ones it
// replaced.
class DesktopServicesScope
{
public:
    explicit DesktopServicesScope(std::unique_ptr<DesktopServices> services);
    ~DesktopServicesScope();
    DesktopServicesScope(const DesktopServicesScope &) = delete;
    DesktopServicesScope &operator=(const DesktopServicesScope &) = delete;

private:
    std::shared_ptr<DesktopServices> previous_;
};

// Services that pass every operation on to the ones installed when they were
// made; whatever changes one operation for a while derives from them.
class ForwardingDesktopServices : public DesktopServices
{
public:
    ForwardingDesktopServices() : next_(InstalledDesktopServices()) {}

    void showBusyCursor(TCursor cursor) override { next_->showBusyCursor(cursor); }
    void restoreCursor() override { next_->restoreCursor(); }
    void showMessageBox(const QString &message) override { next_->showMessageBox(message); }
    std::shared_ptr<ILogonUi> logonUi() override { return next_->logonUi(); }
    void showFailure(const QString &title, const QString &text) override { next_->showFailure(title, text); }
    void showImportMessage(const QString &caption, const QString &text, MessageIcon icon) override
    {
        next_->showImportMessage(caption, text, icon);
    }

private:
    std::shared_ptr<DesktopServices> next_;
};

} // namespace rowpour::oracle
