// Rows per second of the import run against the development database, and
// the program's own share: the time not spent in the database calls (the
// Oracle access layer and the client library behind them). Times are CPU
// times of the running thread.
//
// Run from the build folder: ROWPOUR_BUILD_DIR=$PWD bench/load/load_bench

#include "../workbook/BenchWorkbook.h"
#include "BenchLoadSetup.h"
#include "DevDbHome.h"

#include "import/ImportRun.h"
#include "import/OracleImportDatabase.h"
#include "oracle/Oracle.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>

#include <chrono>
#include <ctime>
#include <sys/resource.h>

using namespace rowpour;
using rowpour::bench::home;
using rowpour::bench::tenColumnMapping;

namespace
{

// CPU time of this thread: the figures stay meaningful on a busy machine,
// and every call of the run happens on this thread.
struct Clock {
    using duration = std::chrono::nanoseconds;
    using time_point = std::chrono::time_point<Clock, duration>;
    static time_point now()
    {
        timespec ts{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
        return time_point(std::chrono::seconds(ts.tv_sec) + std::chrono::nanoseconds(ts.tv_nsec));
    }
};

// Times every database call of the run.
class TimedDatabase : public IImportDatabase
{
public:
    explicit TimedDatabase(IImportDatabase &inner) : inner_(inner) {}
    void execute(const QString &statement) override
    {
        timed([&] { inner_.execute(statement); });
    }
    int countRecords(const QString &select) override
    {
        const auto start = Clock::now();
        const int count = inner_.countRecords(select);
        spent += Clock::now() - start;
        return count;
    }
    QStringList tableColumns(const QString &table) override
    {
        const auto start = Clock::now();
        QStringList columns = inner_.tableColumns(table);
        spent += Clock::now() - start;
        return columns;
    }
    void setSavepoint() override
    {
        timed([&] { inner_.setSavepoint(); });
    }
    void rollbackToSavepoint() override
    {
        timed([&] { inner_.rollbackToSavepoint(); });
    }
    Clock::duration spent{};

private:
    template <typename Call> void timed(Call call)
    {
        const auto start = Clock::now();
        try {
            call();
        } catch (...) {
            spent += Clock::now() - start;
            throw;
        }
        spent += Clock::now() - start;
    }

    IImportDatabase &inner_;
};

// The run without a window: the workbook is opened once per process.
class QuietSurroundings : public IImportSurroundings
{
public:
    QuietSurroundings(MappingTable mapping, QString table, bool seek)
        : mapping_(std::move(mapping)), table_(std::move(table)), seek_(seek)
    {
    }
    const IMappingCells &mapping() override { return mapping_; }
    QString tableName() override { return table_; }
    bool seekOldRecords() override { return seek_; }
    void showMessage(MessageKind, const QString &, const QString &, MessageIcon) override {}
    void showProgress(const QString &) override {}
    void hideProgress() override {}
    void setProgressRange(int, int) override {}
    void setProgressPosition(int) override {}
    void setProgressLabel(const QString &) override {}
    void processEvents() override {}
    void appendErrorEntry(const QString &, const QString &) override { ++failures; }
    void showErrors() override {}
    std::unique_ptr<IImportSheet> openWorkbook(const QString &fileName) override
    {
        const auto start = Clock::now();
        auto book = OpenImportSheet(fileName, platform::OperatorLocale(QLocale::c()));
        opening = Clock::now() - start;
        return book;
    }
    int failures = 0;
    Clock::duration opening{};

private:
    MappingTable mapping_;
    QString table_;
    bool seek_;
};

const char *const kTableColumns =
    "(ID number, CITY varchar2(40), CLIENT varchar2(60), PRICE number(12,2), D date, QTY number, "
    "STATE varchar2(20), TOTAL number, CREATED varchar2(30), NOTE varchar2(60))";

void loadRows(benchmark::State &state, bool seek)
{
    const int rows = static_cast<int>(state.range(0));
    const QString book = bench::benchWorkbookPath();
    const QString table = QStringLiteral("LOAD%1").arg(seek ? "SEEK" : "PLAIN");
    home().sql("bench/bench", {QStringLiteral("create table %1 %2").arg(table, kTableColumns)});

    oracle::TOracleSession session;
    session.SetLogonUsername(QStringLiteral("bench/bench@BENCH"));
    session.LogOn();
    oracle::TOracleDataSet seekSet;
    seekSet.SetSession(&session);
    double programSeconds = 0;
    double openSeconds = 0;
    double totalSeconds = 0;
    for (auto _ : state) {
        state.PauseTiming();
        {
            OracleImportDatabase cleaner(session, seekSet);
            cleaner.execute(QStringLiteral("delete from %1").arg(table));
        }
        state.ResumeTiming();
        QuietSurroundings surroundings(tenColumnMapping(), table, seek);
        OracleImportDatabase oracle(session, seekSet);
        TimedDatabase database(oracle);
        const auto start = Clock::now();
        const ImportResult result = RunImport({book, QStringLiteral("2"), QString::number(rows + 1), false},
                                              surroundings, database, platform::OperatorLocale(QLocale::c()));
        const std::chrono::duration<double> total = Clock::now() - start;
        if (result.inserted != rows)
            state.SkipWithError("not every row was inserted");
        totalSeconds += total.count();
        programSeconds += total.count() - std::chrono::duration<double>(database.spent).count();
        openSeconds += std::chrono::duration<double>(surroundings.opening).count();
    }
    session.LogOff();
    state.SetItemsProcessed(state.iterations() * rows);
    state.counters["rows_per_s"] = benchmark::Counter(double(state.iterations()) * rows / totalSeconds);
    // Opening reads the shared strings and styles, and the rows are read as
    // the run asks for them; the per-row figure leaves the open out.
    state.counters["open_ms"] = openSeconds * 1e3 / double(state.iterations());
    state.counters["program_us_per_row"] =
        (programSeconds - openSeconds) * 1e6 / (double(state.iterations()) * rows);
    state.counters["program_share_pct"] = 100.0 * programSeconds / totalSeconds;
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    state.counters["peak_rss_MB"] = double(usage.ru_maxrss) / 1024.0;
}

void BM_LoadSeekOff(benchmark::State &state)
{
    loadRows(state, false);
}
void BM_LoadSeekOn(benchmark::State &state)
{
    loadRows(state, true);
}

BENCHMARK(BM_LoadSeekOff)->Arg(99999)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_LoadSeekOn)->Arg(10000)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
