// Peak memory of opening the benchmark workbook and reading every cell, set
// against the size of the sheet's cell text.

#include "BenchWorkbook.h"

#include "import/workbook/Workbook.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <sys/resource.h>

#include <cstdio>

int main(int argc, char **argv)
{
    using namespace rowpour;
    QCoreApplication app(argc, argv);
    const QString path = argc > 1 ? QString::fromLocal8Bit(argv[1]) : bench::benchWorkbookPath();
    rusage before{};
    getrusage(RUSAGE_SELF, &before);
    QElapsedTimer timer;
    timer.start();
    auto book = workbook::openWorkbook(path, platform::OperatorLocale(QLocale::c()));
    const qint64 openMs = timer.elapsed();
    const workbook::CellRange used = book->usedRange();
    std::size_t textBytes = 0, cells = 0;
    for (int r = used.firstRow; r <= used.lastRow; ++r)
        for (int c = used.firstColumn; c <= used.lastColumn; ++c, ++cells)
            textBytes += std::size_t(book->cellText(r, c).toUtf8().size());
    const qint64 totalMs = timer.elapsed();
    rusage after{};
    getrusage(RUSAGE_SELF, &after);
    const double peakMb = double(after.ru_maxrss) / 1024.0;
    const double textMb = double(textBytes) / (1024.0 * 1024.0);
    std::printf("cells %zu, open %lld ms, open+read %lld ms (%.0f cells/s)\n", cells, openMs, totalMs,
                double(cells) * 1000.0 / double(totalMs ? totalMs : 1));
    std::printf("peak RSS %.1f MB (before opening %.1f MB); cell text %.1f MB UTF-8; limit 3 x text + 20 MB "
                "= %.1f MB\n",
                peakMb, double(before.ru_maxrss) / 1024.0, textMb, 3 * textMb + 20);
    return 0;
}
