// Savepoints (rolling back part of a transaction) and the failing commit of
// the fault-injection switch.

#include "TestDatabase.h"

#include <cstdlib>

namespace devdb::test
{
namespace
{

using Rows = std::vector<std::vector<std::string>>;

class Savepoints : public ::testing::Test
{
protected:
    void SetUp() override
    {
        session = db.logon();
        run(*session, "create table t (n number)");
    }
    Rows rows(Session &s) { return run(s, "select n from t order by n"); }

    TempDatabase db;
    std::unique_ptr<Session> session;
};

TEST_F(Savepoints, RollingBackToASavepointUndoesOnlyWhatCameAfterIt)
{
    run(*session, "insert into t values (1)");
    run(*session, "savepoint before_run");
    run(*session, "insert into t values (2)");
    run(*session, "delete from t");
    run(*session, "rollback to savepoint before_run");
    EXPECT_EQ(rows(*session), (Rows{{"1"}}));

    // The transaction and the savepoint are still there.
    run(*session, "insert into t values (3)");
    run(*session, "ROLLBACK WORK TO Before_Run");
    run(*session, "insert into t values (4)");
    run(*session, "commit");
    auto other = db.logon();
    EXPECT_EQ(rows(*other), (Rows{{"1"}, {"4"}}));
}

TEST_F(Savepoints, SavepointBeforeAnyChangeStandsForTheStartOfTheTransaction)
{
    run(*session, "savepoint s");
    run(*session, "insert into t values (1)");
    run(*session, "rollback to s");
    EXPECT_TRUE(rows(*session).empty());
    run(*session, "insert into t values (2)");
    run(*session, "rollback to s");
    EXPECT_TRUE(rows(*session).empty());
    // Nothing is left pending: another session may write at once.
    auto other = db.logon();
    other->setLockTimeout(0);
    run(*other, "insert into t values (9)");
    other->commit();
}

TEST_F(Savepoints, UnknownOrForgottenSavepointsFailWithOra01086)
{
    EXPECT_EQ(failure(*session, "rollback to nowhere").code, 1086);
    EXPECT_EQ(failure(*session, "rollback to nowhere").text,
              "savepoint 'NOWHERE' never established in this session or is invalid");

    run(*session, "insert into t values (1)");
    run(*session, "savepoint a");
    run(*session, "insert into t values (2)");
    run(*session, "savepoint b");
    run(*session, "rollback to a");
    EXPECT_EQ(failure(*session, "rollback to b").code, 1086) << "later savepoints are gone";
    run(*session, "commit");
    EXPECT_EQ(failure(*session, "rollback to a").code, 1086) << "a commit ends them all";
    run(*session, "savepoint c");
    run(*session, "create table u (n number)"); // DDL commits
    EXPECT_EQ(failure(*session, "rollback to c").code, 1086);
    EXPECT_EQ(rows(*session), (Rows{{"1"}}));
}

TEST_F(Savepoints, SettingASavepointAgainMovesIt)
{
    run(*session, "savepoint s");
    run(*session, "insert into t values (1)");
    run(*session, "savepoint s");
    run(*session, "insert into t values (2)");
    run(*session, "rollback to s");
    EXPECT_EQ(rows(*session), (Rows{{"1"}}));
}

TEST_F(Savepoints, FaultSwitchMakesTheCommitFailAndRollBack)
{
    run(*session, "insert into t values (1)");
    session->commit();
    run(*session, "insert into t values (2)");
    setenv("ROWPOUR_DEVDB_FAIL_COMMIT", "1", 1);
    OraError error;
    try {
        session->commit();
    } catch (const OraError &e) {
        error = e;
    }
    session->commit(); // nothing pending: nothing to fail
    unsetenv("ROWPOUR_DEVDB_FAIL_COMMIT");
    EXPECT_EQ(error.code, 3113);
    EXPECT_EQ(rows(*session), (Rows{{"1"}}));
    auto other = db.logon();
    EXPECT_EQ(rows(*other), (Rows{{"1"}}));
}

} // namespace
} // namespace devdb::test
