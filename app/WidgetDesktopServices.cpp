#include "app/WidgetDesktopServices.h"

#include "import/FailureDisplay.h"
#include "import/MsgFrm.h"
#include "oracle/OracleLogon.h"

#include <QApplication>
#include <QCoreApplication>
#include <QMessageBox>
#include <QThread>

namespace rowpour::app
{

namespace
{

// Cursors and message boxes belong to the user-interface thread; a database
// call run beside the animated popup leaves them alone.
bool onUserInterfaceThread()
{
    return QThread::currentThread() == QCoreApplication::instance()->thread();
}

} // namespace

WidgetDesktopServices::WidgetDesktopServices() : logonUi_(oracle::LogonDialogs()) {}

void WidgetDesktopServices::showBusyCursor(oracle::TCursor cursor)
{
    if (!onUserInterfaceThread())
        return;
    const bool show = cursor != oracle::crDefault;
    if (show)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    shownCursors_.push_back(show);
}

void WidgetDesktopServices::restoreCursor()
{
    if (!onUserInterfaceThread() || shownCursors_.empty())
        return;
    const bool shown = shownCursors_.back();
    shownCursors_.pop_back();
    if (shown)
        QApplication::restoreOverrideCursor();
}

void WidgetDesktopServices::showMessageBox(const QString &message)
{
    if (!onUserInterfaceThread())
        return;
    TPopupHiddenScope popupHidden;
    QMessageBox::information(nullptr, ApplicationTitle(QCoreApplication::applicationFilePath()), message);
}

std::shared_ptr<oracle::ILogonUi> WidgetDesktopServices::logonUi()
{
    return logonUi_;
}

// The error icon, one OK button, over the active window.
void WidgetDesktopServices::showFailure(const QString &title, const QString &text)
{
    TPopupHiddenScope popupHidden;
    QMessageBox box(QMessageBox::Critical, title, text, QMessageBox::Ok, QApplication::activeWindow());
    box.exec();
}

// Without an owner window, with the given caption and icon and one OK button.
void WidgetDesktopServices::showImportMessage(const QString &caption, const QString &text,
                                              oracle::MessageIcon icon)
{
    TPopupHiddenScope popupHidden;
    QMessageBox box(icon == oracle::MessageIcon::Error ? QMessageBox::Critical : QMessageBox::Information,
                    caption, text, QMessageBox::Ok);
    box.exec();
}

} // namespace rowpour::app
