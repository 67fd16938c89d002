#pragma once
// The workbook source of an import: a workbook file read by the program
// itself. It takes the first sheet of the file and gives the text of any cell.
//
//   auto book = rowpour::workbook::openWorkbook(path, platform::OperatorLocale::system());
//   QString text = book->cellText(row, column);   // 1-based
//
// Formats are recognised by content: xlsx / xlsm, xls (Excel 97 and later,
// Excel 95), ods, and delimited text (comma, semicolon, tab; UTF-8 or
// Windows-1251). All failures throw std::runtime_error with the message for the
// user (UTF-8), naming the file.

#include "import/CellSource.h"
#include "import/workbook/CellText.h"
#include "import/workbook/SheetStore.h"
#include "platform/OperatorLocale.h"

#include <QByteArray>
#include <QString>

#include <memory>

namespace rowpour::workbook
{

enum class WorkbookFormat { Xlsx, Xls, Ods, DelimitedText };

class Workbook : public ICellSource
{
public:
    Workbook(QString path, WorkbookFormat format, SheetStore sheet, int maxRows, int maxColumns,
             const platform::OperatorLocale &locale);

    // The text the import reads from the cell; empty for an empty cell.
    // Throws std::runtime_error for a row or column below 1 or beyond the
    // format's limits.
    QString cellText(int row, int column) override;

    // The smallest range holding every cell with a value (empty when none).
    CellRange usedRange() const { return sheet_.usedRange(); }
    WorkbookFormat format() const { return format_; }
    const QString &path() const { return path_; }
    int maxRows() const { return maxRows_; }
    int maxColumns() const { return maxColumns_; }

private:
    QString path_;
    WorkbookFormat format_;
    SheetStore sheet_;
    int maxRows_;
    int maxColumns_;
    CellTextFormatter formatter_;
};

// Opens the workbook at `path` (a path in one pair of double quotes is taken
// without them) and reads its first sheet.
std::unique_ptr<Workbook> openWorkbook(const QString &path, const platform::OperatorLocale &locale);

// The same for a workbook's bytes already in memory; `name` stands for the
// file in messages.
std::unique_ptr<Workbook> openWorkbookBytes(const QByteArray &bytes, const QString &name,
                                            const platform::OperatorLocale &locale);

// The path without one pair of enclosing double quotes.
QString unquotedPath(const QString &path);

} // namespace rowpour::workbook
