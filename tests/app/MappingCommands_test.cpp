// "Save" and "..." of the main window: the mapping through the grid and a file.

#include "WidgetTest.h"
#include "app/mainFRm.h"
#include "import/FailureDisplay.h"
#include "import/MappingSettings.h"
#include "tests/support/RecordedDesktop.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <QToolButton>

using rowpour::testing::AnswerFileDialog;

namespace
{

using Rows = QList<QStringList>;

void fillGrid(TForm1 &form, const Rows &rows)
{
    form.SG()->setRowCount(int(rows.size()) + 1);
    for (int r = 0; r < rows.size(); ++r)
        for (int c = 0; c < 6; ++c)
            form.SG()->setCell(r + 1, c, rows[r].value(c));
}

Rows gridRows(const TForm1 &form)
{
    Rows rows;
    for (int r = 1; r < form.SG()->rowCount(); ++r) {
        QStringList row;
        for (int c = 0; c < 6; ++c)
            row << form.SG()->cell(r, c);
        rows << row;
    }
    return rows;
}

void click(TForm1 &form, const char *button)
{
    form.findChild<QToolButton *>(QLatin1String(button))->click();
}

void saveAs(TForm1 &form, const QString &path)
{
    AnswerFileDialog(path);
    click(form, "SpeedButton2");
}

void loadFrom(TForm1 &form, const QString &path)
{
    AnswerFileDialog(path);
    click(form, "SpeedButton1");
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    return file.readAll();
}

void writeAll(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write(bytes);
}

const Rows kTwoRows = {{"ID", "NUMBER", "1", "1", "", ""}, {"NAME", "VARCHAR2", "1", "3", "L2", "Иван"}};

TEST(MappingCommands, SavedMappingLoadsBackIntoTheGrid)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("map.ini");
    TForm1 form;
    fillGrid(form, kTwoRows);
    QString suffix = "unset";
    AnswerFileDialog(path, [&](QFileDialog *d) { suffix = d->defaultSuffix(); });
    click(form, "SpeedButton2");
    EXPECT_TRUE(suffix.isEmpty());
    EXPECT_EQ(readAll(path),
              QByteArray("[Rows]\r\nRow1=ID,NUMBER,1,1,,\r\nRow2=NAME,VARCHAR2,1,3,L2,\xC8\xE2\xE0\xED\r\n"));

    fillGrid(form, {{"X"}, {"Y"}, {"Z"}, {"W"}});
    loadFrom(form, path);
    EXPECT_EQ(gridRows(form), kTwoRows);
    EXPECT_EQ(form.SG()->cell(0, 0), "ORA field") << "the header row stays";
}

TEST(MappingCommands, SavingRewritesRowsInPlaceAndKeepsHigherOnes)
{
    struct Case {
        const char *name;
        QByteArray before;
        Rows grid;
        QByteArray after;
        Rows loaded;
    };
    const Case cases[] = {
        {"fewer rows than the file",
         "[Rows]\r\nRow1=a,,,,,\r\nRow2=b,,,,,\r\nRow3=c,,,,,\r\n",
         {{"A"}, {"B"}},
         "[Rows]\r\nRow1=A,,,,,\r\nRow2=B,,,,,\r\nRow3=c,,,,,\r\n",
         {{"A", "", "", "", "", ""}, {"B", "", "", "", "", ""}, {"c", "", "", "", "", ""}}},
        {"only the second row in the file",
         "[Rows]\r\nRow2=old,,,,,\r\n",
         {{"first"}, {"second"}},
         "[Rows]\r\nRow2=second,,,,,\r\nRow1=first,,,,,\r\n",
         {{"second", "", "", "", "", ""}, {"first", "", "", "", "", ""}}},
        {"other sections stay",
         "[Other]\r\nk=v\r\n",
         {{"A"}},
         "[Other]\r\nk=v\r\n[Rows]\r\nRow1=A,,,,,\r\n",
         {{"A", "", "", "", "", ""}}},
    };
    for (const Case &c : cases) {
        QTemporaryDir dir;
        const QString path = dir.filePath("map.ini");
        writeAll(path, c.before);
        TForm1 form;
        fillGrid(form, c.grid);
        saveAs(form, path);
        EXPECT_EQ(readAll(path), c.after) << c.name;
        loadFrom(form, path);
        EXPECT_EQ(gridRows(form), c.loaded) << c.name;
    }
}

TEST(MappingCommands, LoadingAFileWithoutRowsLeavesTheHeaderOnly)
{
    QTemporaryDir dir;
    TForm1 form;
    fillGrid(form, kTwoRows);
    loadFrom(form, dir.filePath("missing.ini"));
    EXPECT_EQ(form.SG()->rowCount(), 1);
    form.SG()->setRowCount(3);
    EXPECT_EQ(form.SG()->cell(2, 5), "Иван") << "cells of hidden rows come back";
}

TEST(MappingCommands, CancelAndEmptyGridChangeNothing)
{
    QTemporaryDir dir;
    TForm1 form;
    fillGrid(form, kTwoRows);
    AnswerFileDialog({});
    click(form, "SpeedButton1");
    EXPECT_EQ(gridRows(form), kTwoRows);

    const QString path = dir.filePath("never.ini");
    fillGrid(form, {});
    saveAs(form, path);
    EXPECT_FALSE(QFile::exists(path)) << "no mapping rows: no file";
}

TEST(MappingCommands, UnwritableFileIsReportedAndTheGridStays)
{
    rowpour::testing::RecordedDesktop desktop;
    QTemporaryDir dir;
    const QString path = dir.filePath("no/such/folder/map.ini");
    TForm1 form;
    fillGrid(form, kTwoRows);
    saveAs(form, path);
    EXPECT_EQ(desktop.failures, QStringList({rowpour::settings_texts::kUnableToWrite.arg(path) + "."}));
    EXPECT_EQ(gridRows(form), kTwoRows);
}

} // namespace
