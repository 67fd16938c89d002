// The import errors window: entries, editing, saving.

#include "WidgetTest.h"
#include "import/FailureDisplay.h"
#include "import/Unit2.h"
#include "tests/support/RecordedDesktop.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>

using rowpour::testing::AnswerFileDialog;

namespace
{

QByteArray readAll(const QString &path)
{
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    return file.readAll();
}

void clickSave(TForm2 &form)
{
    form.findChild<QPushButton *>("Button2")->click();
}

TEST(ErrorsWindow, StartsHiddenAndEntriesOfRunsAccumulate)
{
    TForm2 form;
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(form.windowTitle(), rowpour::errorlog_texts::kCaption);
    EXPECT_FALSE(form.Memo1()->isReadOnly());
    EXPECT_EQ(form.Memo1()->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    EXPECT_EQ(form.Memo1()->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    form.AppendEntry("/3/insert into T(A) values('x')\r\n");
    form.AppendEntry("/7/insert into T(A) values('y')\r\n");
    EXPECT_EQ(form.Lines(),
              QStringList({"/3/insert into T(A) values('x')", "", "/7/insert into T(A) values('y')", ""}));
    form.ShowErrors();
    EXPECT_TRUE(form.isVisible());
    form.findChild<QPushButton *>("Button1")->click();
    EXPECT_FALSE(form.isVisible());
    form.AppendEntry("/1/second run\r\n");
    EXPECT_EQ(form.Lines().size(), 6) << "closing keeps the text";
}

TEST(ErrorsWindow, SavesEveryLineWithCrLfInWindows1251)
{
    QTemporaryDir dir;
    TForm2 form;
    form.AppendEntry("/2/insert into T(NAME) values('Иванов')\r\n");
    const QString path = dir.filePath("errors.log");
    AnswerFileDialog(path);
    clickSave(form);
    EXPECT_EQ(readAll(path), QByteArray("/2/insert into T(NAME) values('\xC8\xE2\xE0\xED\xEE\xE2')\r\n\r\n"));
}

TEST(ErrorsWindow, FailedRowIsFollowedByTheDatabasesWholeMessage)
{
    QTemporaryDir dir;
    TForm2 form;
    form.AppendFailure("/4/insert into T(A) values('x')\r\n",
                       "ORA-01722: invalid number\nHelp: https://docs.oracle.com/error-help/db/ora-01722/\n");
    form.AppendFailure("/9/insert into T(A) values('y')\r\n", "ORA-01400: cannot insert NULL\r\n");
    form.AppendFailure("/11/insert into T(A) values('z')\r\n", QString());
    EXPECT_EQ(form.Lines(), QStringList({"/4/insert into T(A) values('x')", "ORA-01722: invalid number",
                                         "Help: https://docs.oracle.com/error-help/db/ora-01722/", "",
                                         "/9/insert into T(A) values('y')", "ORA-01400: cannot insert NULL",
                                         "", "/11/insert into T(A) values('z')", ""}));
    const QString path = dir.filePath("errors.log");
    form.SaveToFile(path);
    EXPECT_TRUE(
        readAll(path).startsWith("/4/insert into T(A) values('x')\r\nORA-01722: invalid number\r\n"
                                 "Help: https://docs.oracle.com/error-help/db/ora-01722/\r\n\r\n/9/"));
}

TEST(ErrorsWindow, OperatorEditsAreWhatGetsSaved)
{
    QTemporaryDir dir;
    TForm2 form;
    form.AppendEntry("/2/a\r\n");
    form.Memo1()->setPlainText("edited\nby hand");
    const QString path = dir.filePath("edited.log");
    AnswerFileDialog(path);
    clickSave(form);
    EXPECT_EQ(readAll(path), QByteArray("edited\r\nby hand\r\n"));
    form.AppendEntry("/5/b\r\n");
    EXPECT_EQ(form.Lines(), QStringList({"edited", "by hand", "/5/b"}))
        << "the entry starts a line of its own";
}

TEST(ErrorsWindow, TextOutsideWindows1251IsSavedAsUtf8WithMark)
{
    QTemporaryDir dir;
    TForm2 form;
    form.AppendEntry("/1/values('日本')\r\n");
    const QString path = dir.filePath("wide.log");
    form.SaveToFile(path);
    EXPECT_EQ(readAll(path), QByteArray("\xEF\xBB\xBF/1/values('日本')\r\n\r\n"));
}

TEST(ErrorsWindow, EmptyLogSavesAnEmptyFileOverAnOldOne)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("old.log");
    QFile old(path);
    old.open(QIODevice::WriteOnly);
    old.write("old content");
    old.close();
    TForm2 form;
    form.SaveToFile(path);
    EXPECT_EQ(QFileInfo(path).size(), 0);
}

TEST(ErrorsWindow, SaveDialogOffersTheLogFiltersAndRemembersTheName)
{
    QTemporaryDir dir;
    TForm2 form;
    QString offered, suffix;
    QStringList filters;
    AnswerFileDialog(dir.filePath("first.log"), [&](QFileDialog *d) {
        offered = d->selectedFiles().value(0);
        suffix = d->defaultSuffix();
        filters = d->nameFilters();
    });
    clickSave(form);
    EXPECT_TRUE(offered.endsWith("/ROWPOUR_Err.log")) << offered.toStdString();
    EXPECT_EQ(suffix, "log");
    EXPECT_EQ(filters, QStringList({"LOG (*.log)", "Все файлы (*)"}));
    AnswerFileDialog({}, [&](QFileDialog *d) { offered = d->selectedFiles().value(0); });
    clickSave(form);
    EXPECT_EQ(offered, dir.filePath("first.log"));
    EXPECT_TRUE(QFile::exists(dir.filePath("first.log")));
}

TEST(ErrorsWindow, UnwritableFileIsReportedByTheFailureDisplay)
{
    rowpour::testing::RecordedDesktop desktop;
    const QStringList &texts = desktop.failures;
    QTemporaryDir dir;
    TForm2 form;
    form.AppendEntry("/1/x\r\n");
    const QString path = dir.filePath("missing/folder/x.log");
    form.findChild<QPushButton *>("Button2");
    QFileDialog *sd = form.findChild<QFileDialog *>("SD");
    ASSERT_NE(sd, nullptr);
    AnswerFileDialog({});
    clickSave(form); // cancel: nothing happens
    EXPECT_TRUE(texts.isEmpty());
    EXPECT_THROW(form.SaveToFile(path), std::runtime_error);
    rowpour::RunGuarded([&] { form.SaveToFile(path); });
    ASSERT_EQ(texts.size(), 1);
    EXPECT_EQ(texts[0],
              rowpour::errorlog_texts::kCannotCreateFile.arg(path, "No such file or directory") + ".")
        << "the system's reason";
    EXPECT_EQ(form.Lines(), QStringList({"/1/x", ""})) << "the log is not changed";
}

} // namespace
