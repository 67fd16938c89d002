// Single-row inserts of distinct text through OCIStmtPrepare + OCIStmtExecute,
// the way the import sends its rows.

#include "devdb/oci/OciAbi.h"

#include <benchmark/benchmark.h>
#include <dlfcn.h>
#include <stdlib.h>

#include <cstdlib>

#include <cstdio>
#include <filesystem>
#include <stdexcept>
#include <string>

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
        c.envCreate(&c.env, OCI_DEFAULT, nullptr, nullptr, nullptr, nullptr, 0, nullptr);
        c.handleAlloc(c.env, reinterpret_cast<void **>(&c.err), OCI_HTYPE_ERROR, 0, nullptr);
        auto text = [](const char *s) { return reinterpret_cast<const OraText *>(s); };
        c.check(c.logon(c.env, c.err, &c.svc, text("bench"), 5, text("bench"), 5, text("BENCH"), 5));
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

} // namespace
