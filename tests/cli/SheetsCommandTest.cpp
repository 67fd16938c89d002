// rowpour-batch sheets, and cells of a chosen sheet.

#include "DevDbHome.h"
#include "tests/import/XlsxBook.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

using rowpour::testing::buildDir;
using rowpour::testing::ProcessResult;
using rowpour::testing::runProgram;

namespace
{

ProcessResult batch(const QStringList &args)
{
    return runProgram(buildDir() + "/cli/rowpour-batch", args, {"LC_ALL=C.UTF-8"});
}

class SheetsCommand : public ::testing::Test
{
protected:
    void SetUp() override
    {
        rowpour::testing::WriteXlsx(book_, {{"Data", {{"first"}}},
                                            {"Hidden", {{"secret"}}, true},
                                            {"Лист 3", {{"third", "3"}}},
                                            {"2", {{"named two"}}}});
    }
    QTemporaryDir dir_;
    QString book_ = dir_.filePath("book.xlsx");
};

TEST_F(SheetsCommand, ListsEverySheetInWorkbookOrderWithHiddenMarked)
{
    const ProcessResult r = batch({"sheets", book_});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.out.toStdString(), "1\tData\n2\tHidden\thidden\n3\tЛист 3\n4\t2\n");
    EXPECT_EQ(batch({"sheets"}).exitCode, 2);
    EXPECT_EQ(batch({"sheets", dir_.filePath("missing.xlsx")}).exitCode, 2);
}

TEST_F(SheetsCommand, CellsReadsTheSheetNamedOrNumbered)
{
    const struct Case {
        const char *sheet;
        const char *out;
    } cases[] = {
        {"Лист 3", "third\t3\n"}, {"3", "third\t3\n"},
        {"Hidden", "secret\n"},   {"2", "named two\n"}, // a name wins over the number
        {"1", "first\n"},
    };
    for (const Case &c : cases) {
        const ProcessResult r = batch({"cells", book_, "--sheet", QString::fromUtf8(c.sheet)});
        EXPECT_EQ(r.exitCode, 0) << c.sheet << r.err.toStdString();
        EXPECT_EQ(r.out.toStdString(), c.out) << c.sheet;
    }
    const ProcessResult missing = batch({"cells", book_, "--sheet", "Nope"});
    EXPECT_EQ(missing.exitCode, 2);
    EXPECT_TRUE(missing.err.contains("it has no sheet named \"Nope\"")) << missing.err.toStdString();
    const ProcessResult beyond = batch({"cells", book_, "--sheet", "7"});
    EXPECT_TRUE(beyond.err.contains("it has no sheet 7 (it has 4)")) << beyond.err.toStdString();
}

} // namespace
