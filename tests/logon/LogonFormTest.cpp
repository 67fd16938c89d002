// The logon window's own behaviour: rows and sizes, Ctrl+Enter, the history
// menu and the alias drop-down.

#include "oracle/LogonHistory.h"
#include "oracle/OracleLogon.h"

#include <QComboBox>
#include <QFrame>
#include <QLineEdit>
#include <QMenu>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

using namespace rowpour::oracle;

namespace
{

TEST(LogonForm, HiddenRowsShrinkTheWindow)
{
    struct Case {
        const char *name;
        bool databaseRow, connectAsRow, passwordForm;
        int height;
    };
    for (const Case c :
         {Case{"AllRows", true, true, false, 215}, Case{"NoDatabaseRow", false, true, false, 183},
          Case{"NoConnectAsRow", true, false, false, 180}, Case{"PasswordForm", true, true, true, 148}}) {
        SCOPED_TRACE(c.name);
        TLogonWindowSetup setup;
        setup.DatabaseRow = c.databaseRow;
        setup.ConnectAsRow = c.connectAsRow;
        setup.PasswordForm = c.passwordForm;
        TLogOnForm form(setup);
        EXPECT_EQ(form.size(), QSize(358, c.height));
        EXPECT_EQ(form.ButtonPanel->geometry(), QRect(0, c.height - 47, 358, 47));
        EXPECT_EQ(form.UsernameEdit->echoMode(), c.passwordForm ? QLineEdit::Password : QLineEdit::Normal);
        if (c.databaseRow && !c.passwordForm) {
            EXPECT_EQ(form.DBPanel->y(), 84); // above the connect-as row, or in its place
        }
    }
}

TEST(LogonForm, CtrlEnterClosesWithOKAndMarksThatShowingOnly)
{
    TLogOnForm form(TLogonWindowSetup{});
    QTimer::singleShot(0, &form,
                       [&] { QTest::keyClick(form.UsernameEdit, Qt::Key_Return, Qt::ControlModifier); });
    EXPECT_TRUE(form.ShowModal());
    EXPECT_TRUE(form.ControlHeldOnOK());

    QTimer::singleShot(0, &form, [&] { QTest::keyClick(form.PasswordEdit, Qt::Key_Escape); });
    EXPECT_FALSE(form.ShowModal());
    EXPECT_FALSE(form.ControlHeldOnOK());
}

TEST(LogonForm, EditableAliasListAcceptsTypedText)
{
    for (const QStringList &aliases : {QStringList{}, QStringList{"DEV", "PROD"}}) {
        TLogonWindowSetup setup;
        setup.DatabaseList = true;
        setup.Aliases = aliases;
        TLogOnForm form(setup);
        EXPECT_TRUE(form.DatabaseEdit->isHidden());
        EXPECT_EQ(form.AliasList->geometry(), QRect(126, 0, 185, 24));
        EXPECT_EQ(form.AliasList->count(), aliases.size());
        form.show();
        form.AliasList->setFocus();
        form.AliasList->lineEdit()->clear();
        QTest::keyClicks(form.AliasList->lineEdit(), "typed_db");
        EXPECT_EQ(form.Database(), QStringLiteral("typed_db"));
    }
}

TEST(LogonForm, HistoryMenuListsTheEntriesAndPickingOneFillsTheFields)
{
    THistoryItems &history = LogonHistory();
    history.Clear();
    history.WithPassword = true;
    history.AddLogon("scott", "tiger", true, "", "orcl");
    history.AddLogon("sys", "secret", true, "sysdba", "");
    for (const bool withPassword : {true, false}) {
        SCOPED_TRACE(withPassword);
        history.WithPassword = withPassword;
        TLogonWindowSetup setup;
        setup.DatabaseList = !withPassword; // the database goes to whichever control is shown
        setup.HistoryButton = true;
        setup.HistoryEnabled = true;
        TLogOnForm form(setup);
        form.show();
        form.HistoryBtnClick();
        form.HistoryBtnClick(); // rebuilt, not appended
        QStringList captions;
        for (QAction *action : form.HistoryPopup->actions())
            captions << action->text();
        EXPECT_EQ(captions, (QStringList{"sys as sysdba", "scott@orcl"}));
        form.HistoryPopup->actions().at(1)->trigger();
        EXPECT_EQ(form.Username(), QStringLiteral("scott"));
        EXPECT_EQ(form.Password(), withPassword ? QStringLiteral("tiger") : QString());
        EXPECT_EQ(form.Database(), QStringLiteral("orcl"));
        EXPECT_EQ(form.ConnectAsIndex(), 0);
        form.HistoryClick(0);
        EXPECT_EQ(form.Database(), QString());
        EXPECT_EQ(form.ConnectAsIndex(), 1); // "sysdba" in any letter case
        form.HistoryPopup->close();
    }
    history.Clear();
}

} // namespace
