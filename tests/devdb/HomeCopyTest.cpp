// Homes copied from a per-process template, as the database suites get them:
// each copy must be a database of its own, and a copy's client library must
// find its own home even after another copy's library was loaded here.

#include "OciClient.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

using namespace ocitest;
namespace fs = std::filesystem;

namespace
{

std::string aliasFile(const TempHome &home)
{
    std::ifstream in(home.path() + "/network/admin/tnsnames.ora");
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST(HomeCopies, EachCopyIsADatabaseOfItsOwn)
{
    TempHome first;
    TempHome second;
    std::string out;
    ASSERT_EQ(first.sql("system/manager", "create user scott identified by tiger\n", &out), 0) << out;
    EXPECT_EQ(first.sql("scott/tiger", "select 1 from dual\n", &out), 0) << out;
    EXPECT_NE(second.sql("scott/tiger", "select 1 from dual\n", &out), 0)
        << "the account reached another copy";
    TempHome third;
    EXPECT_NE(third.sql("scott/tiger", "select 1 from dual\n", &out), 0) << "the template itself was changed";
    EXPECT_NE(aliasFile(second).find("(FILE = " + second.path() + "/oradata/db.db)"), std::string::npos)
        << aliasFile(second);
}

TEST(HomeCopies, ALibraryLoadedHereIsNotSharedWithLaterCopies)
{
    TempHome first;
    TempHome second;
    std::string out;
    ASSERT_EQ(second.sql("system/manager", "create user only identified by second\n", &out), 0) << out;
    Library own(first.path() + "/lib/libclntsh.so");
    TempHome later;
    EXPECT_FALSE(fs::equivalent(first.path() + "/lib/libclntsh.so", later.path() + "/lib/libclntsh.so"));
    // Loaded by its file name alone, the second copy's library finds its own home.
    const ScopedEnvironment noHome{{"TNS_ADMIN", ""}, {"ORACLE_HOME", ""}};
    Library other(second.path() + "/lib/libclntsh.so");
    Connection conn(other);
    EXPECT_EQ(conn.logOn("only", "second"), OCI_SUCCESS) << conn.error().text;
}

} // namespace
