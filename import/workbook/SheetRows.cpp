#include "import/workbook/SheetRows.h"

#include "import/workbook/WorkbookErrors.h"

#include <algorithm>
#include <cstring>

namespace rowpour::workbook
{

namespace
{

constexpr std::size_t kPoolChunkBytes = std::size_t(1) << 20;
// Far above any real workbook, low enough to fail cleanly before a hostile
// file exhausts memory.
constexpr std::size_t kMaxSharedTextBytes = std::size_t(1) << 31;
constexpr std::size_t kMaxSharedStrings = std::size_t(1) << 26;

CellValue valueOf(CellKind kind)
{
    CellValue c;
    c.kind = kind;
    return c;
}

} // namespace

CellValue CellValue::numberValue(double v)
{
    CellValue c = valueOf(CellKind::Number);
    c.number = v;
    return c;
}

CellValue CellValue::booleanValue(bool v)
{
    CellValue c = valueOf(CellKind::Boolean);
    c.number = v ? 1 : 0;
    return c;
}

CellValue CellValue::sharedText(std::uint32_t index)
{
    CellValue c = valueOf(CellKind::SharedText);
    c.index = index;
    return c;
}

CellValue CellValue::ownText(CellKind kind, TextSpan span)
{
    CellValue c = valueOf(kind);
    c.span = span;
    return c;
}

CellValue CellValue::dateTimeValue(std::int64_t millisSinceEpoch)
{
    CellValue c = valueOf(CellKind::DateTime);
    c.millis = millisSinceEpoch;
    return c;
}

CellValue CellValue::timeValue(std::int64_t millisOfDay)
{
    CellValue c = valueOf(CellKind::Time);
    c.millis = millisOfDay;
    return c;
}

CellValue CellValue::durationValue(std::int64_t millis)
{
    CellValue c = valueOf(CellKind::Duration);
    c.millis = millis;
    return c;
}

CellValue CellValue::unreadable()
{
    return valueOf(CellKind::Unreadable);
}

void CellRange::include(int fromRow, int toRow, int fromColumn, int toColumn)
{
    if (isEmpty()) {
        *this = {fromRow, fromColumn, toRow, toColumn};
        return;
    }
    firstRow = std::min(firstRow, fromRow);
    lastRow = std::max(lastRow, toRow);
    firstColumn = std::min(firstColumn, fromColumn);
    lastColumn = std::max(lastColumn, toColumn);
}

std::uint32_t StringPool::add(std::string_view utf8)
{
    if (bytes_ + utf8.size() > kMaxSharedTextBytes || entries_.size() >= kMaxSharedStrings)
        throw damaged(QStringLiteral("more text than a sheet can hold"));
    Entry entry{0, 0, std::uint32_t(utf8.size())};
    if (utf8.size() > kPoolChunkBytes / 4) {
        // A long text gets a chunk of its own; the current chunk stays open.
        chunks_.push_back(std::make_unique_for_overwrite<char[]>(utf8.size()));
        entry.chunk = std::uint32_t(chunks_.size() - 1);
    } else if (!utf8.empty()) {
        if (chunkUsed_ + utf8.size() > kPoolChunkBytes) {
            chunks_.push_back(std::make_unique_for_overwrite<char[]>(kPoolChunkBytes));
            current_ = std::uint32_t(chunks_.size() - 1);
            chunkUsed_ = 0;
        }
        entry.chunk = current_;
        entry.offset = std::uint32_t(chunkUsed_);
        chunkUsed_ += utf8.size();
    }
    if (!utf8.empty())
        std::memcpy(chunks_[entry.chunk].get() + entry.offset, utf8.data(), utf8.size());
    entries_.push_back(entry);
    bytes_ += utf8.size();
    return size() - 1;
}

std::uint32_t StringPool::addTooLarge()
{
    if (entries_.size() >= kMaxSharedStrings)
        throw damaged(QStringLiteral("more text than a sheet can hold"));
    entries_.push_back({0, 0, kTooLarge});
    return size() - 1;
}

std::string_view StringPool::at(std::uint32_t index) const
{
    if (index >= size())
        return {};
    const Entry &e = entries_[index];
    if (e.size == kTooLarge || e.size == 0)
        return {};
    return std::string_view(chunks_[e.chunk].get() + e.offset, e.size);
}

bool StringPool::isTooLarge(std::uint32_t index) const
{
    return index < size() && entries_[index].size == kTooLarge;
}

const CellValue *RowBlock::find(int column) const
{
    const auto after = std::upper_bound(runs.begin(), runs.end(), column,
                                        [](int c, const Run &run) { return c < run.firstColumn; });
    if (after == runs.begin())
        return nullptr;
    const Run &run = *(after - 1);
    return column <= run.lastColumn ? &run.value : nullptr;
}

RowAssembler::RowAssembler(int maxRows, int maxColumns) : maxRows_(maxRows), maxColumns_(maxColumns) {}

void RowAssembler::addCell(int column, int columnRepeat, const CellValue &value)
{
    if (column < 1 || columnRepeat < 1)
        throw damaged(QStringLiteral("cell column %1 out of range").arg(column));
    if (column > maxColumns_) {
        if (value.kind == CellKind::Empty)
            return;
        throw damaged(QString::fromUtf8(texts::kColumnBeyondLimit).arg(maxColumns_));
    }
    const int last = column + std::min(columnRepeat - 1, maxColumns_ - column);
    if (last - column + 1 < columnRepeat && value.kind != CellKind::Empty)
        throw damaged(QString::fromUtf8(texts::kColumnBeyondLimit).arg(maxColumns_));
    append(column, last - column + 1, value);
}

void RowAssembler::append(int column, int columnCount, const CellValue &value)
{
    const int last = column + columnCount - 1;
    if (!runs_.empty()) {
        Run &prev = runs_.back();
        if (prev.lastColumn + 1 == column && prev.value.sameAs(value)) {
            prev.lastColumn = std::uint16_t(last);
            return;
        }
    }
    if (runs_.size() >= std::size_t(maxColumns_) * 2)
        throw damaged(QStringLiteral("a row holds more cells than a sheet has columns"));
    runs_.push_back({std::uint16_t(column), std::uint16_t(last), value});
}

void RowAssembler::addText(int column, int columnRepeat, std::string_view text, CellKind kind)
{
    if (text.empty()) {
        addCell(column, columnRepeat, CellValue::empty());
        return;
    }
    if (text.size() > kMaxCellTextBytes) {
        addCell(column, columnRepeat, CellValue::unreadable());
        return;
    }
    if (text_.size() + text.size() > kMaxRowTextBytes)
        throw damaged(QStringLiteral("a row holds more than %1 MB of text").arg(kMaxRowTextBytes >> 20));
    const TextSpan span{std::uint32_t(text_.size()), std::uint32_t(text.size())};
    text_.append(text);
    addCell(column, columnRepeat, CellValue::ownText(kind, span));
}

void addBufferedText(RowAssembler &row, int column, int columnRepeat, const CellTextBuffer &buffer,
                     CellKind kind)
{
    if (buffer.tooLarge())
        row.addCell(column, columnRepeat, CellValue::unreadable());
    else
        row.addText(column, columnRepeat, buffer.text(), kind);
}

void RowAssembler::sortCells()
{
    bool ordered = true;
    for (std::size_t i = 1; i < runs_.size() && ordered; ++i)
        ordered = runs_[i - 1].lastColumn < runs_[i].firstColumn;
    if (ordered)
        return;
    // Cells given out of order, or twice: one entry per cell, sorted, and a
    // cell given twice keeps its later value.
    struct Entry {
        std::uint16_t column;
        std::uint32_t order;
        CellValue value;
    };
    std::size_t cells = 0;
    for (const Run &run : runs_)
        cells += std::size_t(run.lastColumn - run.firstColumn) + 1;
    if (cells > std::size_t(maxColumns_) * 8)
        throw damaged(QStringLiteral("a row gives the same cells over and over"));
    std::vector<Entry> entries;
    entries.reserve(cells);
    std::uint32_t order = 0;
    for (const Run &run : runs_)
        for (std::uint32_t c = run.firstColumn; c <= run.lastColumn; ++c)
            entries.push_back({std::uint16_t(c), order++, run.value});
    std::sort(entries.begin(), entries.end(), [](const Entry &a, const Entry &b) {
        return a.column != b.column ? a.column < b.column : a.order < b.order;
    });
    runs_.clear();
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (i + 1 < entries.size() && entries[i + 1].column == entries[i].column)
            continue;
        append(entries[i].column, 1, entries[i].value);
    }
}

bool RowAssembler::finish(RowBlock &block, std::int64_t row, std::int64_t rowRepeat)
{
    if (runs_.empty())
        return false;
    sortCells();
    const bool hasValues =
        std::any_of(runs_.begin(), runs_.end(), [](const Run &r) { return r.value.kind != CellKind::Empty; });
    if (row < 1 || rowRepeat < 1)
        throw damaged(QStringLiteral("row %1 out of range").arg(row));
    if (row - 1 + rowRepeat > maxRows_) {
        if (hasValues)
            throw damaged(QString::fromUtf8(texts::kRowBeyondLimit).arg(maxRows_));
        rowRepeat = std::max<std::int64_t>(0, maxRows_ - row + 1);
    }
    if (!hasValues || rowRepeat == 0) {
        runs_.clear();
        text_.clear();
        return false;
    }
    block.firstRow = std::uint32_t(row);
    block.lastRow = std::uint32_t(row + rowRepeat - 1);
    block.runs.swap(runs_);
    block.runs.erase(std::remove_if(block.runs.begin(), block.runs.end(),
                                    [](const Run &r) { return r.value.kind == CellKind::Empty; }),
                     block.runs.end());
    block.text.swap(text_);
    runs_.clear();
    text_.clear();
    return true;
}

} // namespace rowpour::workbook
