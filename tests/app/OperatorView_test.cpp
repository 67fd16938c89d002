// The main window beside its original controls: the grid's keys, the file
// dialogs' filters, the sheet list and the preview that follow the workbook,
// picking by clicking, mapping by a header row and the sheet a mapping keeps.

#include "WidgetTest.h"
#include "app/WindowImport.h"
#include "app/mainFRm.h"
#include "import/MappingSettings.h"
#include "import/workbook/Workbook.h"
#include "tests/import/XlsxBook.h"
#include "tests/support/RecordedDesktop.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QFile>
#include <QHeaderView>
#include <QKeyEvent>
#include <QTemporaryDir>
#include <QThreadPool>
#include <QToolButton>

using namespace rowpour::app;
using rowpour::testing::AnswerFileDialog;
using rowpour::testing::WriteXlsx;

namespace
{

// Lets the event loop run until the preview has finished reading.
bool waitForPreview(TForm1 &form, int timeoutMs = 20000)
{
    QElapsedTimer clock;
    clock.start();
    while ((form.Preview()->Loading() || !form.Preview()->Data()) && clock.elapsed() < timeoutMs)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    return !form.Preview()->Loading();
}

QString previewCell(TForm1 &form, int row, int column)
{
    const QAbstractItemModel *model = form.Preview()->Table()->model();
    return model->data(model->index(row - 1, column - 1), Qt::DisplayRole).toString();
}

class OperatorView : public ::testing::Test
{
protected:
    void SetUp() override
    {
        WriteXlsx(book_,
                  {{"Notes", {{"only notes"}}},
                   {"Secret", {{"hidden"}}, true},
                   {"People",
                    {{"Name", "Last name", "Born", "Salary"}, {"Ivan", "Petrov", "12.05.1985", "100.5"}}}});
        form_.show();
    }

    void openBook(const QString &sheet = {})
    {
        form_.FilenameEdit1()->SetText(book_);
        form_.RefreshPreview();
        ASSERT_TRUE(waitForPreview(form_));
        if (!sheet.isEmpty()) {
            form_.SheetBox()->setCurrentIndex(form_.SheetBox()->findData(sheet));
            form_.RefreshPreview();
            ASSERT_TRUE(waitForPreview(form_));
        }
    }

    QTemporaryDir dir_;
    QString book_ = dir_.filePath("people.xlsx");
    // The import's message boxes shown so far, as "caption|text".
    QStringList messages() const
    {
        QStringList shown;
        for (const rowpour::testing::ImportMessage &message : desktop_.importMessages)
            shown << message.caption + "|" + message.text;
        return shown;
    }

    rowpour::testing::RecordedDesktop desktop_;
    TForm1 form_;
};

TEST_F(OperatorView, TabLeavesTheGridAndDeleteClearsTheSelectedCells)
{
    TStringGrid &grid = *form_.SG();
    EXPECT_FALSE(grid.tabKeyNavigation());
    grid.setCell(1, 3, "2");
    grid.setCell(1, 4, "L1");
    grid.setCell(2, 3, "5");
    grid.selectionModel()->select(QItemSelection(grid.model()->index(0, 3), grid.model()->index(0, 4)),
                                  QItemSelectionModel::ClearAndSelect);
    QKeyEvent del(QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier);
    QApplication::sendEvent(&grid, &del);
    EXPECT_EQ(grid.cell(1, 3), "");
    EXPECT_EQ(grid.cell(1, 4), "");
    EXPECT_EQ(grid.cell(2, 3), "5") << "cells outside the selection stay";
}

TEST_F(OperatorView, RunAndCheckWaitForAConnectionAndATable)
{
    EXPECT_FALSE(form_.Button2()->isEnabled());
    EXPECT_FALSE(form_.CheckButton()->isEnabled());
    EXPECT_EQ(form_.StatusLabel()->text(), "Not connected");
    form_.ComboBox1()->addItem("T");
    form_.ComboBox1()->setCurrentIndex(0);
    EXPECT_FALSE(form_.Button2()->isEnabled()) << "a table without a session";
}

TEST_F(OperatorView, FileDialogsOfferWorkbooksOrMappingsAndAllFiles)
{
    QStringList browse, load, save;
    AnswerFileDialog({}, [&](QFileDialog *d) { browse = d->nameFilters(); });
    form_.FilenameEdit1()->Browse();
    AnswerFileDialog({}, [&](QFileDialog *d) { load = d->nameFilters(); });
    form_.findChild<QToolButton *>("SpeedButton1")->click();
    AnswerFileDialog({}, [&](QFileDialog *d) { save = d->nameFilters(); });
    form_.findChild<QToolButton *>("SpeedButton2")->click();
    EXPECT_EQ(browse, kWorkbookFilters);
    EXPECT_EQ(load, mainform::kMappingFilters);
    EXPECT_EQ(save, mainform::kMappingFilters);
    EXPECT_TRUE(browse.last().startsWith("All files"));
}

// The preview reads as the import reads, and the sheet list comes with it:
// the first sheet at first, hidden sheets marked.
TEST_F(OperatorView, PreviewAndSheetListFollowTheWorkbookAndTheChosenSheet)
{
    openBook();
    QStringList sheets;
    for (int i = 0; i < form_.SheetBox()->count(); ++i)
        sheets << form_.SheetBox()->itemText(i);
    EXPECT_EQ(sheets, QStringList({"Notes", "Secret (hidden)", "People"}));
    EXPECT_EQ(form_.SheetBox()->currentIndex(), 0);
    EXPECT_EQ(previewCell(form_, 1, 1), "only notes");
    EXPECT_EQ(form_.ChosenSheet().name, "Notes");

    form_.SheetBox()->setCurrentIndex(2);
    form_.RefreshPreview();
    ASSERT_TRUE(waitForPreview(form_));
    const QAbstractItemModel *model = form_.Preview()->Table()->model();
    ASSERT_EQ(model->rowCount(), 2);
    ASSERT_EQ(model->columnCount(), 4);
    EXPECT_EQ(model->headerData(1, Qt::Horizontal).toString(), "2 B");
    EXPECT_EQ(model->headerData(1, Qt::Vertical).toString(), "2");
    const auto book =
        rowpour::workbook::openWorkbook(book_, rowpour::platform::OperatorLocale::system(), {1, "People"});
    for (int row = 1; row <= 2; ++row)
        for (int column = 1; column <= 4; ++column)
            EXPECT_EQ(previewCell(form_, row, column), book->cellText(row, column)) << row << "," << column;
    EXPECT_EQ(form_.ChosenSheet().name, "People");

    // Another workbook: the sheet list is its own; a sheet it lacks falls back to the first.
    const QString csv = dir_.filePath("plain.csv");
    QFile file(csv);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("a;b\n1;2\n");
    file.close();
    form_.FilenameEdit1()->SetText(csv);
    EXPECT_TRUE(form_.ChosenSheet().name.isEmpty()) << "a list of another workbook is not used";
    form_.RefreshPreview();
    ASSERT_TRUE(waitForPreview(form_));
    EXPECT_EQ(form_.SheetBox()->count(), 1);
    EXPECT_EQ(form_.ChosenSheet().name, "plain");
    EXPECT_EQ(previewCell(form_, 2, 2), "2");

    form_.FilenameEdit1()->SetText(dir_.filePath("missing.xlsx"));
    form_.RefreshPreview();
    ASSERT_TRUE(waitForPreview(form_));
    EXPECT_TRUE(form_.Preview()->Status()->text().contains("missing.xlsx"));
    EXPECT_EQ(form_.SheetBox()->count(), 0);
}

TEST_F(OperatorView, TypingAWorkbookNameStartsThePreviewByItself)
{
    form_.FilenameEdit1()->Edit()->setText(book_);
    EXPECT_FALSE(form_.Preview()->Data());
    ASSERT_TRUE(waitForPreview(form_));
    EXPECT_EQ(form_.SheetBox()->count(), 3);
}

TEST_F(OperatorView, ClickingTheRowNumberSetsTheStartRowAndAColumnTheXlsField)
{
    openBook("People");
    QHeaderView *rows = form_.Preview()->Table()->verticalHeader();
    QHeaderView *columns = form_.Preview()->Table()->horizontalHeader();
    emit rows->sectionClicked(1);
    EXPECT_EQ(form_.Edit1()->text(), "2");

    emit columns->sectionClicked(2);
    EXPECT_EQ(form_.Preview()->Status()->text(), preview_texts::kSelectMappingRow)
        << "no mapping row selected";
    EXPECT_TRUE(form_.SG()->cell(3, 3).isEmpty());
    form_.SG()->setCurrentIndex(form_.SG()->model()->index(2, 0));
    emit columns->sectionClicked(2);
    EXPECT_EQ(form_.SG()->cell(3, 3), "3");
}

TEST_F(OperatorView, MapByHeaderFillsTheMatchingRowsAndSaysWhat)
{
    openBook("People");
    TStringGrid &grid = *form_.SG();
    grid.setRowCount(5);
    const char *fields[] = {"NAME", "LAST_NAME", "CITY", "SALARY"};
    for (int row = 1; row <= 4; ++row) {
        grid.setCell(row, 0, fields[row - 1]);
        grid.setCell(row, 3, "9");
    }
    form_.Edit1()->setText("2"); // the header is the row above the start row
    form_.findChild<QToolButton *>("MapByHeaderButton")->click();
    EXPECT_EQ(grid.cell(1, 3), "1");
    EXPECT_EQ(grid.cell(2, 3), "2");
    EXPECT_EQ(grid.cell(3, 3), "9") << "no header names CITY: untouched";
    EXPECT_EQ(grid.cell(4, 3), "4");
    ASSERT_EQ(messages().size(), 1);
    EXPECT_TRUE(
        messages()[0].startsWith("Map by header|Header row 1: 3 of 4 mapping rows matched.\n"
                                 "NAME: column 1 (A) \"Name\"\nLAST_NAME: column 2 (B) \"Last name\""))
        << messages()[0].toStdString();
    EXPECT_TRUE(messages()[0].endsWith("left as they were: CITY"));

    // A row selected in the preview is the header row; it matches nothing here.
    form_.Preview()->Table()->selectRow(1);
    form_.findChild<QToolButton *>("MapByHeaderButton")->click();
    EXPECT_TRUE(messages().last().startsWith("Map by header|Header row 2: 0 of 4"));
    EXPECT_EQ(grid.cell(1, 3), "1");
}

TEST_F(OperatorView, SavedMappingKeepsTheSheetAndLoadingChoosesIt)
{
    openBook("People");
    form_.SG()->setCell(1, 0, "NAME");
    form_.SG()->setRowCount(2);
    const QString mapping = dir_.filePath("map.ini");
    AnswerFileDialog(mapping);
    form_.findChild<QToolButton *>("SpeedButton2")->click();
    EXPECT_EQ(rowpour::LoadMappingSheet(mapping), "People");

    form_.SheetBox()->setCurrentIndex(0);
    AnswerFileDialog(mapping);
    form_.findChild<QToolButton *>("SpeedButton1")->click();
    EXPECT_EQ(form_.ChosenSheet().name, "People");
    ASSERT_TRUE(waitForPreview(form_));
    EXPECT_EQ(previewCell(form_, 1, 1), "Name");
}

// Reading runs beside the window: Load returns at once, Cancel ends the
// wait, and a preview that goes away before its reading ends is not called.
TEST_F(OperatorView, ReadingRunsBesideTheWindowAndCanBeCancelled)
{
    std::vector<QStringList> rows;
    for (int r = 0; r < 20000; ++r)
        rows.push_back({QStringLiteral("text %1").arg(r), QString::number(r)});
    const QString large = dir_.filePath("large.xlsx");
    WriteXlsx(large, {{"Big", rows}});

    form_.FilenameEdit1()->SetText(large);
    form_.RefreshPreview();
    EXPECT_TRUE(form_.Preview()->Loading());
    EXPECT_TRUE(form_.Preview()->CancelButton()->isVisibleTo(&form_));
    form_.Preview()->CancelButton()->click();
    EXPECT_FALSE(form_.Preview()->Loading());
    EXPECT_EQ(form_.Preview()->Status()->text(), preview_texts::kCancelled);
    QThreadPool::globalInstance()->waitForDone();
    QApplication::processEvents();
    EXPECT_FALSE(form_.Preview()->Data()) << "the cancelled reading is not shown";

    {
        TSheetPreview gone;
        gone.Load(large, {});
    }
    QThreadPool::globalInstance()->waitForDone();
    QApplication::processEvents();

    form_.RefreshPreview();
    ASSERT_TRUE(waitForPreview(form_));
    EXPECT_EQ(form_.Preview()->Table()->model()->rowCount(), 100);
    EXPECT_EQ(previewCell(form_, 100, 1), "text 99");
}

} // namespace
