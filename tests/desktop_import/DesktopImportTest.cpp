// The import run from the main window: message boxes, progress, the errors
// window, and commands given while the run yields to the user interface.

#include "DevDbHome.h"

#include "app/WindowImport.h"
#include "app/mainFRm.h"
#include "import/Unit2.h"
#include "oracle/OracleData.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <memory>

using rowpour::MessageIcon;
using rowpour::testing::DevDbHome;

namespace
{

struct Message {
    QString caption;
    QString text;
    MessageIcon icon;
};

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
        previousSink_ = rowpour::app::SetImportMessageSink(
            [this](const QString &caption, const QString &text, MessageIcon icon) {
                messages_.push_back({caption, text, icon});
            });
        form_ = std::make_unique<TForm1>();
        errors_ = std::make_unique<TForm2>();
        form_->SetErrorsWindow(errors_.get());
        form_->show();
    }
    void TearDown() override
    {
        form_.reset();
        rowpour::app::SetImportMessageSink(previousSink_);
    }

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
    std::vector<Message> messages_;
    rowpour::app::ImportMessageSink previousSink_;
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
              QStringLiteral("Process finished with errors \r\ninserted 2 record from 4 selected"));
    EXPECT_EQ(messages_[0].icon, MessageIcon::Error);
    EXPECT_EQ(form_->Label6()->text(), QStringLiteral("5/5/0/1"));
    EXPECT_EQ(form_->ProgressBar1()->value(), 5);
    EXPECT_TRUE(errors_->isVisible());
    const QString entry =
        QStringLiteral("/5/insert into %1(NAME,BORN) values ('Aleksandrovich','01.01.1991')").arg(table_);
    EXPECT_EQ(errors_->Lines(), (QStringList{entry, QString()}));
    EXPECT_EQ(rowsInTable(), 2);

    form_->Button2Click();
    EXPECT_EQ(messages_.back().text,
              QStringLiteral("Process finished with errors \r\ninserted 0 record from 4 selected"));
    EXPECT_EQ(errors_->Lines(), (QStringList{entry, QString(), entry, QString()}));
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
    EXPECT_EQ(messages_.back().text, QStringLiteral("Process finished\r\ninserted 1 record from 1 selected"));
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

TEST_F(DesktopImport, ClosingDuringTheRunEndsItAfterTheCurrentRowAndThenCloses)
{
    connectAndMap();
    QTimer::singleShot(0, form_.get(), [&] { form_->close(); });
    form_->Button2Click();
    EXPECT_TRUE(messages_.empty()); // no summary for a run ended by closing
    EXPECT_EQ(rowsInTable(), 1);
    EXPECT_TRUE(form_->isVisible());
    QApplication::processEvents();
    EXPECT_FALSE(form_->isVisible());
}

} // namespace
