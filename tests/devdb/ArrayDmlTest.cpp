// Array execution through the C ABI: rows of bound arrays run as statements
// of their own; without batch errors the first failing row ends the call and
// the rows before it stay, with them every row is tried and each failure is
// reported with its row offset and message.

#include "OciClient.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace ocitest;

namespace
{

using Rows = std::vector<std::vector<std::string>>;

// One row of the program's arrays, bound as an array of structures.
struct Row {
    int id;
    char name[12];
    sb2 nameIndicator;
    ub2 nameLength;
};

class ArrayDmlTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_EQ(home.sql("system/manager", "create user scott identified by tiger\n"), 0);
        ASSERT_EQ(home.sql("scott/tiger", "create table t (id number(4) constraint t_pk primary key,"
                                          " name varchar2(5) not null)\n"
                                          "insert into t values (7, 'old')\n"),
                  0);
        ASSERT_EQ(conn.logOn("scott", "tiger"), OCI_SUCCESS) << conn.error().text;
    }
    // Rows with ids and names; a name of nullptr is NULL.
    void fill(std::initializer_list<std::pair<int, const char *>> values)
    {
        rows.clear();
        for (const auto &[id, name] : values) {
            Row r{};
            r.id = id;
            r.nameIndicator = name ? 0 : -1;
            if (name) {
                std::strncpy(r.name, name, sizeof r.name - 1);
                r.nameLength = static_cast<ub2>(std::strlen(name));
            }
            rows.push_back(r);
        }
    }
    void prepareInsert()
    {
        const std::string sql = "insert into t (id, name) values (:id, :name)";
        ASSERT_EQ(conn.lib.OCIStmtPrepare(conn.stmt, conn.err, reinterpret_cast<const OraText *>(sql.data()),
                                          static_cast<ub4>(sql.size()), 1, 0),
                  OCI_SUCCESS);
        void *idBind = nullptr, *nameBind = nullptr;
        ASSERT_EQ(conn.lib.OCIBindByPos(conn.stmt, &idBind, conn.err, 1, &rows[0].id, 4, SQLT_INT, nullptr,
                                        nullptr, nullptr, 0, nullptr, 0),
                  OCI_SUCCESS);
        ASSERT_EQ(conn.lib.OCIBindByPos(conn.stmt, &nameBind, conn.err, 2, rows[0].name, sizeof rows[0].name,
                                        SQLT_CHR, &rows[0].nameIndicator, &rows[0].nameLength, nullptr, 0,
                                        nullptr, 0),
                  OCI_SUCCESS);
        ASSERT_EQ(conn.lib.OCIBindArrayOfStruct(idBind, conn.err, sizeof(Row), 0, 0, 0), OCI_SUCCESS);
        ASSERT_EQ(conn.lib.OCIBindArrayOfStruct(nameBind, conn.err, sizeof(Row), sizeof(Row), sizeof(Row), 0),
                  OCI_SUCCESS);
    }
    sword execute(ub4 iterations, ub4 rowOffset = 0, ub4 mode = 0)
    {
        return conn.lib.OCIStmtExecute(conn.svc, conn.stmt, conn.err, iterations, rowOffset, nullptr, nullptr,
                                       mode);
    }
    template <class T> T attribute(void *handle, ub4 type, ub4 attr)
    {
        T value{};
        conn.lib.OCIAttrGet(handle, type, &value, nullptr, attr, conn.err);
        return value;
    }
    Rows table() { return conn.query("select id, name from t order by id"); }

    TempHome home;
    Connection conn;
    std::vector<Row> rows;
};

TEST_F(ArrayDmlTest, AllRowsInOneExecution)
{
    fill({{1, "a"}, {2, "bb"}, {3, "ccc"}});
    prepareInsert();
    EXPECT_EQ(execute(3), OCI_SUCCESS) << conn.error().text;
    EXPECT_EQ(attribute<ub4>(conn.stmt, HTYPE_STMT, ATTR_ROW_COUNT), 3u);
    EXPECT_EQ(table(), (Rows{{"1", "a"}, {"2", "bb"}, {"3", "ccc"}, {"7", "old"}}));
}

TEST_F(ArrayDmlTest, WithoutBatchErrorsTheFirstFailingRowEndsTheExecution)
{
    fill({{1, "a"}, {2, "b"}, {7, "dup"}, {4, nullptr}, {5, "e"}});
    prepareInsert();
    EXPECT_EQ(execute(5), OCI_ERROR);
    EXPECT_EQ(conn.error().text, "ORA-00001: unique constraint (SCOTT.T_PK) violated\n");
    // The rows before the failing one are done and counted; the failing row's offset is reported.
    EXPECT_EQ(attribute<ub4>(conn.stmt, HTYPE_STMT, ATTR_ROW_COUNT), 2u);
    EXPECT_EQ(attribute<ub4>(conn.err, HTYPE_ERROR, ATTR_DML_ROW_OFFSET), 2u);
    EXPECT_EQ(attribute<ub2>(conn.stmt, HTYPE_STMT, ATTR_PARSE_ERROR_OFFSET), 2u);
    EXPECT_EQ(table(), (Rows{{"1", "a"}, {"2", "b"}, {"7", "old"}}));
    // They belong to the transaction like any other change.
    ASSERT_EQ(conn.lib.OCITransRollback(conn.svc, conn.err, 0), OCI_SUCCESS);
    EXPECT_EQ(table(), (Rows{{"7", "old"}}));
}

TEST_F(ArrayDmlTest, BatchErrorsTryEveryRowAndReportEachFailure)
{
    fill({{1, "a"}, {7, "dup"}, {3, "c"}, {4, nullptr}, {5, "toolong"}, {6, "f"}});
    prepareInsert();
    ASSERT_EQ(execute(6, 0, BATCH_ERRORS), OCI_SUCCESS_WITH_INFO);
    EXPECT_EQ(conn.error().text, "ORA-24381: error(s) in array DML\n");
    EXPECT_EQ(attribute<ub4>(conn.stmt, HTYPE_STMT, ATTR_ROW_COUNT), 3u);
    ub4 failures = attribute<ub4>(conn.stmt, HTYPE_STMT, ATTR_NUM_DML_ERRORS);
    ASSERT_EQ(failures, 3u);
    // Each failure on an error handle of its own: the program's, or one made by the call.
    void *own = nullptr;
    ASSERT_EQ(conn.lib.OCIHandleAlloc(conn.env, &own, HTYPE_ERROR, 0, nullptr), OCI_SUCCESS);
    const std::pair<ub4, std::string> expected[] = {
        {1, "ORA-00001: unique constraint (SCOTT.T_PK) violated\n"},
        {3, "ORA-01400: cannot insert NULL into (\"SCOTT\".\"T\".\"NAME\")\n"},
        {4, "ORA-12899: value too large for column \"SCOTT\".\"T\".\"NAME\" (actual: 7, maximum: 5)\n"},
    };
    for (ub4 i = 0; i < failures; ++i) {
        SCOPED_TRACE(i);
        void *rowError = i == 0 ? nullptr : own;
        ASSERT_EQ(conn.lib.OCIParamGet(conn.err, HTYPE_ERROR, conn.err, &rowError, i), OCI_SUCCESS);
        ASSERT_NE(rowError, nullptr);
        ub4 offset = 99;
        EXPECT_EQ(conn.lib.OCIAttrGet(rowError, HTYPE_ERROR, &offset, nullptr, ATTR_DML_ROW_OFFSET, conn.err),
                  OCI_SUCCESS);
        EXPECT_EQ(offset, expected[i].first);
        char text[512] = {};
        sb4 code = 0;
        EXPECT_EQ(conn.lib.OCIErrorGet(rowError, 1, nullptr, &code, reinterpret_cast<OraText *>(text),
                                       sizeof text, HTYPE_ERROR),
                  OCI_SUCCESS);
        EXPECT_EQ(text, expected[i].second);
    }
    void *beyond = own;
    EXPECT_EQ(conn.lib.OCIParamGet(conn.err, HTYPE_ERROR, conn.err, &beyond, failures), OCI_ERROR);
    EXPECT_EQ(table(), (Rows{{"1", "a"}, {"3", "c"}, {"6", "f"}, {"7", "old"}}));

    // The next execution on the handle starts without failures.
    fill({{8, "h"}});
    prepareInsert();
    EXPECT_EQ(execute(1, 0, BATCH_ERRORS), OCI_SUCCESS);
    EXPECT_EQ(attribute<ub4>(conn.stmt, HTYPE_STMT, ATTR_NUM_DML_ERRORS), 0u);
}

TEST_F(ArrayDmlTest, RowOffsetSkipsTheFirstElements)
{
    // As documented: iterations - rowoff rows run, starting at element rowoff.
    fill({{1, "a"}, {2, "b"}, {3, "c"}, {4, "d"}});
    prepareInsert();
    EXPECT_EQ(execute(4, 2), OCI_SUCCESS) << conn.error().text;
    EXPECT_EQ(attribute<ub4>(conn.stmt, HTYPE_STMT, ATTR_ROW_COUNT), 2u);
    EXPECT_EQ(table(), (Rows{{"3", "c"}, {"4", "d"}, {"7", "old"}}));
}

TEST_F(ArrayDmlTest, ArrayUpdateCountsEveryRowItChanged)
{
    ASSERT_EQ(conn.execute("insert into t values (1, 'x')"), OCI_SUCCESS);
    ASSERT_EQ(conn.execute("insert into t values (2, 'x')"), OCI_SUCCESS);
    const std::string sql = "update t set name = :1 where id >= :2";
    ASSERT_EQ(conn.lib.OCIStmtPrepare(conn.stmt, conn.err, reinterpret_cast<const OraText *>(sql.data()),
                                      static_cast<ub4>(sql.size()), 1, 0),
              OCI_SUCCESS);
    char names[3][4] = {"p", "q", "r"};
    int lows[3] = {1, 2, 100};
    void *b1 = nullptr, *b2 = nullptr;
    ASSERT_EQ(conn.lib.OCIBindByPos(conn.stmt, &b1, conn.err, 1, names, 4, SQLT_STR, nullptr, nullptr,
                                    nullptr, 0, nullptr, 0),
              OCI_SUCCESS);
    ASSERT_EQ(conn.lib.OCIBindByPos(conn.stmt, &b2, conn.err, 2, lows, 4, SQLT_INT, nullptr, nullptr, nullptr,
                                    0, nullptr, 0),
              OCI_SUCCESS);
    EXPECT_EQ(execute(3), OCI_SUCCESS) << conn.error().text;
    // 3 rows, then 2, then none.
    EXPECT_EQ(attribute<ub4>(conn.stmt, HTYPE_STMT, ATTR_ROW_COUNT), 5u);
    EXPECT_EQ(table(), (Rows{{"1", "p"}, {"2", "q"}, {"7", "q"}}));
}

} // namespace
