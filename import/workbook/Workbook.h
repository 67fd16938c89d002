#pragma once
// The workbook source of an import: a workbook file read by the program
// itself. It takes one sheet of the file (the first unless another is
// chosen) and gives the text of any cell.
//
//   auto book = rowpour::workbook::openWorkbook(path, platform::OperatorLocale::system());
//   QString text = book->cellText(row, column);   // 1-based
//
// The sheet is read forward as cells are asked for, holding only a window of
// rows besides the shared strings and styles, so memory stays flat however
// long the sheet is; rows asked for in ascending order (as the import asks)
// read the file once, a row before the window reads it again from the start.
//
// Formats are recognised by content: xlsx / xlsm, xls (Excel 97 and later,
// Excel 95), ods, and delimited text (comma, semicolon, tab; UTF-8 or
// Windows-1251). All failures throw std::runtime_error with the message for the
// user (UTF-8), naming the file.

#include "import/CellSource.h"
#include "import/workbook/CellText.h"
#include "import/workbook/SheetRows.h"
#include "import/workbook/SheetWindow.h"
#include "platform/OperatorLocale.h"

#include <QByteArray>
#include <QString>

#include <memory>
#include <vector>

namespace rowpour::workbook
{

class Workbook : public ICellSource
{
public:
    Workbook(QString path, std::unique_ptr<SheetSource> sheet, const platform::OperatorLocale &locale);

    // The text the import reads from the cell; empty for an empty cell.
    // Throws std::runtime_error for a row or column below 1 or beyond the
    // format's limits, for a cell whose text is too large to read, and when
    // the file turns out damaged further on.
    QString cellText(int row, int column) override;
    // True for a cell holding a plain number (not a date, time, boolean or text).
    bool isNumber(int row, int column) override;

    // The last column of the row that holds a value, 0 for an empty row.
    // Throws as cellText does.
    int lastColumnOfRow(int row);

    // The smallest range holding every cell with a value (empty when none).
    // Unless the sheet has been read to its end, this reads it once.
    CellRange usedRange();
    WorkbookFormat format() const { return window_.source().format(); }
    const QString &path() const { return path_; }
    int maxRows() const { return window_.source().maxRows(); }
    int maxColumns() const { return window_.source().maxColumns(); }
    // How many times the sheet was read from its start so far.
    int passes() const { return window_.passes(); }

    // Reads the first rows, so that a file damaged from its start fails at open.
    void readStart();

private:
    [[noreturn]] void cannotRead(const QString &reason) const;
    // The cell's value (null for an empty cell) and the block holding its text;
    // throws for a cell that cannot be read.
    const CellValue *valueAt(int row, int column, const RowBlock *&block);

    QString path_;
    SheetWindow window_;
    CellTextFormatter formatter_;
};

// Opens the workbook at `path` (a path in one pair of double quotes is taken
// without them) and prepares its chosen sheet. Only regular files that are
// not empty are opened; anything else (a folder, a named pipe, a device) is
// refused before it is opened, so nothing blocks.
std::unique_ptr<Workbook> openWorkbook(const QString &path, const platform::OperatorLocale &locale,
                                       const SheetChoice &sheet = {});

// The same for a workbook's bytes already in memory; `name` stands for the
// file in messages.
std::unique_ptr<Workbook> openWorkbookBytes(const QByteArray &bytes, const QString &name,
                                            const platform::OperatorLocale &locale,
                                            const SheetChoice &sheet = {});

// The sheets of the workbook at `path`, in workbook order (a delimited text
// file has one, named after the file).
std::vector<SheetInfo> listSheets(const QString &path);

// The path without one pair of enclosing double quotes.
QString unquotedPath(const QString &path);

} // namespace rowpour::workbook
