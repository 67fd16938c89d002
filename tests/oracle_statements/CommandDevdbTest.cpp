// rowpour-batch sql, tables and columns against the development database.

#include "DevdbFixture.h"

namespace rowpour::oracle::testing
{
namespace
{

class CommandTest : public DevdbStatementTest
{
protected:
    ToolResult batch(const QStringList &args, const QByteArray &input = {})
    {
        return runProgram(batchTool(), args, input);
    }
};

TEST_P(CommandTest, SqlPrintsRecordsOrRowCounts)
{
    const QString userId = DevdbStatementTest::userId();
    ToolResult r = batch({"sql", "--userid", userId, "-"}, "create table t (n number(9), s varchar2(20))\n"
                                                           "\n"
                                                           "insert into t values (1, 'a\tb\\c')\n"
                                                           "insert into t values (2, null)\n"
                                                           "select * from t order by n\n");
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, QStringLiteral("0\n1\n1\nN\tS\n1\ta\\tb\\\\c\n2\t\n"));
    r = batch({"sql", "--userid=" + userId, "--commit", "update t set s = 'x\n' where n = 2"});
    EXPECT_EQ(r.out, QStringLiteral("1\n"));
    r = batch({"sql", "--userid", userId, "select s from t where n = 2"});
    EXPECT_EQ(r.out, QStringLiteral("S\nx\n")); // the line break is trimmed from the text field
}

TEST_P(CommandTest, SqlReportsFailures)
{
    const ToolResult r = batch({"sql", "--userid", userId(), "select * from missing"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_TRUE(r.err.contains(QStringLiteral("ORA-00942"))) << r.err.toStdString();
    EXPECT_EQ(batch({"sql", "select 1 from dual"}).exitCode, 2);
}

TEST_P(CommandTest, TablesAndColumns)
{
    devdbSql("create table alpha (id number(9), name varchar2(30))\n");
    ToolResult r = batch({"tables", "--userid", userId()});
    EXPECT_EQ(r.out, QStringLiteral("ALPHA\n")) << r.err.toStdString();
    r = batch({"tables", "UserId=" + userId(), "OCIDLL=" + home_ + "/lib/libclntsh.so"});
    EXPECT_EQ(r.out, QStringLiteral("ALPHA\n")) << r.err.toStdString();
    r = batch({"columns", "--userid", userId(), "ALPHA"});
    EXPECT_EQ(r.out, QStringLiteral("ID\tNUMBER\nNAME\tVARCHAR2\n")) << r.err.toStdString();
    r = batch({"columns", "--userid", userId(), "NONE"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, QString());
}

INSTANTIATE_TEST_SUITE_P(CallModes, CommandTest, ::testing::Values(CallMode::OCI8, CallMode::OCI7Server),
                         callModeName);

} // namespace
} // namespace rowpour::oracle::testing
