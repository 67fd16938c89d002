// Peak memory and time of the two commands that read a whole workbook,
// `rowpour-batch cells` and `rowpour-batch load --no-seek`, each run as a
// process of its own, on generated xlsx workbooks of 100,000 and 1,000,000
// rows x 10 columns. The peak is the child's maximum resident set; for load
// it includes the development database, which runs inside the process.
//
// Run from the build folder: ROWPOUR_BUILD_DIR=$PWD bench/load/batch_peak
// (the 1,000,000-row workbook is written on first use, which takes a while).
//
// Linux counts the memory of the process that starts a child into the
// child's peak, so the workbooks are written by a child of their own and this
// process stays small.

#include "../workbook/BenchWorkbook.h"
#include "DevDbHome.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QFile>

#include <chrono>
#include <fcntl.h>
#include <spawn.h>
#include <stdexcept>
#include <sys/resource.h>
#include <sys/wait.h>
#include <vector>

extern char **environ;

using namespace rowpour;

namespace
{

struct ChildRun {
    int exitCode = -1;
    double seconds = 0;
    double peakMb = 0;
};

// Runs a program with its standard output thrown away and extra environment
// entries, and measures it.
ChildRun runMeasured(const QString &program, const QStringList &args, const QStringList &environment)
{
    std::vector<QByteArray> storage;
    storage.push_back(QFile::encodeName(program));
    for (const QString &a : args)
        storage.push_back(a.toUtf8());
    std::vector<char *> argv;
    for (QByteArray &a : storage)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<QByteArray> envStorage;
    for (char **e = environ; *e != nullptr; ++e)
        envStorage.emplace_back(*e);
    for (const QString &e : environment)
        envStorage.push_back(e.toUtf8());
    std::vector<char *> envp;
    for (QByteArray &e : envStorage)
        envp.push_back(e.data());
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        throw std::runtime_error("cannot start " + storage[0].toStdString());
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    ChildRun run;
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.peakMb = double(usage.ru_maxrss) / 1024.0;
    return run;
}

QString batch()
{
    return testing::buildDir() + QStringLiteral("/cli/rowpour-batch");
}

// The workbook of `rows` rows, written by a child process on first use.
QString workbook(int rows)
{
    const ChildRun writer = runMeasured(QCoreApplication::applicationFilePath(),
                                        {QStringLiteral("--write-workbook"), QString::number(rows)}, {});
    if (writer.exitCode != 0)
        throw std::runtime_error("cannot write the workbook");
    return QCoreApplication::applicationDirPath() + QStringLiteral("/bench-%1x10.xlsx").arg(rows);
}

void report(benchmark::State &state, const ChildRun &run, int rows)
{
    if (run.exitCode != 0)
        state.SkipWithError("the command failed");
    state.SetIterationTime(run.seconds);
    state.counters["peak_rss_MB"] = run.peakMb;
    state.counters["rows_per_s"] = double(rows) / run.seconds;
}

void BM_CellsCommand(benchmark::State &state)
{
    const int rows = int(state.range(0));
    const QString book = workbook(rows);
    for (auto _ : state)
        report(state,
               runMeasured(batch(), {QStringLiteral("cells"), book}, {QStringLiteral("LC_ALL=C.UTF-8")}),
               rows);
}

testing::DevDbHome &home()
{
    static testing::DevDbHome *h = [] {
        auto *created = new testing::DevDbHome(QStringLiteral("BENCH"));
        created->createUser(QStringLiteral("bench"), QStringLiteral("bench"));
        return created;
    }();
    return *h;
}

void BM_LoadCommand(benchmark::State &state)
{
    const int rows = int(state.range(0));
    const QString book = workbook(rows);
    const QString table = QStringLiteral("PEAK%1").arg(rows);
    home().sql(QStringLiteral("bench/bench"),
               {QStringLiteral("create table %1 (ID number, CITY varchar2(40), CLIENT varchar2(60), PRICE "
                               "number(12,2), D date, QTY number, STATE varchar2(20), TOTAL number, CREATED "
                               "varchar2(30), NOTE varchar2(60))")
                    .arg(table)});
    const QString mapping = home().path() + QStringLiteral("/peak.ini");
    QFile ini(mapping);
    if (!ini.open(QIODevice::WriteOnly))
        throw std::runtime_error("cannot write the mapping");
    ini.write("[Rows]\r\n");
    const char *names[] = {"ID", "CITY", "CLIENT", "PRICE", "D", "QTY", "STATE", "TOTAL", "CREATED", "NOTE"};
    for (int c = 0; c < 10; ++c)
        ini.write(QStringLiteral("Row%1=%2,,1,%1,,\r\n").arg(c + 1).arg(QLatin1String(names[c])).toUtf8());
    ini.close();
    QStringList environment = home().environment();
    environment << QStringLiteral("LC_ALL=C.UTF-8");
    for (auto _ : state) {
        home().sql(QStringLiteral("bench/bench"), {QStringLiteral("delete from %1").arg(table)});
        report(state,
               runMeasured(batch(),
                           {QStringLiteral("load"), QStringLiteral("--userid"),
                            QStringLiteral("bench/bench@BENCH"), QStringLiteral("--table"), table,
                            QStringLiteral("--file"), book, QStringLiteral("--mapping"), mapping,
                            QStringLiteral("--start"), QStringLiteral("2"), QStringLiteral("--end"),
                            QString::number(rows), QStringLiteral("--no-seek")},
                           environment),
               rows - 1);
    }
}

BENCHMARK(BM_CellsCommand)
    ->Arg(100000)
    ->Arg(1000000)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadCommand)
    ->Arg(100000)
    ->Arg(1000000)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc == 3 && QByteArray(argv[1]) == "--write-workbook") {
        bench::benchWorkbookPath(QByteArray(argv[2]).toInt());
        return 0;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
