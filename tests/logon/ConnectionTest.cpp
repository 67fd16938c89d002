// Connecting, disconnecting and listing tables and columns from the main
// window against the development database.

#include "LogonDevdb.h"

#include "../app/WidgetTest.h"
#include "app/mainFRm.h"
#include "oracle/LogonHistory.h"
#include "oracle/OracleLogon.h"
#include "platform/Registry.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <algorithm>

namespace rowpour::oracle::testing
{
namespace
{

QStringList items(const QComboBox *box)
{
    QStringList list;
    for (int i = 0; i < box->count(); ++i)
        list << box->itemText(i);
    return list;
}

class Connection : public LogonDevdbTest
{
protected:
    void SetUp() override
    {
        LogonDevdbTest::SetUp();
        if (IsSkipped())
            return;
        form = std::make_unique<TForm1>();
    }
    void TearDown() override
    {
        form.reset();
        LogonDevdbTest::TearDown();
    }

    ScriptedLogonUi &ui() { return scope.ui(); }
    void script(std::initializer_list<Showing> showings) { ui().showings.assign(showings); }
    void connectAsScott()
    {
        script({LogonAs("scott", "tiger", "ORCL")});
        form->Button1Click();
        ASSERT_TRUE(form->Connected());
    }
    QString cell(int row, int column) const { return form->SG()->Cells().Cell(row, column); }
    // The order in which the server lists scott's tables; user_tables promises none, so it is asked.
    QStringList serverOrder()
    {
        return sql(QStringLiteral("scott/tiger"), "select table_name from user_tables\n")
            .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }
    // Writes "<row>:<column>" into the columns the listing must not touch.
    void markOperatorColumns(int rows)
    {
        form->SG()->setRowCount(rows + 1);
        for (int row = 1; row <= rows; ++row) {
            for (int column = 3; column < 6; ++column)
                form->SG()->setCell(row, column, QStringLiteral("%1:%2").arg(row).arg(column));
        }
    }
    void expectOperatorColumnsKept(int rows) const
    {
        for (int row = 1; row <= rows; ++row) {
            for (int column = 3; column < 6; ++column)
                EXPECT_EQ(cell(row, column), QStringLiteral("%1:%2").arg(row).arg(column))
                    << row << "," << column;
        }
    }

    ScriptedUiScope scope; // installed before the window, which then keeps it
    std::unique_ptr<TForm1> form;
};

TEST_F(Connection, ConnectListsTheTablesInServerOrderWithoutChoosingOne)
{
    form->SG()->setCell(1, 0, "kept");
    connectAsScott();
    EXPECT_EQ(form->Button1()->text(), QStringLiteral("Disconnect"));
    EXPECT_EQ(items(form->ComboBox1()), serverOrder());
    EXPECT_EQ(items(form->ComboBox1()).size(), 3);
    EXPECT_EQ(form->ComboBox1()->currentIndex(), -1);
    EXPECT_FALSE(form->ods1().Active());
    EXPECT_EQ(form->SG()->rowCount(), 5);
    EXPECT_EQ(cell(1, 0), QStringLiteral("kept"));
}

// A cancelled logon, and one whose attempts all failed (Execute answers true
// then), leave the window disconnected with its list as it was.
TEST_F(Connection, NoLogonLeavesTheWindowAsItWas)
{
    form->ComboBox1()->addItem("EARLIER");
    const Showing bad = LogonAs("scott", "bad", "ORCL");
    for (const std::initializer_list<Showing> showings :
         {std::initializer_list<Showing>{Cancel()}, {bad, bad, bad}}) {
        script(showings);
        form->Button1Click();
        EXPECT_FALSE(form->Connected());
        EXPECT_FALSE(form->OracleSession1().Connected());
        EXPECT_EQ(form->Button1()->text(), QStringLiteral("Connect"));
        EXPECT_EQ(items(form->ComboBox1()), QStringList{"EARLIER"});
    }
    EXPECT_EQ(ui().messages.size(), 3);
}

TEST_F(Connection, PickingTablesWithTheKeyboardListsEachTablesColumns)
{
    connectAsScott();
    markOperatorColumns(6);
    form->show();
    form->ComboBox1()->setFocus();

    struct Step {
        const char *table;
        QStringList names;
        QStringList types;
    };
    const Step tables[] = {
        {"ZETA", {"ID", "NAME", "BORN"}, {"NUMBER", "VARCHAR2", "DATE"}},
        {"ALPHA", {"CODE"}, {"VARCHAR2"}},
        {"MID", {"A", "B", "C", "D"}, {"NUMBER", "NUMBER", "NUMBER", "NUMBER"}},
    };
    for (const QString &table : serverOrder()) {
        const Step &step = *std::find_if(std::begin(tables), std::end(tables),
                                         [&](const Step &t) { return table == QLatin1String(t.table); });
        QTest::keyClick(form->ComboBox1(), Qt::Key_Down);
        ASSERT_EQ(form->ComboBox1()->currentText(), QLatin1String(step.table));
        const int n = int(step.names.size());
        EXPECT_EQ(form->SG()->rowCount(), n + 1) << step.table;
        // The columns come in the order the server returns them: the listing
        // asks for none, and user_tab_columns guarantees none.
        QStringList listed;
        QStringList expected;
        for (int row = 1; row <= n; ++row) {
            listed << cell(row, 0) + QLatin1Char(' ') + cell(row, 1);
            expected << step.names[row - 1] + QLatin1Char(' ') + step.types[row - 1];
            EXPECT_EQ(cell(row, 2), QStringLiteral("1")) << step.table;
        }
        listed.sort();
        expected.sort();
        EXPECT_EQ(listed, expected) << step.table;
        EXPECT_FALSE(form->ods1().Active());
    }
    // Rows hidden by the one-column table came back with their own cells.
    expectOperatorColumnsKept(6);
}

TEST_F(Connection, TableWithoutColumnsLeavesOnlyTheHeaderRow)
{
    connectAsScott();
    form->ComboBox1()->addItem("NO_SUCH_TABLE");
    form->ComboBox1()->setCurrentIndex(form->ComboBox1()->count() - 1);
    form->ComboBox1Change();
    EXPECT_EQ(form->SG()->rowCount(), 1);
}

TEST_F(Connection, DisconnectKeepsListAndGridAndConnectRefillsTheList)
{
    connectAsScott();
    const QStringList order = serverOrder();
    form->ComboBox1()->setCurrentIndex(int(order.indexOf(QStringLiteral("ALPHA"))));
    form->ComboBox1Change();
    ASSERT_EQ(form->SG()->rowCount(), 2);

    form->Button1Click();
    EXPECT_FALSE(form->Connected());
    EXPECT_FALSE(form->OracleSession1().Connected());
    EXPECT_EQ(form->Button1()->text(), QStringLiteral("Connect"));
    EXPECT_EQ(items(form->ComboBox1()), order);

    // Listing columns needs the session: the failure leaves the grid alone.
    EXPECT_ANY_THROW(form->ComboBox1Change());
    EXPECT_EQ(form->SG()->rowCount(), 2);
    EXPECT_EQ(cell(1, 0), QStringLiteral("CODE"));

    sql(QStringLiteral("scott/tiger"), "create table later (x number)\n");
    connectAsScott();
    EXPECT_EQ(items(form->ComboBox1()), serverOrder());
    EXPECT_TRUE(items(form->ComboBox1()).contains(QStringLiteral("LATER")));
    EXPECT_EQ(form->SG()->rowCount(), 2);

    form->Button3Click(); // "Close" while connected logs off
    EXPECT_FALSE(form->OracleSession1().Connected());
}

// The real logon window and message boxes, driven as an operator would.
class ConnectionThroughTheWindow : public Connection
{
protected:
    void SetUp() override
    {
        windows =
            std::make_unique<DesktopServicesScope>(std::make_unique<LogonWindowServices>(LogonDialogs()));
        Connection::SetUp();
    }
    void TearDown() override
    {
        Connection::TearDown();
        windows.reset();
    }

    static void fillIn(TLogOnForm *window, const QString &user, const QString &password)
    {
        window->UsernameEdit->setText(user);
        window->PasswordEdit->setText(password);
        window->AliasList->setEditText(QStringLiteral("ORCL"));
    }
    static QString storedLogon0()
    {
        return UnscrambleHistoryText(platform::Registry::readString(
            platform::RegistryRoot::CurrentUser, QStringLiteral("rowpour"), QStringLiteral("Logon0")));
    }

    std::unique_ptr<DesktopServicesScope> windows;
};

TEST_F(ConnectionThroughTheWindow, CtrlEnterConnectsWithoutRecordingTheLogon)
{
    rowpour::testing::WhenModal([](QWidget *modal) {
        auto *window = qobject_cast<TLogOnForm *>(modal);
        ASSERT_NE(window, nullptr);
        fillIn(window, "scott", "tiger");
        QTest::keyClick(window->PasswordEdit, Qt::Key_Return, Qt::ControlModifier);
    });
    form->Button1Click();
    EXPECT_TRUE(form->Connected());
    EXPECT_TRUE(storedLogon0().isEmpty());

    form->Button1Click();
    rowpour::testing::WhenModal([](QWidget *modal) {
        auto *window = qobject_cast<TLogOnForm *>(modal);
        ASSERT_NE(window, nullptr);
        // The session's fields are offered again; the password has the focus.
        EXPECT_EQ(window->UsernameEdit->text(), QStringLiteral("scott"));
        EXPECT_EQ(window->focusWidget(), window->PasswordEdit);
        // A click without Ctrl: the logon is recorded.
        QTest::mouseClick(window->OKBtn, Qt::LeftButton, Qt::NoModifier);
    });
    form->Button1Click();
    EXPECT_TRUE(form->Connected());
    EXPECT_EQ(storedLogon0(), QStringLiteral("scott/tiger@ORCL"));
}

} // namespace
} // namespace rowpour::oracle::testing
