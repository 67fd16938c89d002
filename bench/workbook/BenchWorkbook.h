#pragma once
// The benchmark's workbook: 100,000 rows x 10 columns (or as many rows as
// asked) with a realistic mix of repeated and unique texts (Latin and
// Cyrillic), integers, decimals, dates and date-times, written with shared
// strings as spreadsheet programs write them. The first row holds headers.

#include <QString>

namespace rowpour::bench
{

constexpr int kBenchRows = 100000;
constexpr int kBenchColumns = 10;

// Path of the workbook of `rows` rows, written on first use beside the
// executable. $ROWPOUR_BENCH_WORKBOOK names another file for the default size.
QString benchWorkbookPath(int rows = kBenchRows);

} // namespace rowpour::bench
