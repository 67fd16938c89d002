// What sessions cost the server, as the line each session appends to
// DEVDB_STATS_FILE when it ends: round trips of the calls that reach the
// server, hard parses of texts the database has not parsed before and soft
// parses of the others, executions and rows.

#include "OciClient.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <fstream>

using namespace ocitest;

namespace
{

using Lines = std::vector<std::string>;

std::string line(int roundTrips, int hardParses, int softParses, int executions, int rows)
{
    return "round_trips=" + std::to_string(roundTrips) + " hard_parses=" + std::to_string(hardParses) +
           " soft_parses=" + std::to_string(softParses) + " executions=" + std::to_string(executions) +
           " rows=" + std::to_string(rows);
}

class StatisticsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_EQ(home.sql("system/manager", "create user scott identified by tiger\n"), 0);
        ASSERT_EQ(home.sql("scott/tiger", "create table t (id number(6), name varchar2(10))\n"
                                          "insert into t values (1, 'a')\n"
                                          "insert into t values (2, 'b')\n"
                                          "insert into t values (3, 'c')\n"),
                  0);
        statsFile = home.path() + "/stats.txt";
        setenv("DEVDB_STATS_FILE", statsFile.c_str(), 1);
    }
    void TearDown() override { unsetenv("DEVDB_STATS_FILE"); }
    Lines lines() const
    {
        Lines out;
        std::ifstream in(statsFile);
        for (std::string l; std::getline(in, l);)
            out.push_back(l);
        return out;
    }
    static void prepare(Connection &conn, const std::string &sql)
    {
        ASSERT_EQ(conn.lib.OCIStmtPrepare(conn.stmt, conn.err, reinterpret_cast<const OraText *>(sql.data()),
                                          static_cast<ub4>(sql.size()), 1, 0),
                  OCI_SUCCESS);
    }
    static sword execute(Connection &conn, ub4 iterations)
    {
        return conn.lib.OCIStmtExecute(conn.svc, conn.stmt, conn.err, iterations, 0, nullptr, nullptr, 0);
    }
    static void logOn(Connection &conn, const char *user = "scott", const char *password = "tiger")
    {
        ASSERT_EQ(conn.logOn(user, password), OCI_SUCCESS) << conn.error().text;
    }

    TempHome home;
    std::string statsFile;
};

TEST_F(StatisticsTest, LiteralRowsCostARoundTripAndAHardParseEach)
{
    Connection conn;
    logOn(conn);
    for (int i = 10; i < 13; ++i)
        ASSERT_EQ(conn.execute("insert into t values (" + std::to_string(i) + ", 'x')"), OCI_SUCCESS);
    ASSERT_EQ(conn.lib.OCITransCommit(conn.svc, conn.err, 0), OCI_SUCCESS);
    ASSERT_EQ(conn.logOff(), OCI_SUCCESS);
    // Logon, three executions, commit, logoff.
    EXPECT_EQ(lines(), (Lines{line(6, 3, 0, 3, 3)}));
}

TEST_F(StatisticsTest, AnArrayInsertIsOneRoundTripParseAndExecution)
{
    Connection conn;
    logOn(conn);
    prepare(conn, "insert into t values (:1, :2)");
    std::vector<int> ids(100);
    std::vector<char> names(100 * 4, 'n');
    for (int i = 0; i < 100; ++i)
        ids[static_cast<std::size_t>(i)] = 100 + i;
    void *b1 = nullptr, *b2 = nullptr;
    ASSERT_EQ(conn.lib.OCIBindByPos(conn.stmt, &b1, conn.err, 1, ids.data(), 4, SQLT_INT, nullptr, nullptr,
                                    nullptr, 0, nullptr, 0),
              OCI_SUCCESS);
    ASSERT_EQ(conn.lib.OCIBindByPos(conn.stmt, &b2, conn.err, 2, names.data(), 4, SQLT_CHR, nullptr, nullptr,
                                    nullptr, 0, nullptr, 0),
              OCI_SUCCESS);
    ASSERT_EQ(execute(conn, 100), OCI_SUCCESS) << conn.error().text;
    // The same cursor again: an execution, no parse.
    ASSERT_EQ(execute(conn, 50), OCI_SUCCESS) << conn.error().text;
    ASSERT_EQ(conn.lib.OCITransRollback(conn.svc, conn.err, 0), OCI_SUCCESS);
    ASSERT_EQ(conn.logOff(), OCI_SUCCESS);
    EXPECT_EQ(lines(), (Lines{line(5, 1, 0, 2, 150)}));
}

// The rows of a select come with the execution (as many as the prefetch
// count, default 1) and with each fetch that needs more than have come
// (as many as it asks for, at least the prefetch count); a server that sent
// fewer than were asked for has sent the last row.
TEST_F(StatisticsTest, FetchesReachTheServerOnlyForRowsNotYetReceived)
{
    struct Case {
        const char *name;
        int prefetch; // -1: the default
        ub4 rowsPerFetch;
        int roundTrips; // the sessions end without a logoff: logon, execution and fetches
    };
    const Case cases[] = {
        // Execution brings row 1; fetches 2 and 3 bring a row each, the fourth finds the end.
        {"default prefetch, one row per fetch", -1, 1, 5},
        // Execution brings nothing; one fetch brings all three and the end.
        {"no prefetch, 25 rows per fetch", 0, 25, 3},
        // Execution brings all three and the end with them: no fetch reaches the server.
        {"prefetch 10, one row per fetch", 10, 1, 2},
        // Exactly as many rows as asked for: the end needs one more round trip.
        {"no prefetch, 3 rows per fetch", 0, 3, 4},
    };
    Lines expected;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        {
            Connection conn;
            logOn(conn);
            prepare(conn, "select id from t");
            if (c.prefetch >= 0) {
                ub4 prefetch = static_cast<ub4>(c.prefetch);
                conn.lib.OCIAttrSet(conn.stmt, HTYPE_STMT, &prefetch, 4, ATTR_PREFETCH_ROWS, conn.err);
            }
            int ids[25] = {};
            void *define = nullptr;
            conn.lib.OCIDefineByPos(conn.stmt, &define, conn.err, 1, ids, 4, SQLT_INT, nullptr, nullptr,
                                    nullptr, 0);
            ASSERT_EQ(execute(conn, 0), OCI_SUCCESS);
            ub4 fetched = 0;
            for (sword rc = OCI_SUCCESS; rc == OCI_SUCCESS;) {
                rc = conn.lib.OCIStmtFetch(conn.stmt, conn.err, c.rowsPerFetch, FETCH_NEXT, 0);
                ub4 n = 0;
                conn.lib.OCIAttrGet(conn.stmt, HTYPE_STMT, &n, nullptr, ATTR_ROWS_FETCHED, conn.err);
                fetched += n;
            }
            EXPECT_EQ(fetched, 3u);
        }
        // The first session parses the text in full, the later ones find it parsed.
        bool first = expected.empty();
        expected.push_back(line(c.roundTrips, first ? 1 : 0, first ? 0 : 1, 1, 3));
        EXPECT_EQ(lines(), expected);
    }
}

TEST_F(StatisticsTest, AParsedTextIsSoftForEverySessionOfTheAccount)
{
    const std::string count = "select count(*) from t";
    Connection first;
    logOn(first);
    first.query(count);
    // The same handle run again is no parse at all.
    ASSERT_EQ(execute(first, 0), OCI_SUCCESS);
    Connection second;
    logOn(second);
    second.query(count);
    // The same text read by another account means other objects: parsed in full.
    ASSERT_EQ(home.sql("system/manager", "create table t (n number)\n"), 0);
    Connection other;
    logOn(other, "system", "manager");
    other.query(count);
    // A text that does not parse is parsed in full each time.
    EXPECT_EQ(second.execute("select nosuch from t"), OCI_ERROR);
    EXPECT_EQ(second.execute("select nosuch from t"), OCI_ERROR);
    unlink(statsFile.c_str()); // the tool's session above wrote its own line
    ASSERT_EQ(first.logOff(), OCI_SUCCESS);
    ASSERT_EQ(second.logOff(), OCI_SUCCESS);
    ASSERT_EQ(other.logOff(), OCI_SUCCESS);
    // Logon, execute, fetch (the end), execute again, logoff.
    EXPECT_EQ(lines(), (Lines{line(5, 1, 0, 2, 2), line(6, 2, 1, 1, 1), line(4, 1, 0, 1, 1)}));
}

TEST_F(StatisticsTest, EverySessionReportsOnceHoweverItEnds)
{
    {
        Connection detached;
        logOn(detached);
        ASSERT_EQ(detached.lib.OCIServerDetach(detached.server, detached.err, 0), OCI_SUCCESS);
        EXPECT_EQ(detached.lib.OCISessionEnd(detached.svc, detached.err, detached.session, 0), OCI_ERROR);
    }
    {
        Connection freed;
        logOn(freed);
        ASSERT_EQ(freed.lib.OCIPing(freed.svc, freed.err, 0), OCI_SUCCESS);
        char banner[256];
        ASSERT_EQ(freed.lib.OCIServerVersion(freed.svc, freed.err, reinterpret_cast<OraText *>(banner),
                                             sizeof banner, HTYPE_SVCCTX),
                  OCI_SUCCESS);
    }
    {
        Connection simple;
        void *svc = nullptr;
        ASSERT_EQ(simple.lib.OCILogon(simple.env, simple.err, &svc,
                                      reinterpret_cast<const OraText *>("scott"), 5,
                                      reinterpret_cast<const OraText *>("tiger"), 5,
                                      reinterpret_cast<const OraText *>("DB"), 2),
                  OCI_SUCCESS);
        ASSERT_EQ(simple.lib.OCILogoff(svc, simple.err), OCI_SUCCESS);
        // A failed logon makes no session.
        EXPECT_EQ(simple.lib.OCILogon(simple.env, simple.err, &svc,
                                      reinterpret_cast<const OraText *>("scott"), 5,
                                      reinterpret_cast<const OraText *>("lion"), 4,
                                      reinterpret_cast<const OraText *>("DB"), 2),
                  OCI_ERROR);
    }
    {
        Library &lib = buildLibrary();
        CdaDef lda{}, cda{};
        ub1 hda[512] = {};
        ASSERT_EQ(lib.olog(&lda, hda, reinterpret_cast<const OraText *>("scott/tiger@DB"), -1, nullptr, -1,
                           nullptr, -1, 0),
                  0);
        ASSERT_EQ(lib.oopen(&cda, &lda, nullptr, -1, -1, nullptr, -1), 0);
        ASSERT_EQ(lib.oparse(&cda, reinterpret_cast<const OraText *>("delete from t where id = 1"), -1, 1, 2),
                  0);
        ASSERT_EQ(lib.oexec(&cda), 0);
        ASSERT_EQ(lib.ocom(&lda), 0);
        ASSERT_EQ(lib.oclose(&cda), 0);
        ASSERT_EQ(lib.ologof(&lda), 0);
    }
    EXPECT_EQ(lines(),
              (Lines{line(1, 0, 0, 0, 0), line(3, 0, 0, 0, 0), line(2, 0, 0, 0, 0), line(4, 1, 0, 1, 1)}));
}

// Runs in a process of its own (see the next test), in the home and with the
// statistics file it inherits: logs on, changes rows and leaves the session
// open for the process exit to end.
TEST(StatisticsAtExit, DISABLED_SessionLeftOpen)
{
    auto *conn = new Connection; // never freed: the process ends with the session open
    ASSERT_EQ(conn->logOn("scott", "tiger"), OCI_SUCCESS) << conn->error().text;
    ASSERT_EQ(conn->execute("update t set name = 'z'"), OCI_SUCCESS);
}

TEST_F(StatisticsTest, ASessionOpenWhenTheProcessExitsReportsThen)
{
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // A fresh process running only the test above.
        int quiet = open("/dev/null", O_WRONLY);
        dup2(quiet, STDOUT_FILENO);
        execl("/proc/self/exe", "devdb_oci_tests", "--gtest_filter=StatisticsAtExit.DISABLED_SessionLeftOpen",
              "--gtest_also_run_disabled_tests", static_cast<char *>(nullptr));
        _exit(127);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(lines(), (Lines{line(2, 1, 0, 1, 3)}));
}

} // namespace
