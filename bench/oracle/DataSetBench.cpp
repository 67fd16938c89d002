// A select of 100,000 rows x 10 mixed columns: through TOracleDataSet from the
// development database (OCI8 and OCI7 call modes), and through a plain SQLite
// program reading the same rows from the same database file. The ratio of the
// rows per second is the figure of interest.

#include "devdb/engine/Engine.h"
#include "oracle/OracleData.h"

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <QProcess>
#include <QTemporaryDir>

#include <cstdlib>
#include <iostream>
#include <memory>
#include <string>

namespace
{

using namespace rowpour::oracle;

constexpr int Rows = 100000;

// A development Oracle home with database BENCH, user scott and table EMP.
class BenchDatabase
{
public:
    BenchDatabase()
    {
        if (!dir_.isValid())
            fail("no temporary directory");
        home_ = dir_.filePath(QStringLiteral("home"));
        tool({QStringLiteral("home"), home_});
        tool({QStringLiteral("database"), home_, QStringLiteral("BENCH")});
        file_ = (home_ + QStringLiteral("/oradata/bench.db")).toStdString();
        fill();
        setenv("ORACLE_HOME", home_.toLocal8Bit().constData(), 1);
        unsetenv("TNS_ADMIN");
        setenv("XDG_CONFIG_HOME", dir_.filePath(QStringLiteral("config")).toLocal8Bit().constData(), 1);
    }

    const std::string &file() const { return file_; }

private:
    [[noreturn]] static void fail(const std::string &what)
    {
        std::cerr << "benchmark set-up failed: " << what << "\n";
        std::exit(1);
    }

    void tool(const QStringList &args)
    {
        QProcess p;
        p.start(QStringLiteral(ROWPOUR_DEVDB_TOOL), args);
        if (!p.waitForFinished(60000) || p.exitCode() != 0)
            fail("rowpour-devdb " + args.join(' ').toStdString() + ": " +
                 p.readAllStandardError().toStdString());
    }

    void fill()
    {
        auto system = devdb::logon(file_, "SYSTEM", "MANAGER", devdb::Credentials::Rdbms,
                                   devdb::Privilege::Normal, nullptr);
        system->prepare("create user scott identified by tiger")->execute();
        system->end();
        auto scott = devdb::logon(file_, "SCOTT", "TIGER", devdb::Credentials::Rdbms,
                                  devdb::Privilege::Normal, nullptr);
        scott
            ->prepare("create table EMP (ENAME varchar2(40), JOB varchar2(20), HIRED date, DEPTNO number(2),"
                      " SAL number(12,2), COMM number, CITY varchar2(40), CODE char(2), NOTE varchar2(100),"
                      " ID number(10))")
            ->execute();
        for (int i = 0; i < Rows; ++i) {
            const std::string n = std::to_string(i);
            scott
                ->prepare("insert into EMP values ('Name " + n +
                          "','Clerk',to_date('12.05.1985','DD.MM.YYYY'),10," + n + ".25," +
                          std::to_string(i % 1000) + ",'Moscow " + n + "','AB','note " + n + "'," + n + ")")
                ->execute();
        }
        scott->commit();
        scott->end();
    }

    QTemporaryDir dir_;
    QString home_;
    std::string file_;
};

BenchDatabase &database()
{
    static BenchDatabase db;
    return db;
}

void BM_DataSetSelect(benchmark::State &state)
{
    database();
    TOracleSession session;
    session.Preferences().SetUseOCI7(state.range(0) != 0);
    session.SetLogonUsername(QStringLiteral("scott/tiger@BENCH"));
    session.LogOn();
    TOracleDataSet ods;
    ods.SetSession(&session);
    for (auto _ : state) {
        if (ods.Active())
            ods.Close();
        ods.SQL().clear();
        ods.SQL().append(QStringLiteral("select * from EMP"));
        ods.Open();
        if (ods.RecordCount() != Rows)
            state.SkipWithError("wrong record count");
        ods.Close();
    }
    state.SetItemsProcessed(state.iterations() * Rows);
    session.LogOff();
}
BENCHMARK(BM_DataSetSelect)->ArgName("OCI7")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// The same rows read straight from the SQLite file, each column in its own form.
void BM_SqliteSelect(benchmark::State &state)
{
    sqlite3 *db = nullptr;
    if (sqlite3_open_v2(database().file().c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        state.SkipWithError("cannot open the database file");
        return;
    }
    sqlite3_stmt *find = nullptr;
    sqlite3_prepare_v2(db, "select table_id from devdb_tables where table_name = 'EMP'", -1, &find, nullptr);
    const std::string table =
        sqlite3_step(find) == SQLITE_ROW ? std::to_string(sqlite3_column_int64(find, 0)) : "";
    sqlite3_finalize(find);
    const std::string select = "select c1, c2, c3, c4, c5, c6, c7, c8, c9, c10 from devdb_t" + table;
    long long checksum = 0;
    for (auto _ : state) {
        sqlite3_stmt *stmt = nullptr;
        sqlite3_prepare_v2(db, select.c_str(), -1, &stmt, nullptr);
        int rows = 0;
        while (sqlite3_step(stmt) == SQLITE_ROW) {
            for (int c = 0; c < 10; ++c) {
                switch (sqlite3_column_type(stmt, c)) {
                case SQLITE_INTEGER:
                    checksum += sqlite3_column_int64(stmt, c);
                    break;
                case SQLITE_FLOAT:
                    checksum += static_cast<long long>(sqlite3_column_double(stmt, c));
                    break;
                default:
                    checksum += sqlite3_column_bytes(stmt, c);
                    benchmark::DoNotOptimize(sqlite3_column_text(stmt, c));
                }
            }
            ++rows;
        }
        sqlite3_finalize(stmt);
        if (rows != Rows)
            state.SkipWithError("wrong row count");
    }
    benchmark::DoNotOptimize(checksum);
    state.SetItemsProcessed(state.iterations() * Rows);
    sqlite3_close(db);
}
BENCHMARK(BM_SqliteSelect)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
