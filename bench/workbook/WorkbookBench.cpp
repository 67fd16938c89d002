// Open + read every cell as text. The import reads the rows the operator
// names, in order; the cells command first finds the used range, which is a
// pass of its own.

#include "BenchWorkbook.h"

#include "import/workbook/Workbook.h"

#include <QCoreApplication>
#include <QLocale>

#include <benchmark/benchmark.h>

namespace
{

using namespace rowpour;

void readAll(benchmark::State &state, const QLocale &qlocale, bool findUsedRange)
{
    const QString path = bench::benchWorkbookPath();
    const platform::OperatorLocale locale(qlocale);
    std::int64_t cells = 0;
    for (auto _ : state) {
        auto book = workbook::openWorkbook(path, locale);
        workbook::CellRange range{1, 1, bench::kBenchRows, bench::kBenchColumns};
        if (findUsedRange)
            range = book->usedRange();
        std::size_t chars = 0;
        for (int r = range.firstRow; r <= range.lastRow; ++r)
            for (int c = range.firstColumn; c <= range.lastColumn; ++c)
                chars += std::size_t(book->cellText(r, c).size());
        benchmark::DoNotOptimize(chars);
        cells +=
            std::int64_t(range.lastRow - range.firstRow + 1) * (range.lastColumn - range.firstColumn + 1);
    }
    state.SetItemsProcessed(cells);
}

void BM_OpenAndReadEveryCell_C(benchmark::State &state)
{
    readAll(state, QLocale::c(), false);
}

void BM_OpenAndReadEveryCell_ru_RU(benchmark::State &state)
{
    readAll(state, QLocale(QStringLiteral("ru_RU")), false);
}

void BM_OpenAndReadEveryCell_en_US(benchmark::State &state)
{
    readAll(state, QLocale(QStringLiteral("en_US")), false);
}

void BM_UsedRangeThenEveryCell_C(benchmark::State &state)
{
    readAll(state, QLocale::c(), true);
}

void BM_UsedRangeOnly(benchmark::State &state)
{
    const QString path = bench::benchWorkbookPath();
    const platform::OperatorLocale locale(QLocale::c());
    for (auto _ : state) {
        auto book = workbook::openWorkbook(path, locale);
        benchmark::DoNotOptimize(book->usedRange());
    }
    state.SetItemsProcessed(state.iterations() * std::int64_t(bench::kBenchRows) * bench::kBenchColumns);
}

BENCHMARK(BM_OpenAndReadEveryCell_C)->Unit(benchmark::kMillisecond)->MinTime(3);
BENCHMARK(BM_OpenAndReadEveryCell_ru_RU)->Unit(benchmark::kMillisecond)->MinTime(3);
BENCHMARK(BM_OpenAndReadEveryCell_en_US)->Unit(benchmark::kMillisecond)->MinTime(3);
BENCHMARK(BM_UsedRangeThenEveryCell_C)->Unit(benchmark::kMillisecond)->MinTime(3);
BENCHMARK(BM_UsedRangeOnly)->Unit(benchmark::kMillisecond)->MinTime(3);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
