// Transactions seen from two sessions: uncommitted rows stay private, and the
// end of a session decides their fate as Oracle does.

#include "OciClient.h"

#include <gtest/gtest.h>

using namespace ocitest;

namespace
{

class TransactionTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_EQ(home.sql("system/manager", "create user scott identified by tiger\n"), 0);
        ASSERT_EQ(home.sql("scott/tiger", "create table t (n number)\n"), 0);
        ASSERT_EQ(observer.logOn("scott", "tiger"), OCI_SUCCESS);
    }
    std::string visibleRows() { return observer.query("select count(*) from t")[0][0]; }

    TempHome home;
    Connection observer;
};

TEST_F(TransactionTest, CommitAndRollback)
{
    Connection writer;
    ASSERT_EQ(writer.logOn("scott", "tiger"), OCI_SUCCESS);
    ASSERT_EQ(writer.execute("insert into t values (1)"), OCI_SUCCESS);
    EXPECT_EQ(writer.query("select count(*) from t")[0][0], "1");
    EXPECT_EQ(visibleRows(), "0");
    ASSERT_EQ(writer.lib.OCITransCommit(writer.svc, writer.err, 0), OCI_SUCCESS);
    EXPECT_EQ(visibleRows(), "1");
    ASSERT_EQ(writer.execute("insert into t values (2)"), OCI_SUCCESS);
    ASSERT_EQ(writer.lib.OCITransRollback(writer.svc, writer.err, 0), OCI_SUCCESS);
    EXPECT_EQ(writer.query("select count(*) from t")[0][0], "1");
    EXPECT_EQ(visibleRows(), "1");
}

TEST_F(TransactionTest, CommitOnSuccessMode)
{
    Connection writer;
    ASSERT_EQ(writer.logOn("scott", "tiger"), OCI_SUCCESS);
    ASSERT_EQ(writer.execute("insert into t values (1)", COMMIT_ON_SUCCESS), OCI_SUCCESS);
    EXPECT_EQ(visibleRows(), "1");
}

TEST_F(TransactionTest, CommitStatementThroughTheCallInterface)
{
    Connection writer;
    ASSERT_EQ(writer.logOn("scott", "tiger"), OCI_SUCCESS);
    ASSERT_EQ(writer.execute("insert into t values (1)"), OCI_SUCCESS);
    ASSERT_EQ(writer.execute("commit"), OCI_SUCCESS);
    EXPECT_EQ(visibleRows(), "1");
}

// How a session ends decides what becomes of its open transaction.
struct EndCase {
    const char *name;
    const char *expectedRows;
    void (*end)(Connection &);
};

void PrintTo(const EndCase &c, std::ostream *os)
{
    *os << c.name;
}

class SessionEndTest : public TransactionTest, public ::testing::WithParamInterface<EndCase>
{
};

TEST_P(SessionEndTest, OpenTransactionAtTheEnd)
{
    auto writer = std::make_unique<Connection>();
    ASSERT_EQ(writer->logOn("scott", "tiger"), OCI_SUCCESS);
    ASSERT_EQ(writer->execute("insert into t values (1)"), OCI_SUCCESS);
    GetParam().end(*writer);
    writer.reset();
    EXPECT_EQ(visibleRows(), GetParam().expectedRows);
}

INSTANTIATE_TEST_SUITE_P(
    Ends, SessionEndTest,
    ::testing::Values(
        EndCase{"SessionEndCommits", "1", [](Connection &c) { ASSERT_EQ(c.logOff(), OCI_SUCCESS); }},
        EndCase{"DetachRollsBack", "0",
                [](Connection &c) { ASSERT_EQ(c.lib.OCIServerDetach(c.server, c.err, 0), OCI_SUCCESS); }},
        EndCase{"FreeingTheSessionRollsBack", "0",
                [](Connection &c) { ASSERT_EQ(c.lib.OCIHandleFree(c.session, HTYPE_SESSION), OCI_SUCCESS); }},
        EndCase{"FreeingTheEnvironmentRollsBack", "0",
                [](Connection &c) {
                    ASSERT_EQ(c.lib.OCIHandleFree(c.env, HTYPE_ENV), OCI_SUCCESS);
                    c.env = nullptr;
                }}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(TransactionTest, ProcessExitRollsBack)
{
    // A child process inserts and ends without committing or logging off.
    ASSERT_EXIT(
        {
            Library lib(buildHome() + "/lib/libclntsh.so");
            Connection c(lib);
            if (c.logOn("scott", "tiger") == OCI_SUCCESS &&
                c.execute("insert into t values (1)") == OCI_SUCCESS)
                std::_Exit(0);
            std::_Exit(1);
        },
        ::testing::ExitedWithCode(0), "");
    EXPECT_EQ(visibleRows(), "0");
}

TEST_F(TransactionTest, EachAccountIsASchema)
{
    ASSERT_EQ(home.sql("system/manager", "create user adams identified by a\n"), 0);
    Connection adams;
    ASSERT_EQ(adams.logOn("adams", "a"), OCI_SUCCESS);
    EXPECT_EQ(adams.execute("select * from t"), OCI_ERROR);
    EXPECT_EQ(adams.error().code, 942);
    ASSERT_EQ(adams.execute("create table t (s varchar2(5))"), OCI_SUCCESS);
    EXPECT_EQ(visibleRows(), "0");
}

} // namespace
