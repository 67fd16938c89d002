#include "import/workbook/SheetStore.h"

#include "import/workbook/WorkbookErrors.h"

#include <algorithm>

namespace rowpour::workbook
{

namespace
{

// Far above any real sheet (16 bytes each), low enough to fail cleanly
// before a hostile file exhausts memory.
constexpr std::size_t kMaxRuns = std::size_t(1) << 26;
constexpr std::size_t kMaxTextBytes = std::size_t(1) << 31;

} // namespace

CellValue CellValue::numberValue(double v)
{
    CellValue c;
    c.kind = CellKind::Number;
    c.number = v;
    return c;
}

CellValue CellValue::booleanValue(bool v)
{
    CellValue c;
    c.kind = CellKind::Boolean;
    c.number = v ? 1 : 0;
    return c;
}

CellValue CellValue::textValue(std::uint32_t index)
{
    CellValue c;
    c.kind = CellKind::Text;
    c.millis = 0;
    c.string = index;
    return c;
}

CellValue CellValue::errorValue(std::uint32_t index)
{
    CellValue c = textValue(index);
    c.kind = CellKind::Error;
    return c;
}

CellValue CellValue::dateTimeValue(std::int64_t millisSinceEpoch)
{
    CellValue c;
    c.kind = CellKind::DateTime;
    c.millis = millisSinceEpoch;
    return c;
}

CellValue CellValue::timeValue(std::int64_t millisOfDay)
{
    CellValue c = dateTimeValue(millisOfDay);
    c.kind = CellKind::Time;
    return c;
}

bool CellValue::sameAs(const CellValue &other) const
{
    return kind == other.kind && millis == other.millis;
}

std::uint32_t StringPool::add(std::string_view utf8)
{
    if (text_.size() + utf8.size() > kMaxTextBytes || offsets_.size() > kMaxRuns)
        throw damaged(QStringLiteral("more text than a sheet can hold"));
    text_.append(utf8);
    offsets_.push_back(text_.size());
    return size() - 1;
}

std::string_view StringPool::at(std::uint32_t index) const
{
    if (index >= size())
        return {};
    return std::string_view(text_).substr(offsets_[index], offsets_[index + 1] - offsets_[index]);
}

void StringPool::shrink()
{
    text_.shrink_to_fit();
    offsets_.shrink_to_fit();
}

const SheetStore::Block *SheetStore::findBlock(std::uint32_t row) const
{
    const std::size_t count = blocks_.size();
    if (count == 0)
        return nullptr;
    for (std::size_t i = lastBlock_; i < count && i <= lastBlock_ + 1; ++i) {
        const Block &b = blocks_[i];
        if (row >= b.firstRow && row <= b.lastRow) {
            lastBlock_ = i;
            return &b;
        }
    }
    // The last block whose first row is not after `row`.
    std::size_t low = 0, high = count;
    while (low < high) {
        const std::size_t mid = low + (high - low) / 2;
        if (blocks_[mid].firstRow <= row)
            low = mid + 1;
        else
            high = mid;
    }
    if (low == 0)
        return nullptr;
    const Block &b = blocks_[low - 1];
    if (row > b.lastRow)
        return nullptr;
    lastBlock_ = low - 1;
    return &b;
}

const CellValue *SheetStore::find(int row, int column) const
{
    const Block *block = findBlock(std::uint32_t(row));
    if (block == nullptr)
        return nullptr;
    std::size_t low = block->firstRun, high = std::size_t(block->firstRun) + block->runCount;
    while (low < high) {
        const std::size_t mid = low + (high - low) / 2;
        if (runs_[mid].firstColumn <= std::uint32_t(column))
            low = mid + 1;
        else
            high = mid;
    }
    if (low == block->firstRun)
        return nullptr;
    const Run &run = runs_[low - 1];
    return std::uint32_t(column) <= run.lastColumn ? &run.value : nullptr;
}

SheetBuilder::SheetBuilder(int maxRows, int maxColumns) : maxRows_(maxRows), maxColumns_(maxColumns) {}

void SheetBuilder::addCell(int column, int columnRepeat, const CellValue &value)
{
    if (column < 1 || columnRepeat < 1)
        throw damaged(QStringLiteral("cell column %1 out of range").arg(column));
    if (column > maxColumns_) {
        if (value.kind == CellKind::Empty)
            return;
        throw damaged(QString::fromUtf8(texts::kColumnBeyondLimit).arg(maxColumns_));
    }
    int last = column + std::min(columnRepeat - 1, maxColumns_ - column);
    if (last - column + 1 < columnRepeat && value.kind != CellKind::Empty)
        throw damaged(QString::fromUtf8(texts::kColumnBeyondLimit).arg(maxColumns_));
    if (!row_.empty()) {
        SheetStore::Run &prev = row_.back();
        if (prev.lastColumn + 1 == column && prev.value.sameAs(value)) {
            prev.lastColumn = std::uint16_t(last);
            return;
        }
    }
    if (row_.size() >= std::size_t(maxColumns_) * 2)
        throw damaged(QStringLiteral("a row holds more cells than a sheet has columns"));
    row_.push_back({std::uint16_t(column), std::uint16_t(last), value});
}

void SheetBuilder::sortRowCells()
{
    bool ordered = true;
    for (std::size_t i = 1; i < row_.size() && ordered; ++i)
        ordered = row_[i - 1].lastColumn < row_[i].firstColumn;
    if (ordered)
        return;
    // Cells given out of order, or twice: one entry per cell, sorted, and a
    // cell given twice keeps its later value. Runs here come from single cells
    // merged on arrival, so the entries are no more than the cells read.
    struct Entry {
        std::uint16_t column;
        std::uint32_t order;
        CellValue value;
    };
    std::size_t cells = 0;
    for (const SheetStore::Run &run : row_)
        cells += std::size_t(run.lastColumn - run.firstColumn) + 1;
    if (cells > std::size_t(maxColumns_) * 8)
        throw damaged(QStringLiteral("a row gives the same cells over and over"));
    std::vector<Entry> entries;
    entries.reserve(cells);
    std::uint32_t order = 0;
    for (const SheetStore::Run &run : row_)
        for (std::uint32_t c = run.firstColumn; c <= run.lastColumn; ++c)
            entries.push_back({std::uint16_t(c), order++, run.value});
    std::sort(entries.begin(), entries.end(), [](const Entry &a, const Entry &b) {
        return a.column != b.column ? a.column < b.column : a.order < b.order;
    });
    row_.clear();
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (i + 1 < entries.size() && entries[i + 1].column == entries[i].column)
            continue;
        const Entry &e = entries[i];
        if (!row_.empty() && row_.back().lastColumn + 1 == e.column && row_.back().value.sameAs(e.value))
            row_.back().lastColumn = e.column;
        else
            row_.push_back({e.column, e.column, e.value});
    }
}

void SheetBuilder::noteUsed(int firstRow, int lastRow, int firstColumn, int lastColumn)
{
    CellRange &u = store_.used_;
    if (!anyUsed_) {
        u = {firstRow, firstColumn, lastRow, lastColumn};
        anyUsed_ = true;
        return;
    }
    u.firstRow = std::min(u.firstRow, firstRow);
    u.lastRow = std::max(u.lastRow, lastRow);
    u.firstColumn = std::min(u.firstColumn, firstColumn);
    u.lastColumn = std::max(u.lastColumn, lastColumn);
}

void SheetBuilder::endRow(int row, int rowRepeat)
{
    if (row_.empty())
        return;
    sortRowCells();
    const bool hasValues = std::any_of(
        row_.begin(), row_.end(), [](const SheetStore::Run &r) { return r.value.kind != CellKind::Empty; });
    if (row < 1 || rowRepeat < 1)
        throw damaged(QStringLiteral("row %1 out of range").arg(row));
    if (row > maxRows_ || row - 1 + std::int64_t(rowRepeat) > maxRows_) {
        if (hasValues)
            throw damaged(QString::fromUtf8(texts::kRowBeyondLimit).arg(maxRows_));
        if (row > maxRows_) {
            row_.clear();
            return;
        }
        rowRepeat = maxRows_ - row + 1;
    }
    if (store_.runs_.size() + row_.size() > kMaxRuns)
        throw damaged(QStringLiteral("more cells than a sheet can hold"));
    const int lastRow = row + rowRepeat - 1;
    if (!store_.blocks_.empty() && store_.blocks_.back().lastRow >= std::uint32_t(row))
        rowsInOrder_ = false;
    store_.blocks_.push_back({std::uint32_t(row), std::uint32_t(lastRow), std::uint32_t(store_.runs_.size()),
                              std::uint32_t(row_.size())});
    int firstUsed = 0, lastUsed = 0;
    for (const SheetStore::Run &r : row_) {
        store_.runs_.push_back(r);
        if (r.value.kind == CellKind::Empty)
            continue;
        if (firstUsed == 0)
            firstUsed = r.firstColumn;
        lastUsed = r.lastColumn;
    }
    if (firstUsed != 0)
        noteUsed(row, lastRow, firstUsed, lastUsed);
    row_.clear();
}

// Rows that came out of order (or twice) are sorted; a cell given twice keeps
// its later value.
void SheetBuilder::restoreRowOrder()
{
    std::vector<SheetStore::Block> blocks;
    blocks.reserve(store_.blocks_.size());
    for (std::size_t i = 0; i < store_.blocks_.size(); ++i)
        blocks.push_back(store_.blocks_[i]);
    std::stable_sort(
        blocks.begin(), blocks.end(),
        [](const SheetStore::Block &a, const SheetStore::Block &b) { return a.firstRow < b.firstRow; });
    ChunkedArray<SheetStore::Run> runs;
    ChunkedArray<SheetStore::Block> merged;
    for (std::size_t i = 0; i < blocks.size();) {
        std::size_t j = i;
        row_.clear();
        while (j < blocks.size() && blocks[j].firstRow == blocks[i].firstRow) {
            for (std::uint32_t k = 0; k < blocks[j].runCount; ++k)
                row_.push_back(store_.runs_[std::size_t(blocks[j].firstRun) + k]);
            ++j;
        }
        sortRowCells();
        std::uint32_t lastRow = blocks[j - 1].lastRow;
        if (!merged.empty() && merged.back().lastRow >= blocks[i].firstRow)
            merged.back().lastRow = blocks[i].firstRow - 1; // overlapping repeats: the later row wins
        merged.push_back(
            {blocks[i].firstRow, lastRow, std::uint32_t(runs.size()), std::uint32_t(row_.size())});
        for (const SheetStore::Run &r : row_)
            runs.push_back(r);
        i = j;
    }
    row_.clear();
    store_.blocks_.swap(merged);
    store_.runs_.swap(runs);
}

SheetStore SheetBuilder::finish()
{
    if (!row_.empty())
        throw damaged(QStringLiteral("cells outside a row"));
    if (!rowsInOrder_)
        restoreRowOrder();
    store_.strings_.shrink();
    return std::move(store_);
}

} // namespace rowpour::workbook
