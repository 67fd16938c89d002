#pragma once
// The compact in-memory form of one sheet. Rows are kept as blocks (a block
// covers one row, or several identical rows of a repeated row) holding runs of
// cells (a run covers one cell, or several identical neighbouring cells), so
// repeated rows and columns are never expanded. A cell read is two binary
// searches.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace rowpour::workbook
{

enum class CellKind : std::uint8_t {
    Empty,    // present in the file, but without a value
    Text,     // payload: string index
    Number,   // payload: number
    DateTime, // payload: milliseconds since 1899-12-30 00:00
    Time,     // time of day only; payload: milliseconds since midnight
    Boolean,  // payload: number 0 or 1
    Error,    // payload: string index of the error text (#N/A, ...)
};

struct CellValue {
    CellKind kind = CellKind::Empty;
    union {
        double number;
        std::int64_t millis;
        std::uint32_t string;
    };
    CellValue() : number(0) {}
    static CellValue empty() { return {}; }
    static CellValue numberValue(double v);
    static CellValue booleanValue(bool v);
    static CellValue textValue(std::uint32_t index);
    static CellValue errorValue(std::uint32_t index);
    static CellValue dateTimeValue(std::int64_t millisSinceEpoch);
    static CellValue timeValue(std::int64_t millisOfDay);
    bool sameAs(const CellValue &other) const;
};

struct CellRange {
    int firstRow = 0;
    int firstColumn = 0;
    int lastRow = 0;
    int lastColumn = 0;
    bool isEmpty() const { return lastRow < firstRow || lastColumn < firstColumn || firstRow < 1; }
};

// UTF-8 texts, each stored once, addressed by index.
class StringPool
{
public:
    std::uint32_t add(std::string_view utf8);
    std::string_view at(std::uint32_t index) const;
    std::uint32_t size() const { return static_cast<std::uint32_t>(offsets_.size() - 1); }
    std::size_t bytes() const { return text_.size(); }
    void shrink();

private:
    std::string text_;
    std::vector<std::uint64_t> offsets_{0};
};

// A growing array kept in fixed-size chunks: it never copies itself while it
// grows, so a large sheet costs its size in memory, not twice that.
template <class T> class ChunkedArray
{
public:
    static constexpr std::size_t kShift = 14;
    static constexpr std::size_t kChunk = std::size_t(1) << kShift;

    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    T &operator[](std::size_t i) { return chunks_[i >> kShift][i & (kChunk - 1)]; }
    const T &operator[](std::size_t i) const { return chunks_[i >> kShift][i & (kChunk - 1)]; }
    T &back() { return (*this)[size_ - 1]; }
    const T &back() const { return (*this)[size_ - 1]; }
    void push_back(const T &value)
    {
        if ((size_ & (kChunk - 1)) == 0 && (size_ >> kShift) == chunks_.size())
            chunks_.push_back(std::make_unique<T[]>(kChunk));
        (*this)[size_++] = value;
    }
    void clear()
    {
        chunks_.clear();
        size_ = 0;
    }
    void swap(ChunkedArray &other)
    {
        chunks_.swap(other.chunks_);
        std::swap(size_, other.size_);
    }

private:
    std::vector<std::unique_ptr<T[]>> chunks_;
    std::size_t size_ = 0;
};

class SheetStore
{
public:
    struct Run {
        std::uint16_t firstColumn;
        std::uint16_t lastColumn;
        CellValue value;
    };
    struct Block {
        std::uint32_t firstRow;
        std::uint32_t lastRow;
        std::uint32_t firstRun;
        std::uint32_t runCount;
    };

    // The cell at (row, column), or nullptr when the file has none there.
    // Remembers where the last read was, so one store serves one thread.
    const CellValue *find(int row, int column) const;
    CellRange usedRange() const { return used_; }
    const StringPool &strings() const { return strings_; }
    StringPool &strings() { return strings_; }
    std::size_t runCount() const { return runs_.size(); }

private:
    friend class SheetBuilder;
    const Block *findBlock(std::uint32_t row) const;

    ChunkedArray<Block> blocks_;
    ChunkedArray<Run> runs_;
    // The block of the last read: reads mostly go along a row or down a column.
    mutable std::size_t lastBlock_ = 0;
    StringPool strings_;
    CellRange used_;
};

// Fills a SheetStore row by row. Cells may come in any order; identical
// neighbours are merged into runs. Throws FormatError beyond the limits.
class SheetBuilder
{
public:
    SheetBuilder(int maxRows, int maxColumns);

    StringPool &strings() { return store_.strings_; }
    // Adds `rowRepeat` identical rows starting at `row` made of the cells given
    // since the previous call.
    void addCell(int column, int columnRepeat, const CellValue &value);
    void endRow(int row, int rowRepeat = 1);
    SheetStore finish();

    int maxRows() const { return maxRows_; }
    int maxColumns() const { return maxColumns_; }

private:
    void sortRowCells();
    void restoreRowOrder();
    void noteUsed(int firstRow, int lastRow, int firstColumn, int lastColumn);

    SheetStore store_;
    std::vector<SheetStore::Run> row_;
    int maxRows_;
    int maxColumns_;
    bool rowsInOrder_ = true;
    bool anyUsed_ = false;
};

} // namespace rowpour::workbook
