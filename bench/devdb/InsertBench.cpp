// Inserts through the C ABI: single rows of distinct text through
// OCIStmtPrepare + OCIStmtExecute, the way the import sends its rows, and
// batches of rows bound as text arrays to one prepared insert; both also on
// sessions that pay a LAN server's simulated round trip and hard parse.

#include "devdb/oci/OciAbi.h"

#include <benchmark/benchmark.h>
#include <dlfcn.h>
#include <stdlib.h>

#include <cstdlib>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

using namespace devdb::oci;

namespace
{

struct Client {
    void *lib = nullptr;
    sword (*envCreate)(OCIEnv **, ub4, void *, void *, void *, void *, size_t, void **);
    sword (*handleAlloc)(const void *, void **, ub4, size_t, void **);
    sword (*handleFree)(void *, ub4);
    sword (*logon)(OCIEnv *, OCIError *, OCISvcCtx **, const OraText *, ub4, const OraText *, ub4,
                   const OraText *, ub4);
    sword (*logoff)(OCISvcCtx *, OCIError *);
    sword (*attrSet)(void *, ub4, void *, ub4, ub4, OCIError *);
    sword (*attrGet)(const void *, ub4, void *, ub4 *, ub4, OCIError *);
    sword (*prepare)(OCIStmt *, OCIError *, const OraText *, ub4, ub4, ub4);
    sword (*execute)(OCISvcCtx *, OCIStmt *, OCIError *, ub4, ub4, const OCISnapshot *, OCISnapshot *, ub4);
    sword (*errorGet)(void *, ub4, OraText *, sb4 *, OraText *, ub4, ub4);
    sword (*commit)(OCISvcCtx *, OCIError *, ub4);
    sword (*bindByPos)(OCIStmt *, void **, OCIError *, ub4, void *, sb4, ub2, void *, ub2 *, ub2 *, ub4,
                       ub4 *, ub4);

    OCIEnv *env = nullptr;
    OCIError *err = nullptr;
    OCISvcCtx *svc = nullptr;

    template <class F> void bind(F &f, const char *name)
    {
        f = reinterpret_cast<F>(dlsym(lib, name));
        if (!f)
            throw std::runtime_error(name);
    }

    void check(sword rc)
    {
        if (rc == OCI_SUCCESS)
            return;
        char text[1024] = {};
        sb4 code = 0;
        errorGet(err, 1, nullptr, &code, reinterpret_cast<OraText *>(text), sizeof text, OCI_HTYPE_ERROR);
        throw std::runtime_error(text);
    }

    OCISvcCtx *logOn()
    {
        auto text = [](const char *s) { return reinterpret_cast<const OraText *>(s); };
        OCISvcCtx *session = nullptr;
        check(logon(env, err, &session, text("bench"), 5, text("bench"), 5, text("BENCH"), 5));
        return session;
    }

    void run(const std::string &sql, OCIStmt *stmt)
    {
        check(prepare(stmt, err, reinterpret_cast<const OraText *>(sql.data()), static_cast<ub4>(sql.size()),
                      OCI_NTV_SYNTAX, OCI_DEFAULT));
        check(execute(svc, stmt, err, 1, 0, nullptr, nullptr, OCI_DEFAULT));
    }
};

// A fresh home with one database and a table of ten columns.
Client &client()
{
    static Client c = [] {
        char dir[] = "/tmp/devdb-bench-XXXXXX";
        if (!mkdtemp(dir))
            throw std::runtime_error("mkdtemp");
        std::string home = dir, tool = std::string(DEVDB_BUILD_HOME) + "/bin/rowpour-devdb";
        std::string setup = tool + " home " + home + " && " + tool + " database " + home +
                            " BENCH && echo "
                            "'create user bench identified by bench' | " +
                            tool + " sql " + home + " BENCH system/manager > /dev/null";
        if (std::system(setup.c_str()) != 0)
            throw std::runtime_error("cannot set up " + home);
        setenv("TNS_ADMIN", (home + "/network/admin").c_str(), 1);
        // The inserts write day.month.year dates, which a client says as it would to Oracle.
        setenv("NLS_LANG", "AMERICAN_AMERICA.AL32UTF8", 1);
        setenv("NLS_DATE_FORMAT", "DD.MM.RR", 1);
        static std::string removeAtExit = home;
        std::atexit([] { std::filesystem::remove_all(removeAtExit); });
        Client c;
        c.lib = dlopen((home + "/lib/libclntsh.so").c_str(), RTLD_NOW);
        if (!c.lib)
            throw std::runtime_error(dlerror());
        c.bind(c.envCreate, "OCIEnvCreate");
        c.bind(c.handleAlloc, "OCIHandleAlloc");
        c.bind(c.handleFree, "OCIHandleFree");
        c.bind(c.logon, "OCILogon");
        c.bind(c.logoff, "OCILogoff");
        c.bind(c.attrSet, "OCIAttrSet");
        c.bind(c.attrGet, "OCIAttrGet");
        c.bind(c.prepare, "OCIStmtPrepare");
        c.bind(c.execute, "OCIStmtExecute");
        c.bind(c.errorGet, "OCIErrorGet");
        c.bind(c.commit, "OCITransCommit");
        c.bind(c.bindByPos, "OCIBindByPos");
        c.envCreate(&c.env, OCI_DEFAULT, nullptr, nullptr, nullptr, nullptr, 0, nullptr);
        c.handleAlloc(c.env, reinterpret_cast<void **>(&c.err), OCI_HTYPE_ERROR, 0, nullptr);
        c.svc = c.logOn();
        OCIStmt *stmt = nullptr;
        c.handleAlloc(c.env, reinterpret_cast<void **>(&stmt), OCI_HTYPE_STMT, 0, nullptr);
        c.run("create table t (id number(10) primary key, name varchar2(40), city varchar2(40), amount "
              "number(12,2),"
              " born date, code char(4), note varchar2(100), qty number(6), flag varchar2(1), ref "
              "varchar2(20))",
              stmt);
        c.handleFree(stmt, OCI_HTYPE_STMT);
        return c;
    }();
    return c;
}

std::string insertText(long id)
{
    char sql[400];
    std::snprintf(
        sql, sizeof sql,
        "insert into t (id, name, city, amount, born, code, note, qty, flag, ref) values (%ld,"
        " 'Name %ld', 'City %ld', %ld.25, '%02ld.%02ld.1985', 'C%03ld', 'Note number %ld of the run',"
        " %ld, 'Y', 'REF-%ld')",
        id, id, id % 977, id % 100000, id % 28 + 1, id % 12 + 1, id % 1000, id, id % 1000, id);
    return sql;
}

long nextId = 0;

// One statement handle, a new text per row.
void BM_InsertPrepareExecute(benchmark::State &state)
{
    Client &c = client();
    OCIStmt *stmt = nullptr;
    c.handleAlloc(c.env, reinterpret_cast<void **>(&stmt), OCI_HTYPE_STMT, 0, nullptr);
    for (auto _ : state)
        c.run(insertText(++nextId), stmt);
    c.check(c.commit(c.svc, c.err, 0));
    c.handleFree(stmt, OCI_HTYPE_STMT);
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_InsertPrepareExecute)->MinTime(2.0)->UseRealTime();

// As the program's statement object does it: a fresh handle per new text,
// prefetch switched off, the statement type and function code read back.
void BM_InsertWithHandlePerStatement(benchmark::State &state)
{
    Client &c = client();
    for (auto _ : state) {
        OCIStmt *stmt = nullptr;
        c.handleAlloc(c.env, reinterpret_cast<void **>(&stmt), OCI_HTYPE_STMT, 0, nullptr);
        ub4 zero = 0;
        c.attrSet(stmt, OCI_HTYPE_STMT, &zero, sizeof zero, OCI_ATTR_PREFETCH_ROWS, c.err);
        c.attrSet(stmt, OCI_HTYPE_STMT, &zero, sizeof zero, OCI_ATTR_PREFETCH_MEMORY, c.err);
        std::string sql = insertText(++nextId);
        c.check(c.prepare(stmt, c.err, reinterpret_cast<const OraText *>(sql.data()),
                          static_cast<ub4>(sql.size()), OCI_NTV_SYNTAX, OCI_DEFAULT));
        ub2 type = 0, code = 0;
        c.attrGet(stmt, OCI_HTYPE_STMT, &type, nullptr, OCI_ATTR_STMT_TYPE, c.err);
        c.check(c.execute(c.svc, stmt, c.err, 1, 0, nullptr, nullptr, OCI_DEFAULT));
        c.attrGet(stmt, OCI_HTYPE_STMT, &code, nullptr, OCI_ATTR_SQLFNCODE, c.err);
        c.handleFree(stmt, OCI_HTYPE_STMT);
    }
    c.check(c.commit(c.svc, c.err, 0));
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_InsertWithHandlePerStatement)->MinTime(2.0)->UseRealTime();

// The ten columns of a batch of rows as text arrays, the way a program binds
// cell texts for the server to convert.
struct TextBatch {
    static constexpr int kColumns = 10;
    static constexpr sb4 kWidth = 48;
    explicit TextBatch(int rows)
        : texts(kColumns, std::vector<char>(std::size_t(rows) * kWidth)),
          lengths(kColumns, std::vector<ub2>(std::size_t(rows)))
    {
    }
    void fill(int row, long id)
    {
        char values[kColumns][kWidth];
        std::snprintf(values[0], kWidth, "%ld", id);
        std::snprintf(values[1], kWidth, "Name %ld", id);
        std::snprintf(values[2], kWidth, "City %ld", id % 977);
        std::snprintf(values[3], kWidth, "%ld.25", id % 100000);
        std::snprintf(values[4], kWidth, "%02ld.%02ld.1985", id % 28 + 1, id % 12 + 1);
        std::snprintf(values[5], kWidth, "C%03ld", id % 1000);
        std::snprintf(values[6], kWidth, "Note number %ld of the run", id);
        std::snprintf(values[7], kWidth, "%ld", id % 1000);
        std::snprintf(values[8], kWidth, "Y");
        std::snprintf(values[9], kWidth, "REF-%ld", id);
        for (int c = 0; c < kColumns; ++c) {
            std::size_t n = std::strlen(values[c]);
            std::memcpy(&texts[c][std::size_t(row) * kWidth], values[c], n);
            lengths[c][std::size_t(row)] = static_cast<ub2>(n);
        }
    }
    std::vector<std::vector<char>> texts;
    std::vector<std::vector<ub2>> lengths;
};

// One prepared insert, rows sent in batches (state.range(0) rows per execution).
void insertBatches(benchmark::State &state, OCISvcCtx *svc)
{
    Client &c = client();
    const int rows = static_cast<int>(state.range(0));
    TextBatch batch(rows);
    OCIStmt *stmt = nullptr;
    c.handleAlloc(c.env, reinterpret_cast<void **>(&stmt), OCI_HTYPE_STMT, 0, nullptr);
    const std::string sql = "insert into t (id, name, city, amount, born, code, note, qty, flag, ref)"
                            " values (:1, :2, :3, :4, :5, :6, :7, :8, :9, :10)";
    c.check(c.prepare(stmt, c.err, reinterpret_cast<const OraText *>(sql.data()),
                      static_cast<ub4>(sql.size()), OCI_NTV_SYNTAX, OCI_DEFAULT));
    for (int col = 0; col < TextBatch::kColumns; ++col) {
        void *bind = nullptr;
        c.check(c.bindByPos(stmt, &bind, c.err, static_cast<ub4>(col + 1), batch.texts[col].data(),
                            TextBatch::kWidth, SQLT_CHR, nullptr, batch.lengths[col].data(), nullptr, 0,
                            nullptr, OCI_DEFAULT));
    }
    for (auto _ : state) {
        for (int r = 0; r < rows; ++r)
            batch.fill(r, ++nextId);
        c.check(c.execute(svc, stmt, c.err, static_cast<ub4>(rows), 0, nullptr, nullptr, OCI_DEFAULT));
    }
    c.check(c.commit(svc, c.err, 0));
    c.handleFree(stmt, OCI_HTYPE_STMT);
    state.SetItemsProcessed(state.iterations() * rows);
}

void BM_InsertTextArrays(benchmark::State &state)
{
    insertBatches(state, client().svc);
}
BENCHMARK(BM_InsertTextArrays)->Arg(1000)->MinTime(2.0)->UseRealTime();

// A session of its own that pays a LAN server's costs: 300 us per round trip, 100 us per hard parse.
OCISvcCtx *lanSession()
{
    static OCISvcCtx *svc = [] {
        Client &c = client();
        setenv("DEVDB_ROUND_TRIP_US", "300", 1);
        setenv("DEVDB_HARD_PARSE_US", "100", 1);
        OCISvcCtx *session = c.logOn();
        unsetenv("DEVDB_ROUND_TRIP_US");
        unsetenv("DEVDB_HARD_PARSE_US");
        return session;
    }();
    return svc;
}

void BM_InsertPrepareExecuteLan(benchmark::State &state)
{
    Client &c = client();
    OCISvcCtx *svc = lanSession();
    OCIStmt *stmt = nullptr;
    c.handleAlloc(c.env, reinterpret_cast<void **>(&stmt), OCI_HTYPE_STMT, 0, nullptr);
    for (auto _ : state) {
        std::string sql = insertText(++nextId);
        c.check(c.prepare(stmt, c.err, reinterpret_cast<const OraText *>(sql.data()),
                          static_cast<ub4>(sql.size()), OCI_NTV_SYNTAX, OCI_DEFAULT));
        c.check(c.execute(svc, stmt, c.err, 1, 0, nullptr, nullptr, OCI_DEFAULT));
    }
    c.check(c.commit(svc, c.err, 0));
    c.handleFree(stmt, OCI_HTYPE_STMT);
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_InsertPrepareExecuteLan)->MinTime(2.0)->UseRealTime();

void BM_InsertTextArraysLan(benchmark::State &state)
{
    insertBatches(state, lanSession());
}
BENCHMARK(BM_InsertTextArraysLan)->Arg(1000)->MinTime(2.0)->UseRealTime();

} // namespace
