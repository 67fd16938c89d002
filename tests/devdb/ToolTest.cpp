// rowpour-devdb, run as a user runs it.

#include "OciClient.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

using namespace ocitest;
namespace fs = std::filesystem;

namespace
{

TEST(Tool, HomeLaysOutLibrariesAndTnsNames)
{
    QTemporaryDir dir;
    std::string home = dir.path().toStdString() + "/h";
    ASSERT_EQ(TempHome::tool({"home", home}), 0);
    for (const char *file : {"lib/libclntsh.so", "variants/oci7/libclntsh.so", "variants/no81/libclntsh.so",
                             "variants/incomplete/libclntsh.so", "network/admin/tnsnames.ora"})
        EXPECT_TRUE(fs::exists(home + "/" + file)) << file;
    // Laying it out again keeps its databases.
    ASSERT_EQ(TempHome::tool({"database", home, "one"}), 0);
    ASSERT_EQ(TempHome::tool({"home", home}), 0);
    std::ifstream in(home + "/network/admin/tnsnames.ora");
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_NE(text.str().find("ONE ="), std::string::npos);
    EXPECT_NE(text.str().find("(PROTOCOL = devdb)(FILE = " + home + "/oradata/one.db)"), std::string::npos);
}

TEST(Tool, DatabaseTwiceOrWithoutHomeFails)
{
    TempHome home;
    std::string out;
    EXPECT_NE(TempHome::tool({"database", home.path(), "DB"}, {}, &out), 0);
    EXPECT_NE(out.find("exists"), std::string::npos) << out;
    QTemporaryDir empty;
    EXPECT_NE(TempHome::tool({"database", empty.path().toStdString(), "X"}), 0);
    EXPECT_EQ(TempHome::tool({"frobnicate"}), 2);
}

TEST(Tool, SqlRunsStatementsAndCommitsAtTheEnd)
{
    TempHome home;
    std::string out;
    ASSERT_EQ(home.sql("system/manager", "create user scott identified by tiger\n", &out), 0) << out;
    ASSERT_EQ(home.sql("scott/tiger",
                       "create table t (n number, s varchar2(5));\n\ninsert into t values (1, 'a')\n"
                       "insert into t values (2, null)\n",
                       &out),
              0)
        << out;
    ASSERT_EQ(home.sql("scott/tiger", "select n, s from t order by n\n", &out), 0);
    EXPECT_EQ(out, "1\ta\n2\t\n");
    // A failing statement is reported; the others still run and the exit code says it.
    EXPECT_EQ(home.sql("scott/tiger", "insert into nosuch values (1)\ndelete from t where n = 2\n", &out), 1);
    EXPECT_NE(out.find("ORA-00942: table or view does not exist"), std::string::npos) << out;
    ASSERT_EQ(home.sql("scott/tiger", "select count(*) from t\n", &out), 0);
    EXPECT_EQ(out, "1\n");
}

TEST(Tool, SqlShowsEveryColumnType)
{
    TempHome home;
    std::string out;
    ASSERT_EQ(home.sql("system/manager",
                       "create table t (b blob, f bfile, g sdo_geometry, x xmltype, c clob)\n"
                       "insert into t values (hextoraw('0AFF'), bfilename('D', 'f'), null, '<a/>', 'text')\n"
                       "select * from t\n",
                       &out),
              0)
        << out;
    EXPECT_EQ(out, "0AFF\t<BFILE>\t<SDO_GEOMETRY>\t<a/>\ttext\n");
}

TEST(Tool, SqlLogonFailuresAndPrivileges)
{
    TempHome home;
    std::string out;
    EXPECT_EQ(home.sql("system/wrong", "select 1 from dual\n", &out), 1);
    EXPECT_NE(out.find("ORA-01017"), std::string::npos) << out;
    EXPECT_EQ(home.sql("system/manager", "select 1 from dual\n", &out, "NOSUCH"), 1);
    EXPECT_NE(out.find("ORA-12154"), std::string::npos) << out;
    EXPECT_EQ(home.sql("system/manager as sysdba", "select 1 from dual\n", &out), 0) << out;
    ASSERT_EQ(
        home.sql("system/manager", "create user grace identified by g\nalter user grace password grace\n"),
        0);
    EXPECT_EQ(home.sql("grace/g", "select 1 from dual\n", &out), 0);
    EXPECT_NE(out.find("ORA-28002"), std::string::npos) << out;
}

} // namespace
