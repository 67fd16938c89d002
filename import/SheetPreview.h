#pragma once
// The first rows of a workbook's sheet, read as the import reads them, for
// the operator to look at before a run. Reading may take a while on a large
// workbook (its shared strings are read when it opens), so it is made to run
// on a worker thread: it touches nothing but the file and its own result,
// reports progress through a callback and stops when asked to.

#include "import/workbook/SheetRows.h"
#include "platform/OperatorLocale.h"

#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>
#include <vector>

namespace rowpour
{

// Rows and columns a preview shows at most.
inline constexpr int kPreviewRows = 100;
inline constexpr int kPreviewColumns = 1024;

struct SheetPreviewData {
    QString file;                            // the path as it was asked for
    std::vector<workbook::SheetInfo> sheets; // the workbook's sheets, in workbook order
    int sheetIndex = -1;                     // the sheet read, in `sheets`
    std::vector<QStringList> rows;           // rows 1.., each with its cells from column 1
    int columns = 0;                         // the widest row's last column with a value
    QString error;                           // why the workbook could not be read
    bool cancelled = false;

    // The text of a cell, empty outside what was read.
    QString cell(int row, int column) const;
    QString sheetName() const { return sheetIndex >= 0 ? sheets[std::size_t(sheetIndex)].name : QString(); }
};

// Reads up to `rowCount` rows of the sheet named `sheetName` (the first
// sheet when it is empty or the workbook has no such sheet). `progress` is
// called with the rows read so far; `cancel` is looked at between rows.
// Never throws: a failure is in `error`.
SheetPreviewData ReadSheetPreview(const QString &file, const QString &sheetName, int rowCount,
                                  const platform::OperatorLocale &locale, const std::atomic<bool> &cancel,
                                  const std::function<void(int rowsRead)> &progress = {});

} // namespace rowpour
