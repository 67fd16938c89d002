#pragma once
// Random access to the rows of a sheet that is read forward. The window
// holds the rows read last (a bounded number of blocks); a row after them is
// read on, a row before them starts the sheet again from its first row. So
// a caller that reads rows in ascending order, as the import does, reads the
// file once and holds only a few rows.
//
// A file whose rows come out of order (no spreadsheet program writes one) is
// read whole once and held whole from the moment the disorder is seen. A row
// that was already handed out may have read as empty before that moment;
// such a file then fails, rather than give a row two different texts.

#include "import/workbook/SheetRows.h"

#include <deque>
#include <memory>
#include <optional>

namespace rowpour::workbook
{

class SheetWindow
{
public:
    explicit SheetWindow(std::unique_ptr<SheetSource> source);

    // The block that holds `row`, or nullptr when the row holds no value.
    // Throws FormatError when the file turns out damaged; the next call
    // starts again from the first row.
    const RowBlock *block(std::uint32_t row);
    // Reads the first block, so that a file damaged at its start fails now.
    void readStart();
    // The smallest range holding every cell with a value; the first call may
    // read the whole sheet once.
    CellRange usedRange();

    const SheetSource &source() const { return *source_; }
    // How many times the sheet was started from its first row (for tests).
    int passes() const { return passes_; }

private:
    void restart();
    void readOn(std::uint32_t row);
    void dropBlocksBefore(std::uint32_t row);
    void readWhole();
    const RowBlock *lookup(std::uint32_t row);
    RowBlock spareBlock();
    void recycle(RowBlock &&block);

    std::unique_ptr<SheetSource> source_;
    std::unique_ptr<SheetRows> rows_;
    std::deque<RowBlock> window_;
    std::vector<RowBlock> spares_;
    std::size_t windowText_ = 0;
    // Rows coveredFrom_ .. readUpTo_ are known: in the window, or without values.
    std::uint32_t coveredFrom_ = 1;
    std::uint32_t readUpTo_ = 0;
    std::uint32_t lastRowRead_ = 0;
    // The highest row handed out so far, in any pass.
    std::uint32_t answeredUpTo_ = 0;
    bool atEnd_ = false;
    bool whole_ = false;
    std::size_t cursor_ = 0;
    CellRange passRange_;
    std::optional<CellRange> usedRange_;
    int passes_ = 0;
};

} // namespace rowpour::workbook
