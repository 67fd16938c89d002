// TOracleQuery against the development database, in every call mode.

#include "DevdbFixture.h"

#include "oracle/OracleTexts.h"
#include "oracle/OracleTypes.h"
#include "platform/OperatorLocale.h"
#include "tests/support/RecordedDesktop.h"

#include <QDate>

namespace rowpour::oracle::testing
{
namespace
{

class StatementTest : public DevdbStatementTest
{
protected:
    void SetUp() override
    {
        DevdbStatementTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        query_.SetSession(&session_);
    }

    void run(const QString &text)
    {
        query_.SQL() = QStringList{text};
        query_.Execute();
    }

    // Creates table n with `rows` rows numbered 1, 2, ...
    void createNumbers(int rows)
    {
        QByteArray script = "create table n (i number(9))\n";
        for (int i = 1; i <= rows; ++i)
            script += "insert into n values (" + QByteArray::number(i) + ")\n";
        script += "commit\n";
        devdbSql(script);
    }

    template <class F> QString failureOf(F &&call)
    {
        try {
            call();
        } catch (const std::exception &e) {
            return QString::fromUtf8(e.what());
        }
        return {};
    }

    TOracleQuery query_;
};

TEST_P(StatementTest, ColumnTypesFollowTheDescribeRules)
{
    devdbSql(
        "create table ty (a number(9), b number(10), c number(5,-2), d number(9,2), e float, f char(10), "
        "g raw(16), h date, i number, j varchar2(30))\n"
        "insert into ty values (123456789, 1234567890, 12345, 1.25, 0.5, 'ab', "
        "'00112233445566778899AABBCCDDEEFF', to_date('01.01.2000','DD.MM.YYYY'), 7, 'x')\n"
        "commit\n");
    run(QStringLiteral("select * from ty"));
    ASSERT_FALSE(query_.Eof());
    ASSERT_EQ(query_.ColumnCount(), 10);
    struct Expected {
        const char *name;
        int externalType;
        int size;
        bool characters; // a size in characters, each of which may take three bytes or more in UTF-8
    };
    const Expected expected[] = {
        {"A", extInteger, 0}, {"B", extFloat, 0},         {"C", extInteger, 0}, {"D", extFloat, 0},
        {"E", extFloat, 0},   {"F", extString, 10, true}, {"G", extString, 32}, {"H", extDate, 0},
        {"I", extFloat, 0},   {"J", extString, 30, true},
    };
    for (int i = 0; i < 10; ++i) {
        SCOPED_TRACE(expected[i].name);
        EXPECT_EQ(query_.ColumnName(i), QString::fromLatin1(expected[i].name));
        EXPECT_EQ(query_.ColumnType(i), expected[i].externalType);
        if (expected[i].characters)
            EXPECT_GE(query_.ColumnSize(i), 3 * expected[i].size);
        else
            EXPECT_EQ(query_.ColumnSize(i), expected[i].size);
    }
    EXPECT_EQ(query_.ColumnAsInteger(0), 123456789);
    EXPECT_EQ(query_.ColumnAsFloat(1), 1234567890.0);
    EXPECT_EQ(query_.ColumnAsInteger(2), 12300);
    EXPECT_EQ(query_.ColumnAsFloat(3), 1.25);
    EXPECT_EQ(query_.ColumnAsText(5), QStringLiteral("ab        ")); // CHAR keeps its blanks here
    EXPECT_EQ(query_.ColumnAsText(6), QStringLiteral("00112233445566778899AABBCCDDEEFF"));
    EXPECT_EQ(query_.ColumnAsDateTime(7), 36526.0);
    EXPECT_EQ(query_.ColumnAsText(7),
              QDate(2000, 1, 1).toString(platform::OperatorLocale::system().shortDateFormat()));
    EXPECT_EQ(query_.ColumnAsVariant(0).toInt(), 123456789);
    EXPECT_FALSE(query_.ColumnNullable(0) && query_.ColumnIsNull(0));
}

TEST_P(StatementTest, ValuesConvertBetweenKinds)
{
    devdbSql(
        "create table v (n number(9), f number(10,2), s varchar2(20), d date)\n"
        "insert into v values (-42, 12.75, '17', to_date('02.01.2000 12:00:00','DD.MM.YYYY HH24:MI:SS'))\n"
        "insert into v values (null, null, null, null)\n"
        "commit\n");
    run(QStringLiteral("select * from v order by n"));
    EXPECT_EQ(query_.ColumnAsText(0), QStringLiteral("-42"));
    EXPECT_EQ(query_.ColumnAsInteger(1), 12); // truncated toward zero
    EXPECT_EQ(query_.ColumnAsInteger(2), 17);
    EXPECT_EQ(query_.ColumnAsFloat(2), 17.0);
    EXPECT_EQ(query_.ColumnAsFloat(3), 36527.5);
    EXPECT_EQ(query_.ColumnAsInteger(3), 36527);
    query_.Next();
    ASSERT_FALSE(query_.Eof());
    for (int i = 0; i < 4; ++i) {
        EXPECT_TRUE(query_.ColumnIsNull(i));
        EXPECT_EQ(query_.ColumnAsText(i), QString());
        EXPECT_EQ(query_.ColumnAsInteger(i), 0);
        EXPECT_FALSE(query_.ColumnAsVariant(i).isValid());
    }
}

TEST_P(StatementTest, BareLineFeedsReadBackAsCrLf)
{
    devdbSql("create table t (s varchar2(20))\n");
    TOracleQuery insert;
    insert.SetSession(&session_);
    insert.SQL() = QStringList{QStringLiteral("insert into t values ('a"), QStringLiteral("b')")};
    insert.Execute();
    run(QStringLiteral("select s from t"));
    EXPECT_EQ(query_.ColumnAsText(0), QStringLiteral("a\r\nb"));
    session_.Preferences().ConvertCRLF = false;
    EXPECT_EQ(query_.ColumnAsText(0), QStringLiteral("a\nb"));
}

TEST_P(StatementTest, LongValueArrivesWhole)
{
    devdbSql("create table l (k number(9), v long)\n"
             "insert into l values (1, devdb_repeat('0123456789', 10000))\n"
             "insert into l values (2, null)\ninsert into l values (3, 'short')\n");
    const QString value = QStringLiteral("0123456789").repeated(10000);
    run(QStringLiteral("select k, v from l order by k"));
    EXPECT_EQ(query_.RowsPerFetch(), 1);
    EXPECT_EQ(query_.ColumnType(1), extLong);
    EXPECT_TRUE(query_.ColumnAsVariant(1).toString() == value); // no 100,000-character failure message
    EXPECT_EQ(failureOf([&] { query_.ColumnAsText(1); }),
              QStringLiteral("Cannot convert field V to a String"));
    if (session_.OCI8Mode()) {
        std::vector<oci::ub4> used;
        for (const TLongPiece &piece : query_.Column(1).LongPieces())
            used.push_back(piece.length);
        EXPECT_EQ(used, (std::vector<oci::ub4>{2000, 4000, 8000, 16000, 32000, 32000, 6000}));
    }
    EXPECT_EQ(query_.Column(1).LongValue().size(), 100000);
    query_.Next();
    EXPECT_TRUE(query_.ColumnIsNull(1));
    query_.Next();
    EXPECT_EQ(query_.ColumnAsVariant(1).toString(), QStringLiteral("short"));
    query_.Next();
    EXPECT_TRUE(query_.Eof());
}

TEST_P(StatementTest, EmptySelectIsAtEofAtOnce)
{
    createNumbers(0);
    run(QStringLiteral("select i from n"));
    EXPECT_TRUE(query_.Eof());
    EXPECT_EQ(query_.ProcessedRowCount(), 0);
    EXPECT_EQ(failureOf([&] { query_.ColumnAsText(0); }), QString::fromUtf8(texts::BeyondEof));
    query_.Next(); // nothing happens at Eof
    EXPECT_TRUE(query_.Eof());
}

// Reads every row, noting the processed row count before each Next.
std::vector<int> walk(TOracleQuery &query)
{
    std::vector<int> counts;
    int expected = 1;
    while (!query.Eof()) {
        EXPECT_EQ(query.ColumnAsInteger(0), expected++);
        counts.push_back(query.ProcessedRowCount());
        query.Next();
    }
    return counts;
}

TEST_P(StatementTest, BatchesOfReadBufferRows)
{
    struct Case {
        int rows;
        std::vector<int> counts;
    };
    // ReadBuffer 3: the count grows by batches; a short batch ends the rows
    // (a further fetch after the end would be out of sequence).
    const Case cases[] = {
        {6, {3, 3, 3, 6, 6, 6}},
        {4, {3, 3, 3, 4}},
        {3, {3, 3, 3}},
        {1, {1}},
    };
    createNumbers(6);
    query_.SetReadBuffer(3);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.rows);
        run(QStringLiteral("select i from n where i <= %1 order by i").arg(c.rows));
        EXPECT_EQ(walk(query_), c.counts);
        EXPECT_EQ(query_.ProcessedRowCount(), c.rows);
    }
    query_.SetReadBuffer(0);
    EXPECT_EQ(query_.ReadBuffer(), 1);
}

TEST_P(StatementTest, OptimizeReusesThePreparedStatement)
{
    createNumbers(2);
    run(QStringLiteral("select i from n order by i"));
    run(QStringLiteral("select i from n order by i"));
    EXPECT_EQ(query_.PrepareCount(), 1);
    EXPECT_EQ(walk(query_).size(), 2u); // the reused statement fetches again from the start
    run(QStringLiteral("select i from n order by I"));
    EXPECT_EQ(query_.PrepareCount(), 2);
    run(QStringLiteral("select i from n order by i "));
    EXPECT_EQ(query_.PrepareCount(), 3);
    query_.Optimize = false;
    run(QStringLiteral("select i from n order by i "));
    EXPECT_EQ(query_.PrepareCount(), 4);
}

TEST_P(StatementTest, HandlesAreMadeAgainAfterLogOffAndOn)
{
    createNumbers(2);
    run(QStringLiteral("select i from n order by i"));
    session_.LogOff();
    EXPECT_EQ(query_.PreparedText(), QByteArray());
    EXPECT_EQ(failureOf([&] { query_.Execute(); }), QString::fromUtf8(texts::NotLoggedOn));
    logOn(session_);
    run(QStringLiteral("select i from n order by i"));
    EXPECT_EQ(query_.PrepareCount(), 2);
    EXPECT_EQ(walk(query_).size(), 2u);
}

TEST_P(StatementTest, ShorterSelectAfterALongerOne)
{
    createNumbers(2);
    run(QStringLiteral("select i, i + 1, i + 2 from n order by i"));
    EXPECT_EQ(query_.ColumnCount(), 3);
    run(QStringLiteral("select i from n order by i"));
    EXPECT_EQ(query_.ColumnCount(), 1);
    EXPECT_EQ(walk(query_).size(), 2u);
    run(QStringLiteral("select i, i from n order by i"));
    EXPECT_EQ(walk(query_).size(), 2u);
}

TEST_P(StatementTest, StatementTextIsJoinedWithLineFeeds)
{
    createNumbers(1);
    query_.SQL() = QStringList{QStringLiteral("select i\r"), QStringLiteral("from n")};
    query_.Execute();
    EXPECT_EQ(query_.PreparedText(), QByteArray("select i\nfrom n\n"));
    EXPECT_EQ(query_.ColumnAsInteger(0), 1);
}

TEST_P(StatementTest, ParseErrorPositionIsLineAndColumn)
{
    createNumbers(1);
    query_.SQL() = QStringList{QStringLiteral("select i"), QStringLiteral("from n where = 1")};
    EXPECT_THROW(query_.Execute(), EOracleError);
    EXPECT_EQ(query_.ParseErrorLine(), 2);
    EXPECT_EQ(query_.ParseErrorColumn(), 14);       // at the "="
    EXPECT_EQ(query_.PreparedText(), QByteArray()); // forgotten: the next Execute prepares again
    query_.SQL() = QStringList{QStringLiteral("select i from n")};
    query_.Execute();
    EXPECT_EQ(query_.ParseErrorLine(), 0);
    EXPECT_EQ(query_.ColumnAsInteger(0), 1);
}

TEST_P(StatementTest, EmptyTextReachesTheServerAsOneBlank)
{
    query_.SQL().clear();
    EXPECT_THROW(query_.Execute(), EOracleError);
    EXPECT_EQ(query_.PreparedText(), QByteArray());
}

TEST_P(StatementTest, ServerErrorsKeepTheQueryUsable)
{
    createNumbers(1);
    try {
        run(QStringLiteral("insert into missing values (1)"));
        FAIL() << "no error";
    } catch (const EOracleError &e) {
        EXPECT_EQ(e.ErrorNumber(), 942);
        EXPECT_TRUE(e.Message().startsWith(QStringLiteral("ORA-00942")));
    }
    run(QStringLiteral("insert into n values (2)"));
    EXPECT_EQ(query_.ProcessedRowCount(), 1);
}

TEST_P(StatementTest, NonSelectCountsRowsAndDoesNotCommit)
{
    createNumbers(3);
    run(QStringLiteral("delete from n where i <= 2"));
    EXPECT_EQ(query_.ProcessedRowCount(), 2);
    EXPECT_TRUE(query_.Eof());
    run(QStringLiteral("delete from n where i > 100"));
    EXPECT_EQ(query_.ProcessedRowCount(), 0);
    run(QStringLiteral("insert into n values (10)"));
    EXPECT_EQ(devdbSql("select count(*) from n\n").trimmed(), QStringLiteral("3"));
    session_.Commit();
    EXPECT_EQ(devdbSql("select count(*) from n\n").trimmed(), QStringLiteral("2"));
}

TEST_P(StatementTest, FieldAccessFailures)
{
    createNumbers(1);
    run(QStringLiteral("select i from n"));
    EXPECT_EQ(query_.FieldIndex(QStringLiteral("I")), 0);
    EXPECT_EQ(query_.ColumnIndex(QStringLiteral("i")), 0);
    EXPECT_EQ(query_.ColumnIndex(QStringLiteral("x")), -1);
    EXPECT_EQ(failureOf([&] { query_.FieldIndex(QStringLiteral("x")); }),
              QStringLiteral("Field x does not exist"));
    EXPECT_EQ(failureOf([&] { query_.ColumnAsText(1); }), QStringLiteral("Field 1 does not exist"));
    EXPECT_EQ(failureOf([&] { query_.ColumnName(-1); }), QStringLiteral("Field -1 does not exist"));
    query_.Next();
    EXPECT_EQ(failureOf([&] { query_.ColumnAsInteger(0); }), QString::fromUtf8(texts::BeyondEof));
}

TEST_P(StatementTest, DebugShowsTheStatementText)
{
    createNumbers(1);
    rowpour::testing::RecordedDesktop desktop;
    query_.Debug = true;
    query_.SQL() = QStringList{QStringLiteral("select i"), QStringLiteral("from n")};
    query_.Execute();
    query_.Describe();
    EXPECT_EQ(desktop.messageBoxes, QStringList{QStringLiteral("select i\r\nfrom n")});
}

TEST_P(StatementTest, SessionMustBeSetAndConnected)
{
    TOracleQuery lonely;
    lonely.SQL() = QStringList{QStringLiteral("select 1 from dual")};
    EXPECT_EQ(failureOf([&] { lonely.Execute(); }), QString::fromUtf8(texts::SessionUndefined));
    TOracleSession idle;
    lonely.SetSession(&idle);
    EXPECT_EQ(failureOf([&] { lonely.Execute(); }), QString::fromUtf8(texts::NotLoggedOn));
    EXPECT_EQ(lonely.ProcessedRowCount(), 0);
}

TEST_P(StatementTest, QueryOutlivesItsSession)
{
    createNumbers(1);
    auto other = std::make_unique<TOracleSession>();
    logOn(*other);
    TOracleQuery query;
    query.SetSession(other.get());
    query.SQL() = QStringList{QStringLiteral("select i from n")};
    query.Execute();
    other.reset(); // logs off and lets the query forget it
    EXPECT_EQ(query.Session(), nullptr);
    EXPECT_EQ(failureOf([&] { query.Execute(); }), QString::fromUtf8(texts::SessionUndefined));
}

INSTANTIATE_TEST_SUITE_P(CallModes, StatementTest,
                         ::testing::Values(CallMode::OCI8, CallMode::OCI7Server, CallMode::OCI7Preference),
                         callModeName);

} // namespace
} // namespace rowpour::oracle::testing
