#include "app/DesktopHooks.h"

#include "import/FailureDisplay.h"
#include "import/MsgFrm.h"
#include "oracle/Oracle.h"
#include "oracle/OracleTypes.h"

#include <QApplication>
#include <QCoreApplication>
#include <QMessageBox>
#include <QThread>

#include <vector>

namespace rowpour::app
{

namespace
{

// Cursors may only change on the user-interface thread; a database call run
// beside the animated popup leaves the cursor alone.
bool onUserInterfaceThread()
{
    return QThread::currentThread() == QCoreApplication::instance()->thread();
}

// Each show is paired with one restore; only cursors set here are taken back.
std::vector<bool> &shownCursors()
{
    static std::vector<bool> shown;
    return shown;
}

void showBusyCursor(oracle::TCursor cursor)
{
    const bool show = onUserInterfaceThread() && cursor != oracle::crDefault;
    if (show)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    if (onUserInterfaceThread())
        shownCursors().push_back(show);
}

void restoreCursor()
{
    if (!onUserInterfaceThread() || shownCursors().empty())
        return;
    const bool shown = shownCursors().back();
    shownCursors().pop_back();
    if (shown)
        QApplication::restoreOverrideCursor();
}

void showInformation(const QString &message)
{
    if (!onUserInterfaceThread())
        return;
    TPopupHiddenScope popupHidden;
    QMessageBox::information(nullptr, ApplicationTitle(QCoreApplication::applicationFilePath()), message);
}

} // namespace

void InstallDesktopHooks()
{
    oracle::TOracleSession::InstallBusyCursorHook({showBusyCursor, restoreCursor});
    oracle::InstallMessageBoxHook(showInformation);
}

} // namespace rowpour::app
