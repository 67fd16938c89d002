// Client messages of more than one line, as 23ai clients write them
// ("ORA-00942: ...", then "Help: https://docs.oracle.com/error-help/db/...").
// They stay whole in errors and in the batch's error log, and a message of
// two lines does not break the entry it belongs to.

#include "SessionFixture.h"

#include "platform/Environment.h"

#include <QFile>
#include <QTemporaryDir>

namespace rowpour::testing
{
namespace
{

using namespace rowpour::oracle;
namespace Environment = platform::Environment;

const char *const helpVariable = "DEVDB_ERROR_HELP";

class Messages : public SessionTest
{
protected:
    void SetUp() override
    {
        if (!database_->devdbHome())
            GTEST_SKIP() << "the help line is the development database's imitation of a 23ai client";
        Environment::setVariable(helpVariable, QStringLiteral("1"));
        SessionTest::SetUp();
    }
    void TearDown() override
    {
        Environment::unsetVariable(helpVariable);
        SessionTest::TearDown();
    }
};

TEST_P(Messages, ErrorsKeepEveryLineOfTheClientsMessage)
{
    TOracleQuery query;
    query.SetSession(&session_);
    query.SQL() =
        QStringList{QStringLiteral("select * from ") + TestDatabase::uniqueName(QStringLiteral("NONE"))};
    try {
        query.Execute();
        FAIL() << "no error";
    } catch (const EOracleError &e) {
        EXPECT_EQ(e.ErrorNumber(), 942);
        const QStringList lines = e.Message().trimmed().split(QLatin1Char('\n'));
        ASSERT_EQ(lines.size(), 2) << e.Message().toStdString();
        EXPECT_TRUE(lines[0].startsWith(QStringLiteral("ORA-00942: ")));
        EXPECT_EQ(lines[1].trimmed(),
                  QStringLiteral("Help: https://docs.oracle.com/error-help/db/ora-00942/"));
    }
}

INSTANTIATE_TEST_SUITE_P(Modes, Messages, ::testing::Values(Mode::OCI8, Mode::OCI7), modeName);

// In the batch's error log each failed row is its entry followed by the
// whole message, and the next entry starts on a line of its own.
TEST(BatchErrorLog, MessagesOfTwoLinesKeepTheirEntries)
{
    const std::unique_ptr<TestDatabase> database = TestDatabase::open();
    if (!database->devdbHome())
        GTEST_SKIP() << "the help line is the development database's imitation of a 23ai client";
    QTemporaryDir dir;
    const QString table = database->createTable(QStringLiteral("HELP"), QStringLiteral("(N number(3))"));
    QFile book(dir.filePath(QStringLiteral("book.csv")));
    ASSERT_TRUE(book.open(QIODevice::WriteOnly));
    book.write("1234\n5\nabc\n");
    book.close();
    QFile mapping(dir.filePath(QStringLiteral("map.ini")));
    ASSERT_TRUE(mapping.open(QIODevice::WriteOnly));
    mapping.write("[Rows]\r\nRow1=N,NUMBER,1,1,,\r\n");
    mapping.close();
    const QString log = dir.filePath(QStringLiteral("errors.log"));
    const ProcessResult loaded =
        database->batch({QStringLiteral("load"), QStringLiteral("--userid"), database->userId(),
                         QStringLiteral("--table"), table, QStringLiteral("--file"), book.fileName(),
                         QStringLiteral("--mapping"), mapping.fileName(), QStringLiteral("--end"),
                         QStringLiteral("3"), QStringLiteral("--no-seek"), QStringLiteral("--errors"), log},
                        {QStringLiteral("DEVDB_ERROR_HELP=1")});
    EXPECT_EQ(loaded.exitCode, 1) << loaded.err.toStdString();
    QFile file(log);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QString text = QString::fromUtf8(file.readAll());
    text.remove(QLatin1Char('\r'));
    const QStringList lines = text.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 6) << text.toStdString();
    EXPECT_TRUE(lines[0].startsWith(QStringLiteral("/1/insert into ")));
    EXPECT_TRUE(lines[1].startsWith(QStringLiteral("ORA-01438: ")));
    EXPECT_EQ(lines[2], QStringLiteral("Help: https://docs.oracle.com/error-help/db/ora-01438/"));
    EXPECT_TRUE(lines[3].startsWith(QStringLiteral("/3/insert into ")));
    EXPECT_TRUE(lines[4].startsWith(QStringLiteral("ORA-01722: ")));
    EXPECT_EQ(lines[5], QStringLiteral("Help: https://docs.oracle.com/error-help/db/ora-01722/"));
}

} // namespace
} // namespace rowpour::testing
