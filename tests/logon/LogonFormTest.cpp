// The logon window's own behaviour: rows and sizes, focus on showing,
// Ctrl+Enter, the history menu and the alias drop-down.

#include "oracle/LogonHistory.h"
#include "oracle/OracleLogon.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

using namespace rowpour::oracle;

namespace
{

TLogonWindowSetup fullSetup()
{
    TLogonWindowSetup setup;
    setup.Title = "Oracle Logon";
    setup.UsernameLabel = "Username";
    setup.PasswordLabel = "Password";
    setup.DatabaseLabel = "Database";
    setup.ConnectAsLabel = "Connect as";
    setup.OKCaption = "OK";
    setup.CancelCaption = "Cancel";
    return setup;
}

struct SizeCase {
    const char *name;
    bool databaseRow;
    bool connectAsRow;
    bool passwordForm;
    int height;
};

void PrintTo(const SizeCase &c, std::ostream *os)
{
    *os << c.name;
}

class LogonFormSize : public ::testing::TestWithParam<SizeCase>
{
};

TEST_P(LogonFormSize, HiddenRowsShrinkTheWindow)
{
    const SizeCase &c = GetParam();
    TLogonWindowSetup setup = fullSetup();
    setup.DatabaseRow = c.databaseRow;
    setup.ConnectAsRow = c.connectAsRow;
    setup.PasswordForm = c.passwordForm;
    TLogOnForm form(setup);
    EXPECT_EQ(form.size(), QSize(358, c.height));
    EXPECT_EQ(form.GroupBox->height(), c.height - 62);
    EXPECT_EQ(form.DBPanel->isHidden(), !c.databaseRow || c.passwordForm);
    EXPECT_EQ(form.CAPanel->isHidden(), !c.connectAsRow || c.passwordForm);
    EXPECT_EQ(form.ButtonPanel->geometry(), QRect(0, c.height - 47, 358, 47));
}

INSTANTIATE_TEST_SUITE_P(Rows, LogonFormSize,
                         ::testing::Values(SizeCase{"AllRows", true, true, false, 215},
                                           SizeCase{"NoDatabaseRow", false, true, false, 183},
                                           SizeCase{"NoConnectAsRow", true, false, false, 180},
                                           SizeCase{"PasswordForm", true, true, true, 148}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(LogonForm, DatabaseRowSitsAboveTheConnectAsRow)
{
    TLogOnForm form(fullSetup());
    EXPECT_EQ(form.CAPanel->geometry(), QRect(2, 116, 339, 35));
    EXPECT_EQ(form.DBPanel->geometry(), QRect(2, 84, 339, 32));
    EXPECT_EQ(form.UsernameEdit->geometry(), QRect(128, 20, 185, 24));
    EXPECT_EQ(form.OKBtn->geometry(), QRect(12, 6, 97, 33));
    EXPECT_TRUE(form.OKBtn->isDefault());
    EXPECT_EQ(form.ConnectAsList->count(), 3);
    EXPECT_FALSE(form.ConnectAsList->isEditable());
}

TEST(LogonForm, PasswordFormMasksBothEditsWithTheGivenLabels)
{
    TLogonWindowSetup setup = fullSetup();
    setup.PasswordForm = true;
    setup.UsernameLabel = "New password";
    setup.PasswordLabel = "Verification";
    TLogOnForm form(setup);
    EXPECT_EQ(form.UsernameEdit->echoMode(), QLineEdit::Password);
    EXPECT_EQ(form.PasswordEdit->echoMode(), QLineEdit::Password);
    EXPECT_EQ(form.Label1->text(), QStringLiteral("New password"));
    EXPECT_EQ(form.Label2->text(), QStringLiteral("Verification"));
    EXPECT_EQ(form.UsernameEdit->style()->styleHint(QStyle::SH_LineEdit_PasswordCharacter), '*');
}

TEST(LogonForm, ShowingFocusesThePasswordOnlyWhenAUserNameIsThere)
{
    for (const bool withUser : {false, true}) {
        TLogOnForm form(fullSetup());
        form.SetUsername(withUser ? "scott" : "");
        form.show();
        EXPECT_EQ(form.focusWidget(), withUser ? form.PasswordEdit : form.UsernameEdit) << withUser;
    }
}

TEST(LogonForm, CtrlEnterClosesWithOKAndMarksControl)
{
    TLogOnForm form(fullSetup());
    QTimer::singleShot(0, &form,
                       [&] { QTest::keyClick(form.UsernameEdit, Qt::Key_Return, Qt::ControlModifier); });
    EXPECT_TRUE(form.ShowModal());
    EXPECT_TRUE(form.ControlHeldOnOK());

    // The mark belongs to one showing only.
    QTimer::singleShot(0, &form, [&] { QTest::keyClick(form.PasswordEdit, Qt::Key_Return); });
    EXPECT_TRUE(form.ShowModal());
    EXPECT_FALSE(form.ControlHeldOnOK());

    QTimer::singleShot(0, &form, [&] { QTest::keyClick(form.PasswordEdit, Qt::Key_Escape); });
    EXPECT_FALSE(form.ShowModal());
}

TEST(LogonForm, EditableAliasListAcceptsTypedTextAndListsAliases)
{
    for (const QStringList &aliases : {QStringList{}, QStringList{"DEV", "PROD"}}) {
        TLogonWindowSetup setup = fullSetup();
        setup.DatabaseList = true;
        setup.Aliases = aliases;
        setup.AliasDropDownCount = 8;
        TLogOnForm form(setup);
        EXPECT_TRUE(form.DatabaseEdit->isHidden());
        EXPECT_FALSE(form.AliasList->isHidden());
        EXPECT_EQ(form.AliasList->geometry(), QRect(126, 0, 185, 24));
        EXPECT_EQ(form.AliasList->count(), aliases.size());
        EXPECT_EQ(form.AliasList->maxVisibleItems(), 8);
        form.show();
        form.AliasList->setFocus();
        form.AliasList->lineEdit()->clear();
        QTest::keyClicks(form.AliasList->lineEdit(), "typed_db");
        EXPECT_EQ(form.Database(), QStringLiteral("typed_db"));
    }
}

class LogonFormHistory : public ::testing::Test
{
protected:
    void SetUp() override
    {
        history().Clear();
        history().WithPassword = true;
        history().MaxItems = 6;
        history().AddLogon("scott", "tiger", true, "", "orcl");
        history().AddLogon("sys", "secret", true, "sysdba", "");
    }
    void TearDown() override { history().Clear(); }
    static THistoryItems &history() { return LogonHistory(); }
};

TEST_F(LogonFormHistory, MenuListsTheEntriesInHistoryOrder)
{
    TLogonWindowSetup setup = fullSetup();
    setup.HistoryButton = true;
    setup.HistoryEnabled = true;
    setup.HistoryHint = "Logon history";
    TLogOnForm form(setup);
    EXPECT_FALSE(form.HistoryBtn->isHidden());
    EXPECT_EQ(form.HistoryBtn->toolTip(), QStringLiteral("Logon history"));
    form.show();
    form.HistoryBtnClick();
    form.HistoryBtnClick(); // rebuilt, not appended
    QStringList captions;
    for (QAction *action : form.HistoryPopup->actions())
        captions << action->text();
    EXPECT_EQ(captions, (QStringList{"sys as sysdba", "scott@orcl"}));
    form.HistoryPopup->close();
}

TEST_F(LogonFormHistory, PickingAnEntryFillsTheFields)
{
    struct PickCase {
        bool withPassword;
        bool databaseList;
    };
    for (const PickCase c : {PickCase{true, false}, PickCase{false, true}}) {
        history().WithPassword = c.withPassword;
        TLogonWindowSetup setup = fullSetup();
        setup.DatabaseList = c.databaseList;
        setup.HistoryButton = true;
        setup.HistoryEnabled = true;
        TLogOnForm form(setup);
        form.show();
        form.HistoryClick(1);
        EXPECT_EQ(form.Username(), QStringLiteral("scott"));
        EXPECT_EQ(form.Password(), c.withPassword ? QStringLiteral("tiger") : QString());
        EXPECT_EQ(form.Database(), QStringLiteral("orcl"));
        EXPECT_EQ(form.ConnectAsIndex(), 0);
        form.HistoryBtnClick();
        form.HistoryPopup->actions().at(0)->trigger();
        EXPECT_EQ(form.Username(), QStringLiteral("sys"));
        EXPECT_EQ(form.Database(), QString());
        EXPECT_EQ(form.ConnectAsIndex(), 1); // "sysdba" in any letter case
        form.HistoryPopup->close();
    }
}

TEST_F(LogonFormHistory, ButtonIsDisabledForAnEmptyHistoryAndHiddenWithoutIt)
{
    TLogonWindowSetup setup = fullSetup();
    setup.HistoryButton = true;
    setup.HistoryEnabled = false;
    TLogOnForm withButton(setup);
    EXPECT_FALSE(withButton.HistoryBtn->isHidden());
    EXPECT_FALSE(withButton.HistoryBtn->isEnabled());
    TLogOnForm withoutButton(fullSetup());
    EXPECT_TRUE(withoutButton.HistoryBtn->isHidden());
}

} // namespace
