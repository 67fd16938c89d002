// Cost of one statement through the engine: prepare + execute of an insert
// whose text differs every time (values written in as literals), 10 columns.

#include "devdb/engine/Engine.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace
{

class BenchDatabase
{
public:
    BenchDatabase()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "devdb-bench-XXXXXX").string();
        if (!mkdtemp(pattern.data()))
            std::abort();
        dir_ = pattern;
        devdb::createDatabase(dir_ + "/bench.db", "");
        // The inserts write day.month.year dates, as a client with this NLS_DATE_FORMAT does.
        devdb::ClientNls nls;
        nls.dateFormat = "DD.MM.RR";
        session = devdb::logon(dir_ + "/bench.db", "system", "manager", devdb::Credentials::Rdbms,
                               devdb::Privilege::Normal, nullptr, nls);
    }
    ~BenchDatabase()
    {
        session.reset();
        std::filesystem::remove_all(dir_);
    }
    void run(const std::string &sql) { session->prepare(sql)->execute(); }
    std::unique_ptr<devdb::Session> session;

private:
    std::string dir_;
};

std::string insertText(long i)
{
    std::string n = std::to_string(i);
    return "insert into EMP(ENAME,JOB,HIRED,DEPTNO,SAL,COMM,CITY,CODE,NOTE,ID) values ('Name " + n +
           "','Clerk','12.05.1985','10','" + n + ".25','" + std::to_string(i % 1000) + "','Moscow " + n +
           "','AB','note " + n + "','" + n + "')";
}

void createTable(BenchDatabase &db)
{
    db.run("create table EMP (ENAME varchar2(40), JOB varchar2(20), HIRED date, DEPTNO number(2),"
           " SAL number(12,2), COMM number, CITY varchar2(40), CODE char(2), NOTE varchar2(100),"
           " ID number(10))");
}

void BM_InsertDistinctTexts(benchmark::State &state)
{
    BenchDatabase db;
    createTable(db);
    long i = 0;
    for (auto _ : state) {
        auto cursor = db.session->prepare(insertText(i++));
        cursor->execute();
        if (i % 10000 == 0)
            db.session->commit();
    }
    db.session->commit();
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_InsertDistinctTexts)->Unit(benchmark::kMicrosecond);

// The import's seek: a select with three conditions over a table of 1,000 rows.
void BM_SeekSelect(benchmark::State &state)
{
    BenchDatabase db;
    createTable(db);
    for (long i = 0; i < 1000; ++i)
        db.run(insertText(i));
    db.session->commit();
    long i = 0;
    std::vector<devdb::Value> row;
    for (auto _ : state) {
        std::string n = std::to_string(i++ % 1000);
        auto cursor = db.session->prepare("select * from EMP Where ENAME='Name " + n +
                                          "' and HIRED='12.05.1985' and DEPTNO='10'");
        cursor->execute();
        while (cursor->fetch(row)) {
        }
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_SeekSelect)->Unit(benchmark::kMicrosecond);

} // namespace
