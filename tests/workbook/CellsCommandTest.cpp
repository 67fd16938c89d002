// rowpour-batch cells, run as a user runs it.

#include "WorkbookTestSupport.h"

#include <QFile>
#include <QProcess>

#include <sys/stat.h>

#include <gtest/gtest.h>

using namespace rowpour::workbook::test;

namespace
{

struct CommandResult {
    int exitCode;
    QString out;
    QString err;
};

CommandResult cells(const QStringList &args, const QString &locale = QStringLiteral("C.UTF-8"))
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("LC_ALL"), locale);
    process.setProcessEnvironment(env);
    process.start(buildDir() + QStringLiteral("/cli/rowpour-batch"),
                  QStringList{QStringLiteral("cells")} + args);
    process.waitForFinished(60000);
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

TEST(CellsCommand, PrintsTheUsedRangeWithEscapes)
{
    const CommandResult r = cells({fixture(QStringLiteral("cells.ods"))});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QStringList lines = r.out.split(QLatin1Char('\n'));
    ASSERT_EQ(lines.size(), 8); // seven rows and the final line end
    EXPECT_EQ(lines[0], QStringLiteral("text\tПривет, мир\ttwo\\nlines\ta  bc\\\\d\t"));
    EXPECT_EQ(lines[6], QStringLiteral("after gap\t7\t7\t7\t"));
}

TEST(CellsCommand, RangesByNumberOrLetterAndTheLocale)
{
    const CommandResult r = cells({fixture(QStringLiteral("cells.xls")), QStringLiteral("--rows"),
                                   QStringLiteral("2-3"), QStringLiteral("--cols"), QStringLiteral("B-C")},
                                  QStringLiteral("ru_RU.UTF-8"));
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, QStringLiteral("-3,5\t0,3\n01.03.2024 10:11:12\t10:11:12\n"));
}

TEST(CellsCommand, ErrorsGoToStandardErrorWithAFailingExitCode)
{
    const CommandResult missing = cells({QStringLiteral("/nonexistent/book.xlsx")});
    EXPECT_NE(missing.exitCode, 0);
    EXPECT_TRUE(missing.out.isEmpty());
    EXPECT_TRUE(missing.err.contains(QStringLiteral("Cannot open the workbook \"/nonexistent/book.xlsx\"")));

    const CommandResult rowZero =
        cells({fixture(QStringLiteral("cells.xls")), QStringLiteral("--rows"), QStringLiteral("0-1")});
    EXPECT_NE(rowZero.exitCode, 0);
    EXPECT_TRUE(rowZero.err.contains(QStringLiteral("row numbers start at 1")));

    const CommandResult usage = cells({});
    EXPECT_NE(usage.exitCode, 0);
    EXPECT_TRUE(usage.err.contains(QStringLiteral("Usage")));
}

TEST(CellsCommand, EmptyFilesAndNamedPipesEndWithExitCode2)
{
    QTemporaryDir dir;
    const QString empty = writeFile(dir, QStringLiteral("empty.csv"), QByteArray());
    const QString fifo = dir.filePath(QStringLiteral("pipe.xlsx"));
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    for (const QString &path : {empty, fifo}) {
        const CommandResult r = cells({path});
        EXPECT_EQ(r.exitCode, 2) << path.toStdString();
        EXPECT_TRUE(r.out.isEmpty());
        EXPECT_TRUE(r.err.contains(QStringLiteral("Cannot open the workbook \"%1\": ").arg(path)))
            << r.err.toStdString();
    }
}

TEST(CellsCommand, GivenRangesNeedNoPassOverTheUsedRange)
{
    QTemporaryDir dir;
    // The fault lies beyond the rows asked for: a pass over the used range
    // would find it, reading rows 1-2 does not.
    const QString path =
        writeZip(dir, QStringLiteral("late.xlsx"),
                 xlsxParts(R"(<row r="1"><c><v>1</v></c></row><row r="2"><c><v>2</v></c></row>)"
                           R"(<row r="9"><c t="s"><v>4</v></c></row>)"));
    const CommandResult ranged = cells({path, QStringLiteral("--rows"), QStringLiteral("1-2"),
                                        QStringLiteral("--cols"), QStringLiteral("A")});
    EXPECT_EQ(ranged.exitCode, 0) << ranged.err.toStdString();
    EXPECT_EQ(ranged.out, QStringLiteral("1\n2\n"));
    const CommandResult whole = cells({path});
    EXPECT_EQ(whole.exitCode, 2);
    EXPECT_TRUE(whole.out.isEmpty());
    EXPECT_TRUE(whole.err.contains(QStringLiteral("the shared string \"4\" does not exist")));
}

} // namespace
