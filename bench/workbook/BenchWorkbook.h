#pragma once
// The benchmark's workbook: 100,000 rows x 10 columns with a realistic mix of
// repeated and unique texts (Latin and Cyrillic), integers, decimals, dates and
// date-times, written with shared strings as spreadsheet programs write them.

#include <QString>

namespace rowpour::bench
{

constexpr int kBenchRows = 100000;
constexpr int kBenchColumns = 10;

// Path of the workbook, written on first use (beside the executable, or in
// $ROWPOUR_BENCH_WORKBOOK when set).
QString benchWorkbookPath();

} // namespace rowpour::bench
