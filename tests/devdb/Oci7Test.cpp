// The OCI7 call set on logon and cursor data areas, and the conversion of an
// OCI8 service context into a logon data area and back.

#include "OciClient.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace ocitest;

namespace
{

const OraText *text(const char *s)
{
    return reinterpret_cast<const OraText *>(s);
}

class Oci7Test : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_EQ(home.sql("system/manager", "create user scott identified by tiger\n"), 0);
        std::string inserts = "create table seq (n number(9), s varchar2(10))\n";
        for (int i = 1; i <= 30; ++i)
            inserts += "insert into seq values (" + std::to_string(i) + ", 'r" + std::to_string(i) + "')\n";
        ASSERT_EQ(home.sql("scott/tiger", inserts), 0);
    }
    std::string message(int code)
    {
        char buf[4001] = {};
        lib.oerhms(&lda, static_cast<sb2>(code), reinterpret_cast<OraText *>(buf), sizeof buf);
        return buf;
    }
    void logOn()
    {
        std::memset(hda, 0, sizeof hda);
        ASSERT_EQ(lib.olog(&lda, hda, text("scott/tiger@DB"), -1, nullptr, -1, nullptr, -1, 0), 0)
            << message(lda.rc);
        ASSERT_EQ(lda.rc, 0);
    }

    TempHome home;
    Library &lib = buildLibrary();
    CdaDef lda{};
    CdaDef cda{};
    ub1 hda[512] = {};
};

TEST_F(Oci7Test, LogonErrorsInTheLogonDataArea)
{
    struct Case {
        const char *logon;
        int code;
    } cases[] = {
        {"scott/lion@DB", 1017},
        {"scott/tiger@NOSUCH", 12154},
        {"nobody/x@DB", 1017},
    };
    for (const auto &c : cases) {
        EXPECT_NE(lib.olog(&lda, hda, text(c.logon), -1, nullptr, -1, nullptr, -1, 0), 0) << c.logon;
        EXPECT_EQ(lda.rc, c.code) << c.logon;
    }
    EXPECT_EQ(message(1017), "ORA-01017: invalid username/password; logon denied\n");
}

TEST_F(Oci7Test, GracePeriodLogonSucceedsWithTheWarningCode)
{
    ASSERT_EQ(
        home.sql("system/manager", "create user grace identified by g\nalter user grace password grace 3\n"),
        0);
    EXPECT_EQ(lib.olog(&lda, hda, text("grace/g@DB"), -1, nullptr, -1, nullptr, -1, 0), 0);
    EXPECT_EQ(lda.rc, 28002);
    EXPECT_EQ(message(28002), "ORA-28002: the password will expire within 3 days\n");
    ASSERT_EQ(lib.oopen(&cda, &lda, nullptr, -1, -1, nullptr, -1), 0);
    EXPECT_EQ(lib.ologof(&lda), 0);
}

TEST_F(Oci7Test, OrlonAndSeparatePassword)
{
    ASSERT_EQ(lib.orlon(&lda, hda, text("scott@DB"), -1, text("tiger"), -1, 0), 0) << lda.rc;
    EXPECT_EQ(lib.ologof(&lda), 0);
    ASSERT_EQ(lib.olog(&lda, hda, text("scott"), 5, text("tiger"), 5, text("DB"), 2, 0), 0) << lda.rc;
    EXPECT_EQ(lib.ologof(&lda), 0);
}

TEST_F(Oci7Test, DescribeDefineAndFetchInBatches)
{
    logOn();
    ASSERT_EQ(lib.oopen(&cda, &lda, nullptr, -1, -1, nullptr, -1), 0);
    ASSERT_EQ(lib.oparse(&cda, text("select n, s from seq order by n"), -1, 1, 2), 0);
    EXPECT_EQ(cda.ft, 4);
    std::vector<std::string> names;
    for (int pos = 1;; ++pos) {
        sb4 dbsize = 0, nameLength = 30, dsize = 0;
        sb2 dbtype = 0, prec = 0, scale = 0, nullok = 0;
        sb1 name[30] = {};
        if (lib.odescr(&cda, pos, &dbsize, &dbtype, name, &nameLength, &dsize, &prec, &scale, &nullok)) {
            EXPECT_EQ(cda.rc, 1007);
            break;
        }
        names.emplace_back(reinterpret_cast<char *>(name), nameLength);
        if (pos == 1) {
            EXPECT_EQ(dbtype, 2);
            EXPECT_EQ(prec, 9);
        } else {
            EXPECT_EQ(dbtype, 1);
            EXPECT_EQ(dbsize, 10);
        }
    }
    EXPECT_EQ(names, (std::vector<std::string>{"N", "S"}));
    int n[25] = {};
    char s[25][11] = {};
    sb2 sInd[25] = {};
    ASSERT_EQ(
        lib.odefin(&cda, 1, reinterpret_cast<ub1 *>(n), 4, 3, -1, nullptr, nullptr, -1, -1, nullptr, nullptr),
        0);
    ASSERT_EQ(
        lib.odefin(&cda, 2, reinterpret_cast<ub1 *>(s), 11, 5, -1, sInd, nullptr, -1, -1, nullptr, nullptr),
        0);
    ASSERT_EQ(lib.oexfet(&cda, 25, 0, 0), 0);
    EXPECT_EQ(cda.rpc, 25u);
    EXPECT_EQ(n[24], 25);
    EXPECT_STREQ(s[24], "r25");
    EXPECT_NE(lib.ofen(&cda, 25), 0);
    EXPECT_EQ(cda.rc, 1403);
    EXPECT_EQ(cda.rpc, 30u);
    EXPECT_EQ(n[4], 30);
    EXPECT_NE(lib.ofen(&cda, 25), 0);
    EXPECT_EQ(cda.rc, 1002);
    EXPECT_EQ(lib.oclose(&cda), 0);
    EXPECT_EQ(lib.ologof(&lda), 0);
}

TEST_F(Oci7Test, DeferredParseErrorArrivesWithTheExecute)
{
    logOn();
    ASSERT_EQ(lib.oopen(&cda, &lda, nullptr, -1, -1, nullptr, -1), 0);
    ASSERT_EQ(lib.oparse(&cda, text("insert into seq values (1,)"), -1, 1, 2), 0);
    EXPECT_EQ(cda.ft, 3);
    EXPECT_NE(lib.oexn(&cda, 1, 0), 0);
    EXPECT_EQ(cda.rc, 936);
    EXPECT_EQ(cda.peo, 26);
    EXPECT_EQ(message(cda.rc), "ORA-00936: missing expression\n");
    // Without the deferral the parse itself fails.
    EXPECT_NE(lib.oparse(&cda, text("select nosuch from seq"), -1, 0, 2), 0);
    EXPECT_EQ(cda.rc, 904);
    lib.ologof(&lda);
}

TEST_F(Oci7Test, LongColumnThroughOflng)
{
    std::string value;
    for (int i = 0; i < 10000; ++i)
        value += static_cast<char>('0' + i % 10);
    ASSERT_EQ(
        home.sql(
            "scott/tiger",
            "create table docs (body long)\ninsert into docs values (devdb_repeat('0123456789', 1000))\n"),
        0);
    logOn();
    ASSERT_EQ(lib.oopen(&cda, &lda, nullptr, -1, -1, nullptr, -1), 0);
    ASSERT_EQ(lib.oparse(&cda, text("select body from docs"), -1, 1, 2), 0);
    std::vector<char> first(2000);
    ub2 length = 0;
    sb2 ind = 0;
    ASSERT_EQ(lib.odefin(&cda, 1, reinterpret_cast<ub1 *>(first.data()), 2000, 8, -1, &ind, nullptr, -1, -1,
                         &length, nullptr),
              0);
    // The first piece is a truncated fetch (a warning: ORA-01406 in rc); oflng reads the rest.
    EXPECT_EQ(lib.oexfet(&cda, 1, 0, 0), 0);
    EXPECT_EQ(cda.rc, 1406);
    EXPECT_EQ(cda.rpc, 1u);
    EXPECT_EQ(length, 2000);
    EXPECT_NE(cda.wrn, 0);
    std::string received(first.data(), 2000);
    for (sb4 offset = 2000;;) {
        std::vector<char> chunk(4000);
        ub4 got = 0;
        ASSERT_EQ(lib.oflng(&cda, 1, reinterpret_cast<ub1 *>(chunk.data()), 4000, 8, &got, offset), 0);
        received.append(chunk.data(), got);
        offset += got;
        if (got < 4000)
            break;
    }
    EXPECT_EQ(received, value);
    lib.ologof(&lda);
}

TEST_F(Oci7Test, CommitRollbackAndLogoffCommits)
{
    logOn();
    Connection observer;
    ASSERT_EQ(observer.logOn("scott", "tiger"), OCI_SUCCESS);
    auto count = [&] { return observer.query("select count(*) from seq")[0][0]; };
    ASSERT_EQ(lib.oopen(&cda, &lda, nullptr, -1, -1, nullptr, -1), 0);
    ASSERT_EQ(lib.oparse(&cda, text("delete from seq where n > 20"), -1, 1, 2), 0);
    ASSERT_EQ(lib.oexec(&cda), 0);
    EXPECT_EQ(cda.rpc, 10u);
    EXPECT_EQ(cda.ft, 9);
    EXPECT_EQ(count(), "30");
    ASSERT_EQ(lib.orol(&lda), 0);
    ASSERT_EQ(lib.oexec(&cda), 0);
    ASSERT_EQ(lib.ocom(&lda), 0);
    EXPECT_EQ(count(), "20");
    ASSERT_EQ(lib.oparse(&cda, text("delete from seq where n > 10"), -1, 1, 2), 0);
    ASSERT_EQ(lib.oexec(&cda), 0);
    ASSERT_EQ(lib.oclose(&cda), 0);
    ASSERT_EQ(lib.ologof(&lda), 0);
    EXPECT_EQ(count(), "10");
    EXPECT_NE(lib.ocom(&lda), 0);
    EXPECT_EQ(lda.rc, 1012);
}

TEST_F(Oci7Test, AutoCommitWithOcon)
{
    logOn();
    Connection observer;
    ASSERT_EQ(observer.logOn("scott", "tiger"), OCI_SUCCESS);
    ASSERT_EQ(lib.ocon(&lda), 0);
    ASSERT_EQ(lib.oopen(&cda, &lda, nullptr, -1, -1, nullptr, -1), 0);
    ASSERT_EQ(lib.oparse(&cda, text("delete from seq"), -1, 1, 2), 0);
    ASSERT_EQ(lib.oexec(&cda), 0);
    EXPECT_EQ(observer.query("select count(*) from seq")[0][0], "0");
    lib.ologof(&lda);
}

TEST_F(Oci7Test, ServiceContextConvertedToLogonDataAreaAndBack)
{
    Connection conn;
    ASSERT_EQ(conn.logOn("scott", "tiger"), OCI_SUCCESS);
    ASSERT_EQ(lib.OCISvcCtxToLda(conn.svc, conn.err, &lda), OCI_SUCCESS);
    ASSERT_EQ(lib.oopen(&cda, &lda, nullptr, -1, -1, nullptr, -1), 0);
    ASSERT_EQ(lib.oparse(&cda, text("insert into seq values (99, 'x')"), -1, 1, 2), 0);
    ASSERT_EQ(lib.oexn(&cda, 1, 0), 0);
    EXPECT_EQ(cda.rpc, 1u);
    ASSERT_EQ(lib.oclose(&cda), 0);
    void *svc = nullptr;
    ASSERT_EQ(lib.OCILdaToSvcCtx(&svc, conn.err, &lda), OCI_SUCCESS);
    EXPECT_EQ(svc, conn.svc);
    EXPECT_EQ(conn.query("select count(*) from seq where n = 99")[0][0], "1");
    ASSERT_EQ(conn.logOff(), OCI_SUCCESS);
    Connection observer;
    ASSERT_EQ(observer.logOn("scott", "tiger"), OCI_SUCCESS);
    EXPECT_EQ(observer.query("select count(*) from seq where n = 99")[0][0], "1");
}

TEST_F(Oci7Test, UnopenedCursor)
{
    logOn();
    EXPECT_NE(lib.oparse(&cda, text("select 1 from dual"), -1, 1, 2), 0);
    EXPECT_EQ(cda.rc, 1001);
    lib.ologof(&lda);
}

} // namespace
