#pragma once
// The desktop program's services for the layers below its windows: the wait
// cursor, message boxes and the widget logon window. Installed once at
// start-up; the layers themselves link no widgets.

#include "oracle/DesktopServices.h"

#include <memory>
#include <vector>

namespace rowpour::app
{

class WidgetDesktopServices : public oracle::DesktopServices
{
public:
    WidgetDesktopServices();

    void showBusyCursor(oracle::TCursor cursor) override;
    void restoreCursor() override;
    void showMessageBox(const QString &message) override;
    std::shared_ptr<oracle::ILogonUi> logonUi() override;
    void showFailure(const QString &title, const QString &text) override;
    void showImportMessage(const QString &caption, const QString &text, oracle::MessageIcon icon) override;

private:
    std::shared_ptr<oracle::ILogonUi> logonUi_;
    // Each show is paired with one restore; only cursors set here are taken back.
    std::vector<bool> shownCursors_;
};

} // namespace rowpour::app
