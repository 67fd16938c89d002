#include "import/workbook/SheetWindow.h"

#include "import/workbook/WorkbookErrors.h"

#include <algorithm>
#include <limits>

namespace rowpour::workbook
{

namespace
{

// Enough to step back a little without reading again, small enough that the
// window costs nothing next to the shared strings.
constexpr std::size_t kWindowBlocks = 64;
constexpr std::size_t kWindowTextBytes = std::size_t(4) << 20;
// A spare block keeps its buffers for the next row, unless they grew large.
constexpr std::size_t kSpareTextCapacity = std::size_t(64) << 10;

constexpr std::uint32_t kLastRow = std::numeric_limits<std::uint32_t>::max();

void includeBlock(CellRange &range, const RowBlock &b)
{
    range.include(int(b.firstRow), int(b.lastRow), b.runs.front().firstColumn, b.runs.back().lastColumn);
}

// Rows given twice, or repeats that overlap, after sorting: one block per
// row start, a cell given twice keeping its later value, and a repeat cut
// short where a later row begins.
std::vector<RowBlock> mergeSorted(std::vector<RowBlock> blocks, int maxRows, int maxColumns)
{
    std::vector<RowBlock> merged;
    RowAssembler row(maxRows, maxColumns);
    for (std::size_t i = 0; i < blocks.size();) {
        std::size_t j = i;
        std::uint32_t lastRow = blocks[i].lastRow;
        for (; j < blocks.size() && blocks[j].firstRow == blocks[i].firstRow; ++j) {
            for (const Run &run : blocks[j].runs) {
                const int count = run.lastColumn - run.firstColumn + 1;
                if (run.value.kind == CellKind::Text || run.value.kind == CellKind::Error)
                    row.addText(run.firstColumn, count, blocks[j].textOf(run.value.span), run.value.kind);
                else
                    row.addCell(run.firstColumn, count, run.value);
            }
            lastRow = blocks[j].lastRow;
        }
        RowBlock block;
        if (row.finish(block, blocks[i].firstRow, std::int64_t(lastRow) - blocks[i].firstRow + 1)) {
            if (!merged.empty() && merged.back().lastRow >= block.firstRow)
                merged.back().lastRow = block.firstRow - 1;
            merged.push_back(std::move(block));
        }
        i = j;
    }
    return merged;
}

} // namespace

SheetWindow::SheetWindow(std::unique_ptr<SheetSource> source) : source_(std::move(source)) {}

void SheetWindow::restart()
{
    rows_.reset();
    while (!window_.empty()) {
        recycle(std::move(window_.front()));
        window_.pop_front();
    }
    windowText_ = 0;
    coveredFrom_ = 1;
    readUpTo_ = 0;
    lastRowRead_ = 0;
    atEnd_ = false;
    cursor_ = 0;
    passRange_ = {};
    rows_ = source_->rows();
    ++passes_;
}

RowBlock SheetWindow::spareBlock()
{
    if (spares_.empty())
        return {};
    RowBlock block = std::move(spares_.back());
    spares_.pop_back();
    return block;
}

void SheetWindow::recycle(RowBlock &&block)
{
    if (spares_.size() >= kWindowBlocks || block.text.capacity() > kSpareTextCapacity)
        return;
    block.runs.clear();
    block.text.clear();
    spares_.push_back(std::move(block));
}

void SheetWindow::dropBlocksBefore(std::uint32_t row)
{
    while (!window_.empty() && window_.front().lastRow < row &&
           (window_.size() >= kWindowBlocks || windowText_ > kWindowTextBytes)) {
        coveredFrom_ = window_.front().lastRow + 1;
        windowText_ -= window_.front().text.size();
        recycle(std::move(window_.front()));
        window_.pop_front();
        cursor_ = cursor_ > 0 ? cursor_ - 1 : 0;
    }
}

void SheetWindow::readOn(std::uint32_t row)
{
    while (row > readUpTo_ && !atEnd_) {
        dropBlocksBefore(row);
        RowBlock block = spareBlock();
        if (!rows_->next(block)) {
            atEnd_ = true;
            readUpTo_ = kLastRow;
            usedRange_ = passRange_;
            recycle(std::move(block));
            return;
        }
        if (block.firstRow <= lastRowRead_) {
            if (block.firstRow <= answeredUpTo_)
                throw damaged(QStringLiteral("its rows are stored out of order (row %1 after row %2), and "
                                             "row %1 was read before that was seen; save it again with a "
                                             "spreadsheet program")
                                  .arg(block.firstRow)
                                  .arg(lastRowRead_));
            readWhole();
            return;
        }
        lastRowRead_ = readUpTo_ = block.lastRow;
        includeBlock(passRange_, block);
        windowText_ += block.text.size();
        window_.push_back(std::move(block));
    }
}

void SheetWindow::readWhole()
{
    restart();
    std::vector<RowBlock> blocks;
    RowBlock block;
    while (rows_->next(block))
        blocks.push_back(std::move(block));
    rows_.reset();
    std::stable_sort(blocks.begin(), blocks.end(),
                     [](const RowBlock &a, const RowBlock &b) { return a.firstRow < b.firstRow; });
    CellRange range;
    for (RowBlock &b : mergeSorted(std::move(blocks), source_->maxRows(), source_->maxColumns())) {
        includeBlock(range, b);
        window_.push_back(std::move(b));
    }
    usedRange_ = range;
    whole_ = atEnd_ = true;
    coveredFrom_ = 1;
    readUpTo_ = kLastRow;
}

const RowBlock *SheetWindow::lookup(std::uint32_t row)
{
    const std::size_t count = window_.size();
    for (std::size_t i = cursor_; i < count && i <= cursor_ + 1; ++i) {
        const RowBlock &b = window_[i];
        if (row >= b.firstRow && row <= b.lastRow) {
            cursor_ = i;
            return &b;
        }
        if (row < b.firstRow)
            break;
    }
    const auto after = std::upper_bound(window_.begin(), window_.end(), row,
                                        [](std::uint32_t r, const RowBlock &b) { return r < b.firstRow; });
    if (after == window_.begin() || (after - 1)->lastRow < row)
        return nullptr;
    cursor_ = std::size_t(after - 1 - window_.begin());
    return &*(after - 1);
}

const RowBlock *SheetWindow::block(std::uint32_t row)
{
    try {
        if (!whole_ && (rows_ == nullptr || row < coveredFrom_))
            restart();
        readOn(row);
        answeredUpTo_ = std::max(answeredUpTo_, row);
        return lookup(row);
    } catch (...) {
        rows_.reset();
        whole_ = false;
        throw;
    }
}

void SheetWindow::readStart()
{
    try {
        if (!whole_ && rows_ == nullptr)
            restart();
        readOn(1);
    } catch (...) {
        rows_.reset();
        whole_ = false;
        throw;
    }
}

CellRange SheetWindow::usedRange()
{
    if (usedRange_)
        return *usedRange_;
    // A pass of its own, leaving the window where it is.
    std::unique_ptr<SheetRows> rows = source_->rows();
    ++passes_;
    CellRange range;
    RowBlock block;
    std::uint32_t lastRow = 0;
    while (rows->next(block)) {
        if (block.firstRow <= lastRow && answeredUpTo_ < block.firstRow) {
            // Rows out of order, seen before any of them was handed out.
            rows.reset();
            readWhole();
            return *usedRange_;
        }
        lastRow = block.lastRow;
        includeBlock(range, block);
    }
    usedRange_ = range;
    return range;
}

} // namespace rowpour::workbook
