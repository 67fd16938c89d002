// The import run from the main window: message boxes, progress, the errors
// window, and commands given while the run yields to the user interface.

#include "DevDbHome.h"

#include "app/WidgetDesktopServices.h"
#include "app/WindowImport.h"
#include "app/mainFRm.h"
#include "import/FailureDisplay.h"
#include "import/MsgFrm.h"
#include "import/Unit2.h"
#include "oracle/OracleData.h"
#include "tests/app/WidgetTest.h"
#include "tests/support/RecordedDesktop.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <functional>
#include <memory>

using rowpour::MessageIcon;
using rowpour::testing::DevDbHome;

namespace
{

// One development database for the whole program: the client library is
// loaded once per process, from the home ORACLE_HOME names at that moment.
DevDbHome &database()
{
    static DevDbHome *home = [] {
        auto *h = new DevDbHome(QStringLiteral("DEVDB"));
        h->createUser(QStringLiteral("demo"), QStringLiteral("demo"));
        qputenv("ORACLE_HOME", h->path().toUtf8());
        qputenv("TNS_ADMIN", (h->path() + QStringLiteral("/network/admin")).toUtf8());
        for (const QString &entry : DevDbHome::clientNlsEnvironment())
            qputenv(entry.section(QLatin1Char('='), 0, 0).toUtf8(),
                    entry.section(QLatin1Char('='), 1).toUtf8());
        return h;
    }();
    return *home;
}

class DesktopImport : public ::testing::Test
{
protected:
    void SetUp() override
    {
        table_ = QStringLiteral("PEOPLE%1").arg(++tableNumber_);
        ASSERT_EQ(database()
                      .sql("demo/demo",
                           {QStringLiteral("create table %1 (NAME varchar2(10), BORN date)").arg(table_)})
                      .exitCode,
                  0);
        writeBook("Name;Born\nIvanov Ivan;12.05.1985\nPetrov Petr;1990\nPetrov Petr;1990\n"
                  "Sidorov Aleksandrovich;1991\n");
        form_ = std::make_unique<TForm1>();
        errors_ = std::make_unique<TForm2>();
        form_->SetErrorsWindow(errors_.get());
        form_->show();
    }
    void TearDown() override { form_.reset(); }

    void writeBook(const QByteArray &text)
    {
        QFile f(dir_.filePath("book.csv"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
    }

    // Logs on, picks the table (its columns fill the grid) and maps NAME to
    // the second word of column 1 and BORN to column 2 with the date code.
    void connectAndMap()
    {
        form_->OracleSession1().SetLogonUsername(QStringLiteral("demo/demo@DEVDB"));
        form_->OracleSession1().LogOn();
        form_->ComboBox1()->addItem(table_);
        form_->ComboBox1()->setCurrentIndex(0);
        form_->ComboBox1Change();
        ASSERT_EQ(form_->SG()->rowCount(), 3);
        mapCells();
    }
    void mapCells()
    {
        form_->SG()->setCell(1, 0, "NAME");
        form_->SG()->setCell(2, 0, "BORN");
        form_->SG()->setCell(1, 3, "1");
        form_->SG()->setCell(1, 4, "L2");
        form_->SG()->setCell(2, 3, "2");
        form_->SG()->setCell(2, 4, "D");
        form_->FilenameEdit1()->SetText(dir_.filePath("book.csv"));
        form_->Edit1()->setText("2");
        form_->Edit2()->setText("5");
    }

    int rowsInTable()
    {
        rowpour::oracle::TOracleDataSet count;
        count.SetSession(&form_->OracleSession1());
        count.SQL() = QStringList{QStringLiteral("select * from %1").arg(table_)};
        count.Open();
        return count.RecordCount();
    }

    static inline int tableNumber_ = 0;
    QString table_;
    QTemporaryDir dir_;
    rowpour::testing::RecordedDesktop desktop_;
    std::vector<rowpour::testing::ImportMessage> &messages_ = desktop_.importMessages;
    std::unique_ptr<TForm1> form_;
    std::unique_ptr<TForm2> errors_;
};

TEST_F(DesktopImport, InitialGridShowsTheValidationMessageOnly)
{
    form_->Button2Click();
    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_EQ(messages_[0].caption, QStringLiteral("Ошибка"));
    EXPECT_EQ(messages_[0].text.count(QStringLiteral("-незаполненна")), 4);
    EXPECT_EQ(messages_[0].icon, MessageIcon::Error);
    EXPECT_EQ(form_->Label6()->text(), QStringLiteral("0/0"));
}

TEST_F(DesktopImport, RunShowsProgressSummaryAndFailedRowsAndRunsAccumulateErrors)
{
    connectAndMap();
    form_->Button2Click();

    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_EQ(messages_[0].caption, QStringLiteral("move data"));
    EXPECT_EQ(messages_[0].text,
              QStringLiteral("Process finished with errors \r\ninserted 2 record from 4 selected\r\n"
                             "skipped 1 found in the table"));
    EXPECT_EQ(messages_[0].icon, MessageIcon::Error);
    EXPECT_EQ(form_->Label6()->text(), QStringLiteral("5/5/0/1"));
    EXPECT_EQ(form_->ProgressBar1()->value(), 5);
    EXPECT_TRUE(errors_->isVisible());
    const QString entry =
        QStringLiteral("/5/insert into %1(NAME,BORN) values ('Aleksandrovich','01.01.1991')").arg(table_);
    // The entry keeps its form; the database's reason follows on a line of its own.
    const QStringList lines = errors_->Lines();
    ASSERT_EQ(lines.size(), 3);
    EXPECT_EQ(lines[0], entry);
    EXPECT_TRUE(lines[1].startsWith("ORA-12899: value too large for column")) << lines[1].toStdString();
    EXPECT_EQ(lines[2], QString());
    EXPECT_EQ(rowsInTable(), 2);

    form_->Button2Click();
    EXPECT_EQ(messages_.back().text,
              QStringLiteral("Process finished with errors \r\ninserted 0 record from 4 selected\r\n"
                             "skipped 3 found in the table"));
    EXPECT_EQ(errors_->Lines(), lines + lines);
}

TEST_F(DesktopImport, ArrayInsertRunsAsTheStatementPerRowRunDoes)
{
    EXPECT_FALSE(form_->ArrayInsertBox()->isChecked());
    connectAndMap();
    form_->ArrayInsertBox()->setChecked(true);
    form_->Button2Click();

    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_EQ(messages_[0].text,
              QStringLiteral("Process finished with errors \r\ninserted 2 record from 4 selected\r\n"
                             "skipped 1 found in the table"));
    EXPECT_EQ(form_->Label6()->text(), QStringLiteral("5/5/0/1"));
    const QStringList lines = errors_->Lines();
    ASSERT_EQ(lines.size(), 3);
    EXPECT_EQ(
        lines[0],
        QStringLiteral("/5/insert into %1(NAME,BORN) values ('Aleksandrovich','01.01.1991')").arg(table_));
    EXPECT_TRUE(lines[1].startsWith("ORA-12899: value too large for column")) << lines[1].toStdString();
    EXPECT_EQ(rowsInTable(), 2);
}

TEST_F(DesktopImport, DeleteEmptiesTheTableOnlyWhenTheRunCanGoOn)
{
    connectAndMap();
    form_->Edit2()->setText("3");
    form_->Button2Click();
    ASSERT_EQ(rowsInTable(), 2);
    form_->Edit2()->clear();
    form_->CheckBox1()->setChecked(true);
    EXPECT_THROW(form_->Button2Click(), std::runtime_error);
    EXPECT_EQ(rowsInTable(), 2);
    EXPECT_FALSE(form_->ImportRunning());

    // The delete runs beside the animated popup; the rows then come back once.
    form_->Edit2()->setText("2");
    form_->Button2Click();
    EXPECT_EQ(rowsInTable(), 1);
    EXPECT_EQ(messages_.back().text,
              QStringLiteral("Process finished\r\ninserted 1 record from 1 selected\r\n"
                             "skipped 0 found in the table"));
}

TEST_F(DesktopImport, CommandsDuringTheRunDoNothing)
{
    connectAndMap();
    form_->ComboBox1()->addItem(QStringLiteral("OTHER"));
    bool fired = false;
    QTimer::singleShot(0, form_.get(), [&] {
        fired = true;
        EXPECT_TRUE(form_->ImportRunning());
        form_->Button2Click();
        form_->ComboBox1()->setCurrentIndex(1);
        form_->ComboBox1Change();
        form_->SpeedButton1Click();
        form_->Button1Click();
    });
    form_->Button2Click();
    EXPECT_TRUE(fired);
    EXPECT_EQ(messages_.size(), 1u); // one summary: the second run never started
    EXPECT_EQ(form_->ComboBox1()->currentText(), table_);
    EXPECT_TRUE(form_->OracleSession1().Connected());
    EXPECT_EQ(rowsInTable(), 2);
}

// Answers the stop question that closing during a run brings up, after
// letting inspect look at the screen.
void AnswerStopQuestion(const QString &answer, std::function<void()> inspect = {})
{
    rowpour::testing::WhenModal([answer, inspect](QWidget *modal) {
        auto *box = qobject_cast<QMessageBox *>(modal);
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->text(), rowpour::app::mainform::kStopQuestion);
        if (inspect)
            inspect();
        for (QAbstractButton *button : box->buttons()) {
            if (button->text() == answer)
                button->click();
        }
    });
}

TEST_F(DesktopImport, StoppingByClosingUndoesTheRunAndThenCloses)
{
    connectAndMap();
    form_->Edit2()->setText("3");
    form_->Button2Click();
    ASSERT_EQ(rowsInTable(), 2);

    form_->Edit2()->setText("5");
    form_->CheckBox1()->setChecked(true);
    QTimer::singleShot(0, form_.get(), [&] {
        AnswerStopQuestion(rowpour::app::mainform::kStopAndClose);
        form_->close();
    });
    form_->Button2Click();
    EXPECT_EQ(messages_.size(), 1u); // no summary for the stopped run
    EXPECT_EQ(rowsInTable(), 2);     // its delete and its rows are undone, the first run stays
    EXPECT_TRUE(form_->isVisible());
    QApplication::processEvents();
    EXPECT_FALSE(form_->isVisible());
}

TEST_F(DesktopImport, KeepRunningFinishesTheRunAndTheWindowStays)
{
    connectAndMap();
    QTimer::singleShot(0, form_.get(), [&] {
        AnswerStopQuestion(rowpour::app::mainform::kKeepRunning);
        form_->close();
    });
    form_->Button2Click();
    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_EQ(messages_[0].caption, QStringLiteral("move data"));
    EXPECT_EQ(rowsInTable(), 2);
    QApplication::processEvents();
    EXPECT_TRUE(form_->isVisible());
}

TEST_F(DesktopImport, CloseButtonDuringTheRunAsksTooAndClosesAfterTheStoppedRun)
{
    connectAndMap();
    QTimer::singleShot(0, form_.get(), [&] {
        AnswerStopQuestion(rowpour::app::mainform::kStopAndClose);
        form_->findChild<QPushButton *>("Button3")->click();
    });
    form_->Button2Click();
    EXPECT_EQ(rowsInTable(), 0);
    QApplication::processEvents();
    EXPECT_FALSE(form_->isVisible());
}

// What would end the run after the delete is refused before it, from the
// window too; the failure display shows the message naming the cause.
TEST_F(DesktopImport, RunThatCannotGoOnLeavesTheTableAsItWas)
{
    connectAndMap();
    form_->Edit2()->setText("3");
    form_->Button2Click();
    ASSERT_EQ(rowsInTable(), 2);
    form_->CheckBox1()->setChecked(true);
    const struct Case {
        const char *name;
        std::function<void()> change;
        QString message;
    } cases[] = {
        {"start after end", [&] { form_->Edit1()->setText("9"); },
         QStringLiteral("Start row 9 is after end row 3: no row would be loaded, so the old data of table %1 "
                        "was not deleted")
             .arg(table_)},
        {"field not a column", [&] { form_->SG()->setCell(1, 0, "SURNAME"); },
         QStringLiteral("ORA field SURNAME of mapping row 1 is not a column of table %1").arg(table_)},
        {"xls field 0", [&] { form_->SG()->setCell(2, 3, "0"); },
         "XLS field 0 of ORA field BORN is outside the sheet's columns 1 to 16384"},
        {"unknown code", [&] { form_->SG()->setCell(1, 4, "Q"); },
         "Process data 'Q' of ORA field NAME is not a known code (L<number>, D or empty)"},
    };
    for (const Case &c : cases) {
        mapCells();
        form_->Edit2()->setText("3");
        c.change();
        try {
            form_->Button2Click();
            ADD_FAILURE() << c.name << ": no error";
        } catch (const std::exception &e) {
            EXPECT_EQ(QString::fromUtf8(e.what()), c.message) << c.name;
        }
        EXPECT_EQ(rowsInTable(), 2) << c.name;
    }
}

TEST_F(DesktopImport, GridOptionsAndMappingCommandsAreLockedDuringTheRunOnly)
{
    connectAndMap();
    const QStringList locked = {"Button1",   "Button2",      "FilenameEdit1", "SG",
                                "CheckBox1", "CheckBox2",    "ComboBox1",     "Edit1",
                                "Edit2",     "SpeedButton1", "SpeedButton2"};
    const auto enabledStates = [&] {
        QStringList states;
        for (const QString &name : locked)
            states << name + (form_->findChild<QWidget *>(name)->isEnabled() ? "+" : "-");
        return states;
    };
    const QStringList allEnabled = enabledStates();
    QStringList duringRun;
    bool closeEnabled = false;
    QTimer::singleShot(0, form_.get(), [&] {
        duringRun = enabledStates();
        closeEnabled = form_->findChild<QPushButton *>("Button3")->isEnabled();
    });
    form_->Button2Click();
    for (const QString &state : duringRun)
        EXPECT_TRUE(state.endsWith('-')) << state.toStdString();
    EXPECT_EQ(duringRun.size(), locked.size());
    EXPECT_TRUE(closeEnabled) << "Close stays, to ask for a stop";
    EXPECT_EQ(enabledStates(), allEnabled);

    // A run that ends with an error unlocks too.
    form_->Edit2()->clear();
    EXPECT_THROW(form_->Button2Click(), std::runtime_error);
    EXPECT_EQ(enabledStates(), allEnabled);
}

// The popup stays on top of other windows: every message box puts it out of
// sight while it is shown.
TEST_F(DesktopImport, ProgressPopupIsOutOfSightWhileAMessageBoxIsShown)
{
    connectAndMap();
    bool hiddenDuringQuestion = false;
    bool backAfterQuestion = false;
    QTimer::singleShot(0, form_.get(), [&] {
        ShowMessageForm("delete old data from table X", true);
        AnswerStopQuestion(rowpour::app::mainform::kKeepRunning,
                           [&] { hiddenDuringQuestion = !CurrentMessageForm()->isVisible(); });
        form_->close();
        backAfterQuestion = CurrentMessageForm()->isVisible();
        HideMessageForm();
    });
    form_->Button2Click();
    EXPECT_TRUE(hiddenDuringQuestion);
    EXPECT_TRUE(backAfterQuestion);

    // The import's own boxes and the failure display.
    const rowpour::oracle::DesktopServicesScope desktop(
        std::make_unique<rowpour::app::WidgetDesktopServices>());
    QStringList hiddenDuring;
    const auto inspectAndClose = [&](QWidget *modal) {
        hiddenDuring << (CurrentMessageForm()->isVisible() ? "shown" : "hidden");
        qobject_cast<QMessageBox *>(modal)->accept();
    };
    ShowMessageForm("delete old data from table X", true);
    rowpour::testing::WhenModal(inspectAndClose);
    rowpour::app::WindowImportSurroundings(*form_).showMessage(
        rowpour::MessageKind::Error, "error", "not executed query: delete from X", MessageIcon::Error);
    rowpour::testing::WhenModal(inspectAndClose);
    rowpour::ShowFailure("ORA-00942: table or view does not exist");
    EXPECT_EQ(hiddenDuring, (QStringList{"hidden", "hidden"}));
    EXPECT_TRUE(CurrentMessageForm()->isVisible());
    HideMessageForm();
}

TEST_F(DesktopImport, CheckReportsTheRefusedRowsInTheErrorsWindowAndChangesNothing)
{
    EXPECT_FALSE(form_->CheckButton()->isEnabled());
    connectAndMap();
    EXPECT_TRUE(form_->CheckButton()->isEnabled());
    EXPECT_TRUE(form_->Button2()->isEnabled());
    EXPECT_EQ(form_->StatusLabel()->text(), QStringLiteral("Connected: demo@DEVDB"));
    ASSERT_EQ(database()
                  .sql("demo/demo", {QStringLiteral("insert into %1 values ('Old', null)").arg(table_)})
                  .exitCode,
              0);

    form_->CheckButton()->click();
    EXPECT_TRUE(messages_.empty());
    EXPECT_TRUE(errors_->isVisible());
    EXPECT_EQ(form_->Label6()->text(), QStringLiteral("5/5/1/0"));
    const QStringList lines = errors_->Lines();
    ASSERT_GE(lines.size(), 4);
    EXPECT_EQ(lines[0], QStringLiteral("Check of table %1, rows 2 to 5:").arg(table_));
    EXPECT_EQ(
        lines[1],
        QStringLiteral("/5/insert into %1(NAME,BORN) values ('Aleksandrovich','01.01.1991')").arg(table_));
    EXPECT_EQ(lines[2],
              QStringLiteral("NAME: 14 bytes, more than the 10 bytes the column holds (ORA-12899)"));
    EXPECT_TRUE(lines.contains(QStringLiteral("1 rows would fail")));
    EXPECT_EQ(rowsInTable(), 1);
    EXPECT_TRUE(form_->Button2()->isEnabled()) << "the check unlocks the window";

    // "Errors" brings the closed errors window back with its text.
    errors_->hide();
    form_->findChild<QPushButton *>("ErrorsButton")->click();
    EXPECT_TRUE(errors_->isVisible());
    EXPECT_EQ(errors_->Lines(), lines);
}

TEST_F(DesktopImport, StatusLineNeverShowsThePassword)
{
    using rowpour::app::ConnectedUserText;
    EXPECT_EQ(ConnectedUserText("demo/secret@DEVDB", ""), "demo@DEVDB");
    EXPECT_EQ(ConnectedUserText("demo/secret", "DEVDB"), "demo@DEVDB");
    EXPECT_EQ(ConnectedUserText("demo", "DEVDB"), "demo@DEVDB");
    EXPECT_EQ(ConnectedUserText("sys/secret@DEVDB as sysdba", ""), "sys@DEVDB");
    EXPECT_EQ(ConnectedUserText("/", ""), "/");
    EXPECT_EQ(ConnectedUserText("demo/secret", ""), "demo");
}

} // namespace
