// Rows per second of the import run against the development database, one
// statement per row against the array insert (1,000 rows per execution),
// with no cost and with a LAN server's simulated cost (300 us per round
// trip, 100 us per hard parse), seek off (100,000 rows) and seek on (10,000
// rows into a table with a primary key). The session's counters give the
// round trips per row and the hard parses per run. Times are wall-clock: the
// simulated costs are waits.
//
// Run from the build folder: ROWPOUR_BUILD_DIR=$PWD bench/array_insert/array_insert_bench
// (the statement-per-row path under the LAN cost runs 10,000 rows, its rate
// is the same on more rows: every row pays the same two waits).

#include "../workbook/BenchWorkbook.h"
#include "../load/BenchLoadSetup.h"
#include "DevDbHome.h"

#include "import/ImportRun.h"
#include "import/OracleImportDatabase.h"
#include "oracle/Oracle.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QFile>
#include <QHash>
#include <QTemporaryDir>

#include <chrono>

using namespace rowpour;
using rowpour::bench::home;
using rowpour::bench::tenColumnMapping;

namespace
{

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
        return OpenImportSheet(fileName, platform::OperatorLocale(QLocale::c()));
    }
    int failures = 0;

private:
    MappingTable mapping_;
    QString table_;
    bool seek_;
};

const char *const kTableColumns =
    "(ID number constraint %1_PK primary key, CITY varchar2(40), CLIENT varchar2(60), PRICE number(12,2), D "
    "date, "
    "QTY number, STATE varchar2(20), TOTAL number, CREATED varchar2(30), NOTE varchar2(60))";

QString statsFile()
{
    static QTemporaryDir dir;
    return dir.filePath(QStringLiteral("stats.txt"));
}

// The counters of the last session that ended.
QHash<QString, double> lastSessionCounters()
{
    QFile file(statsFile());
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QList<QByteArray> lines = file.readAll().trimmed().split('\n');
    QHash<QString, double> counters;
    for (const QByteArray &pair : lines.back().split(' '))
        counters.insert(QString::fromUtf8(pair.split('=').value(0)), pair.split('=').value(1).toDouble());
    return counters;
}

// Arguments: array rows (0: a statement per row), seek, LAN cost, rows.
void BM_Load(benchmark::State &state)
{
    const int arrayRows = int(state.range(0));
    const bool seek = state.range(1) != 0;
    const bool lan = state.range(2) != 0;
    const int rows = int(state.range(3));
    const QString book = bench::benchWorkbookPath();
    static int tables = 0;
    const QString table = QStringLiteral("LOAD%1").arg(++tables);
    home().sql(
        "bench/bench",
        {QStringLiteral("create table %1 %2").arg(table, QString::fromLatin1(kTableColumns).arg(table))});

    qputenv("DEVDB_STATS_FILE", statsFile().toUtf8());
    qputenv("DEVDB_ROUND_TRIP_US", lan ? "300" : "0");
    qputenv("DEVDB_HARD_PARSE_US", lan ? "100" : "0");
    double seconds = 0;
    for (auto _ : state) {
        oracle::TOracleSession session;
        session.SetLogonUsername(QStringLiteral("bench/bench@BENCH"));
        session.LogOn();
        {
            oracle::TOracleDataSet seekSet;
            seekSet.SetSession(&session);
            OracleImportDatabase database(session, seekSet);
            QuietSurroundings surroundings(tenColumnMapping(), table, seek);
            ImportOptions options{book, QStringLiteral("2"), QString::number(rows + 1), false};
            options.arrayRows = arrayRows;
            const auto start = std::chrono::steady_clock::now();
            const ImportResult result =
                RunImport(options, surroundings, database, platform::OperatorLocale(QLocale::c()));
            seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            if (result.inserted != rows)
                state.SkipWithError("not every row was inserted");
        }
        session.Rollback();
        session.LogOff();
    }
    const QHash<QString, double> counters = lastSessionCounters();
    state.counters["rows_per_s"] = benchmark::Counter(double(state.iterations()) * rows / seconds);
    state.counters["round_trips_per_row"] = counters.value("round_trips") / rows;
    state.counters["hard_parses_per_run"] = counters.value("hard_parses");
    qunsetenv("DEVDB_STATS_FILE");
    qunsetenv("DEVDB_ROUND_TRIP_US");
    qunsetenv("DEVDB_HARD_PARSE_US");
}

// Seek off: 100,000 rows (10,000 for the statement-per-row path under the LAN cost).
BENCHMARK(BM_Load)
    ->ArgNames({"array", "seek", "lan", "rows"})
    ->Args({0, 0, 0, 99999})
    ->Args({1000, 0, 0, 99999})
    ->Args({0, 0, 1, 10000})
    ->Args({1000, 0, 1, 99999})
    ->Args({0, 1, 0, 10000})
    ->Args({1000, 1, 0, 10000})
    ->Args({0, 1, 1, 10000})
    ->Args({1000, 1, 1, 10000})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
