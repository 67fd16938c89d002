// Open + read every cell as text: the whole cost an import pays.

#include "BenchWorkbook.h"

#include "import/workbook/Workbook.h"

#include <QCoreApplication>
#include <QLocale>

#include <benchmark/benchmark.h>

namespace
{

using namespace rowpour;

void readAll(benchmark::State &state, const QLocale &qlocale)
{
    const QString path = bench::benchWorkbookPath();
    const platform::OperatorLocale locale(qlocale);
    std::int64_t cells = 0;
    for (auto _ : state) {
        auto book = workbook::openWorkbook(path, locale);
        const workbook::CellRange used = book->usedRange();
        std::size_t chars = 0;
        for (int r = used.firstRow; r <= used.lastRow; ++r)
            for (int c = used.firstColumn; c <= used.lastColumn; ++c)
                chars += std::size_t(book->cellText(r, c).size());
        benchmark::DoNotOptimize(chars);
        cells += std::int64_t(used.lastRow - used.firstRow + 1) * (used.lastColumn - used.firstColumn + 1);
    }
    state.SetItemsProcessed(cells);
}

void BM_OpenAndReadEveryCell_C(benchmark::State &state)
{
    readAll(state, QLocale::c());
}

void BM_OpenAndReadEveryCell_ru_RU(benchmark::State &state)
{
    readAll(state, QLocale(QStringLiteral("ru_RU")));
}

void BM_OpenAndReadEveryCell_en_US(benchmark::State &state)
{
    readAll(state, QLocale(QStringLiteral("en_US")));
}

BENCHMARK(BM_OpenAndReadEveryCell_C)->Unit(benchmark::kMillisecond)->MinTime(3);
BENCHMARK(BM_OpenAndReadEveryCell_ru_RU)->Unit(benchmark::kMillisecond)->MinTime(3);
BENCHMARK(BM_OpenAndReadEveryCell_en_US)->Unit(benchmark::kMillisecond)->MinTime(3);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
