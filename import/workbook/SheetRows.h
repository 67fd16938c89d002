#pragma once
// The cells of a sheet as the readers give them: forward, one block of rows
// at a time. A block covers one row, or several identical rows of a repeated
// row, and holds runs of cells (a run covers one cell, or several identical
// neighbouring cells), so repeats are never expanded. Texts of the sheet's
// shared string table are held for the whole sheet; every other text lives
// in the block of its row.

#include <QString>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace rowpour::workbook
{

// No real cell holds more text; a longer one is kept as unreadable instead
// of being buffered, so one hostile cell costs no memory.
constexpr std::size_t kMaxCellTextBytes = std::size_t(16) << 20;
// Nor does a real row; a row with more is a damaged or hostile file.
constexpr std::size_t kMaxRowTextBytes = std::size_t(64) << 20;

enum class CellKind : std::uint8_t {
    Empty,      // no value
    SharedText, // payload: index into the shared strings
    Text,       // payload: span of the block's own text
    Number,     // payload: number
    DateTime,   // payload: milliseconds since 1899-12-30 00:00
    Time,       // time of day only; payload: milliseconds since midnight
    Duration,   // elapsed time; payload: milliseconds, may be negative
    Boolean,    // payload: number 0 or 1
    Error,      // payload: span of the block's own text (#N/A, ...)
    Unreadable, // a text beyond kMaxCellTextBytes
};

struct TextSpan {
    std::uint32_t offset;
    std::uint32_t size;
};

struct CellValue {
    CellKind kind = CellKind::Empty;
    union {
        double number;
        std::int64_t millis;
        std::uint32_t index;
        TextSpan span;
        std::uint64_t bits;
    };
    CellValue() : bits(0) {}
    static CellValue empty() { return {}; }
    static CellValue numberValue(double v);
    static CellValue booleanValue(bool v);
    static CellValue sharedText(std::uint32_t index);
    static CellValue ownText(CellKind kind, TextSpan span);
    static CellValue dateTimeValue(std::int64_t millisSinceEpoch);
    static CellValue timeValue(std::int64_t millisOfDay);
    static CellValue durationValue(std::int64_t millis);
    static CellValue unreadable();
    bool sameAs(const CellValue &other) const { return kind == other.kind && bits == other.bits; }
};

struct CellRange {
    int firstRow = 0;
    int firstColumn = 0;
    int lastRow = 0;
    int lastColumn = 0;
    bool isEmpty() const { return lastRow < firstRow || lastColumn < firstColumn || firstRow < 1; }
    void include(int fromRow, int toRow, int fromColumn, int toColumn);
};

// A growing array kept in fixed-size chunks: it never copies itself while it
// grows, so a large table costs its size in memory, not up to three times that.
template <class T> class ChunkedArray
{
public:
    static constexpr std::size_t kShift = 14;
    static constexpr std::size_t kChunk = std::size_t(1) << kShift;

    std::size_t size() const { return size_; }
    const T &operator[](std::size_t i) const { return chunks_[i >> kShift][i & (kChunk - 1)]; }
    void push_back(const T &value)
    {
        if ((size_ & (kChunk - 1)) == 0 && (size_ >> kShift) == chunks_.size())
            chunks_.push_back(std::make_unique<T[]>(kChunk));
        chunks_[size_ >> kShift][size_ & (kChunk - 1)] = value;
        ++size_;
    }

private:
    std::vector<std::unique_ptr<T[]>> chunks_;
    std::size_t size_ = 0;
};

// The shared strings of a workbook (UTF-8), each addressed by its index.
// Texts are kept in chunks, so the table never copies itself while it grows.
class StringPool
{
public:
    std::uint32_t add(std::string_view utf8);
    // A string beyond kMaxCellTextBytes: its index reads as unreadable.
    std::uint32_t addTooLarge();
    std::string_view at(std::uint32_t index) const;
    bool isTooLarge(std::uint32_t index) const;
    std::uint32_t size() const { return std::uint32_t(entries_.size()); }

private:
    struct Entry {
        std::uint32_t chunk;
        std::uint32_t offset;
        std::uint32_t size;
    };
    static constexpr std::uint32_t kTooLarge = 0xFFFFFFFF;

    std::vector<std::unique_ptr<char[]>> chunks_;
    std::uint32_t current_ = 0;                    // the chunk that takes short texts
    std::size_t chunkUsed_ = std::size_t(1) << 20; // full: the first short text opens a chunk
    std::size_t bytes_ = 0;
    ChunkedArray<Entry> entries_;
};

struct Run {
    std::uint16_t firstColumn;
    std::uint16_t lastColumn;
    CellValue value;
};

struct RowBlock {
    std::uint32_t firstRow = 0;
    std::uint32_t lastRow = 0;
    std::vector<Run> runs; // ascending columns, values only
    std::string text;      // the own texts of the runs

    // The cell at `column`, or nullptr when it holds no value.
    const CellValue *find(int column) const;
    std::string_view textOf(TextSpan span) const
    {
        return std::string_view(text).substr(span.offset, span.size);
    }
};

// Collects the cells of one row as a reader meets them, in any order, and
// turns them into a block: identical neighbours merge into runs, a cell given
// twice keeps its later value. Throws FormatError beyond the sheet's limits.
class RowAssembler
{
public:
    RowAssembler(int maxRows, int maxColumns);

    void addCell(int column, int columnRepeat, const CellValue &value);
    // A text of the row itself (kind Text or Error); an empty text is no value.
    void addText(int column, int columnRepeat, std::string_view text, CellKind kind = CellKind::Text);
    // Fills `block` with the cells given since the last call, as rows
    // row .. row + rowRepeat - 1; false (and nothing filled) when they hold no value.
    bool finish(RowBlock &block, std::int64_t row, std::int64_t rowRepeat = 1);
    bool hasCells() const { return !runs_.empty(); }

private:
    void sortCells();
    void append(int column, int columnRepeat, const CellValue &value);

    std::vector<Run> runs_;
    std::string text_;
    int maxRows_;
    int maxColumns_;
};

// A text being read piece by piece, capped at kMaxCellTextBytes: beyond it
// the rest is skipped and the text is marked too large.
class CellTextBuffer
{
public:
    void clear()
    {
        text_.clear();
        tooLarge_ = false;
    }
    void append(std::string_view piece)
    {
        if (tooLarge_)
            return;
        if (text_.size() + piece.size() > kMaxCellTextBytes) {
            tooLarge_ = true;
            text_.clear();
            text_.shrink_to_fit();
            return;
        }
        text_.append(piece);
    }
    void append(char c) { append(std::string_view(&c, 1)); }
    void assign(std::string_view text)
    {
        clear();
        append(text);
    }
    bool tooLarge() const { return tooLarge_; }
    bool empty() const { return text_.empty() && !tooLarge_; }
    const std::string &text() const { return text_; }
    std::string &text() { return text_; }

private:
    std::string text_;
    bool tooLarge_ = false;
};

// Adds a text cell of the reader's buffer: the text, or unreadable when too large.
void addBufferedText(RowAssembler &row, int column, int columnRepeat, const CellTextBuffer &buffer,
                     CellKind kind = CellKind::Text);

// A forward reader of one sheet.
class SheetRows
{
public:
    virtual ~SheetRows() = default;
    // The next block of rows that holds values, in file order; false after
    // the last. Throws FormatError when the file is damaged.
    virtual bool next(RowBlock &block) = 0;
};

enum class WorkbookFormat { Xlsx, Xls, Ods, DelimitedText };

// Which sheet of a workbook to read: by number (1 is the first in workbook
// order) or, when a name is given, by its name.
struct SheetChoice {
    int number = 1;
    QString name;
};

// A sheet as a workbook lists it.
struct SheetInfo {
    QString name;
    bool hidden = false;
};

// One sheet of a workbook, ready to be read from its first row as often as
// needed. Holds what every row may refer to (shared strings, styles, the
// package or stream), never the rows themselves.
class SheetSource
{
public:
    SheetSource(WorkbookFormat format, int maxRows, int maxColumns)
        : format_(format), maxRows_(maxRows), maxColumns_(maxColumns)
    {
    }
    virtual ~SheetSource() = default;
    SheetSource(const SheetSource &) = delete;
    SheetSource &operator=(const SheetSource &) = delete;

    virtual std::unique_ptr<SheetRows> rows() const = 0;

    const StringPool &sharedStrings() const { return shared_; }
    WorkbookFormat format() const { return format_; }
    int maxRows() const { return maxRows_; }
    int maxColumns() const { return maxColumns_; }

protected:
    StringPool shared_;

private:
    WorkbookFormat format_;
    int maxRows_;
    int maxColumns_;
};

} // namespace rowpour::workbook
