// xls: Excel 97-2003 (BIFF8) and Excel 5/95 (BIFF5) workbooks. The compound
// file gives the workbook stream, which is held (an xls file is small); the
// globals at its start give the shared strings and formats, and the sheet's
// records are read forward from the sheet's offset, row after row, including
// formula results and booleans.

#include "import/workbook/CellText.h"
#include "import/workbook/CompoundFile.h"
#include "import/workbook/Readers.h"
#include "import/workbook/TextCodec.h"
#include "import/workbook/WorkbookErrors.h"

#include <QStringDecoder>

#include <cstring>
#include <map>
#include <memory>

namespace rowpour::workbook
{

namespace
{

enum RecordType : std::uint16_t {
    kFormula = 0x0006,
    kEof = 0x000A,
    kFilePass = 0x002F,
    kDateMode = 0x0022,
    kContinue = 0x003C,
    kCodePage = 0x0042,
    kBoundSheet = 0x0085,
    kMulRk = 0x00BD,
    kRString = 0x00D6,
    kXf = 0x00E0,
    kSst = 0x00FC,
    kLabelSst = 0x00FD,
    kNumber = 0x0203,
    kLabel = 0x0204,
    kBoolErr = 0x0205,
    kString = 0x0207,
    kRk = 0x027E,
    kFormat = 0x041E,
    kBof = 0x0809,
};

std::uint16_t u16(const char *p)
{
    std::uint16_t v;
    std::memcpy(&v, p, 2);
    return v;
}

std::uint32_t u32(const char *p)
{
    std::uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

double f64(const char *p)
{
    double v;
    std::memcpy(&v, p, 8);
    return v;
}

FormatError broken(const QString &what)
{
    return damaged(QStringLiteral("workbook stream: %1").arg(what));
}

const char *errorText(std::uint8_t code)
{
    switch (code) {
    case 0x00:
        return "#NULL!";
    case 0x07:
        return "#DIV/0!";
    case 0x0F:
        return "#VALUE!";
    case 0x17:
        return "#REF!";
    case 0x1D:
        return "#NAME?";
    case 0x24:
        return "#NUM!";
    case 0x2A:
        return "#N/A";
    case 0x2B:
        return "#GETTING_DATA";
    default:
        return "#N/A";
    }
}

double rkValue(std::uint32_t rk)
{
    double v;
    if (rk & 0x02) {
        v = double(std::int32_t(rk) >> 2);
    } else {
        const std::uint64_t bits = std::uint64_t(rk & 0xFFFFFFFC) << 32;
        std::memcpy(&v, &bits, 8);
    }
    return (rk & 0x01) ? v / 100 : v;
}

struct Record {
    std::uint16_t type;
    std::string_view data;
};

class RecordStream
{
public:
    RecordStream(std::string_view stream, std::size_t offset) : stream_(stream), pos_(offset) {}

    bool next(Record &record)
    {
        if (pos_ + 4 > stream_.size())
            return false;
        const std::uint16_t type = u16(stream_.data() + pos_);
        const std::uint16_t size = u16(stream_.data() + pos_ + 2);
        if (pos_ + 4 + size > stream_.size())
            throw broken(QStringLiteral("the record at offset %1 is cut off").arg(pos_));
        record = {type, stream_.substr(pos_ + 4, size)};
        pos_ += 4 + std::size_t(size);
        return true;
    }

    // The CONTINUE records right after the current one.
    std::vector<std::string_view> continuations()
    {
        std::vector<std::string_view> parts;
        Record r;
        std::size_t saved = pos_;
        while (next(r) && r.type == kContinue) {
            parts.push_back(r.data);
            saved = pos_;
        }
        pos_ = saved;
        return parts;
    }

private:
    std::string_view stream_;
    std::size_t pos_;
};

// Data of a record and its continuations, read across their borders. A
// string's characters that cross a border start again with a flags byte
// telling their width.
class SegmentReader
{
public:
    explicit SegmentReader(std::vector<std::string_view> segments) : segments_(std::move(segments)) {}

    bool atEnd()
    {
        skipEmpty();
        return index_ >= segments_.size();
    }

    std::uint8_t byte()
    {
        skipEmpty();
        if (index_ >= segments_.size())
            throw broken(QStringLiteral("a string table entry is cut off"));
        return std::uint8_t(segments_[index_][pos_++]);
    }
    std::uint16_t word()
    {
        const std::uint16_t lo = byte();
        return std::uint16_t(lo | (byte() << 8));
    }
    std::uint32_t dword()
    {
        const std::uint32_t lo = word();
        return lo | (std::uint32_t(word()) << 16);
    }
    void skip(std::uint64_t n)
    {
        while (n > 0) {
            skipEmpty();
            if (index_ >= segments_.size())
                throw broken(QStringLiteral("a string table entry is cut off"));
            const std::size_t step = std::size_t(std::min<std::uint64_t>(n, segments_[index_].size() - pos_));
            pos_ += step;
            n -= step;
        }
    }

    // A BIFF8 string: character count, flags, optional run and extension
    // sizes, characters, then the runs and extension, which are skipped.
    void unicodeString(std::string &out, bool longCount = true)
    {
        const std::uint16_t count = longCount ? word() : byte();
        std::uint8_t flags = byte();
        std::uint16_t runs = (flags & 0x08) ? word() : 0;
        std::uint32_t extension = (flags & 0x04) ? dword() : 0;
        out.clear();
        for (std::uint16_t i = 0; i < count; ++i) {
            if (pos_ >= segmentSize() && i > 0) {
                nextSegment();
                flags = byte();
            }
            std::uint32_t cp = (flags & 0x01) ? word() : byte();
            if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < count) {
                if (pos_ >= segmentSize()) {
                    nextSegment();
                    flags = byte();
                }
                const std::uint32_t low = (flags & 0x01) ? word() : byte();
                ++i;
                if (low >= 0xDC00 && low <= 0xDFFF)
                    cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
                else
                    cp = 0xFFFD;
            } else if (cp >= 0xD800 && cp <= 0xDFFF) {
                cp = 0xFFFD;
            }
            appendUtf8(out, cp);
        }
        skip(std::uint64_t(runs) * 4 + extension);
    }

private:
    std::size_t segmentSize() const { return index_ < segments_.size() ? segments_[index_].size() : 0; }
    void nextSegment()
    {
        ++index_;
        pos_ = 0;
        if (index_ >= segments_.size())
            throw broken(QStringLiteral("a string table entry is cut off"));
    }
    void skipEmpty()
    {
        while (index_ < segments_.size() && pos_ >= segments_[index_].size()) {
            ++index_;
            pos_ = 0;
        }
    }

    std::vector<std::string_view> segments_;
    std::size_t index_ = 0;
    std::size_t pos_ = 0;
};

// What the workbook globals give every sheet.
struct XlsBook {
    std::string stream;
    bool biff8 = true;
    bool date1904 = false;
    std::string codec = "windows-1252";
    std::vector<std::uint16_t> xfFormats;
    std::map<std::uint16_t, NumberFormatKind> customKinds;
    struct Sheet {
        std::uint32_t offset;
        std::uint8_t state; // 0 visible, 1 hidden, 2 very hidden
        std::uint8_t type;  // 0 worksheet, 2 chart, 6 module
        QString name;
    };
    std::vector<Sheet> sheets;

    NumberFormatKind kindOf(std::uint16_t xf) const
    {
        if (xf >= xfFormats.size())
            return NumberFormatKind::Number;
        const std::uint16_t format = xfFormats[xf];
        const auto custom = customKinds.find(format);
        return custom != customKinds.end() ? custom->second : builtinFormatKind(format);
    }
};

void need(const Record &r, std::size_t size)
{
    if (r.data.size() < size)
        throw broken(
            QStringLiteral("the record of type %1 is too short").arg(r.type, 4, 16, QLatin1Char('0')));
}

// Texts in the workbook's 8-bit code page (Excel 95, and names), as UTF-8.
class EightBitText
{
public:
    explicit EightBitText(const std::string &codec) : decoder_(codec.c_str(), QStringDecoder::Flag::Stateless)
    {
        if (!decoder_.isValid())
            decoder_ = QStringDecoder(QStringConverter::Latin1, QStringDecoder::Flag::Stateless);
    }
    std::string operator()(std::string_view bytes)
    {
        return QString(decoder_.decode(QByteArrayView(bytes.data(), qsizetype(bytes.size()))))
            .toUtf8()
            .toStdString();
    }

private:
    QStringDecoder decoder_;
};

// A string of a record and the CONTINUE records after it (LABEL, STRING,
// FORMAT, BOUNDSHEET). Excel 97 strings start each continuation with a flags
// byte; Excel 95 strings simply go on in the next record.
std::string recordString(const XlsBook &book, EightBitText &eightBit, std::string_view data,
                         std::vector<std::string_view> more, bool longCount)
{
    more.insert(more.begin(), data);
    if (book.biff8) {
        SegmentReader reader(std::move(more));
        std::string out;
        reader.unicodeString(out, longCount);
        return out;
    }
    std::string bytes;
    for (std::string_view part : more)
        bytes.append(part);
    const std::size_t countSize = longCount ? 2 : 1;
    if (bytes.size() < countSize)
        throw broken(QStringLiteral("a string is cut off"));
    const std::size_t count = longCount ? u16(bytes.data()) : std::uint8_t(bytes[0]);
    if (bytes.size() < countSize + count)
        throw broken(QStringLiteral("a string is cut off"));
    return eightBit(std::string_view(bytes).substr(countSize, count));
}

std::string codecOf(std::uint16_t page)
{
    if (page == 367)
        return "US-ASCII";
    if (page == 10000 || page == 32768)
        return "macintosh";
    if (page == 10007)
        return "x-mac-cyrillic";
    if (page == 32769)
        return "windows-1252";
    if (page < 874)
        return "ibm-" + std::to_string(page);
    return "windows-" + std::to_string(page);
}

void readSharedStrings(const Record &r, RecordStream &records, StringPool &pool)
{
    need(r, 8);
    const std::uint32_t unique = u32(r.data.data() + 4);
    std::vector<std::string_view> segments{r.data.substr(8)};
    for (std::string_view part : records.continuations())
        segments.push_back(part);
    SegmentReader reader(std::move(segments));
    std::string text;
    for (std::uint32_t i = 0; i < unique && !reader.atEnd(); ++i) {
        reader.unicodeString(text);
        pool.add(text);
    }
}

// The workbook globals: code page, date system, formats, shared strings and
// the list of sheets.
void readGlobals(XlsBook &book, StringPool &shared)
{
    RecordStream records(book.stream, 0);
    Record r;
    if (!records.next(r) || r.type != kBof || r.data.size() < 4)
        throw FormatError(QString::fromUtf8(texts::kNotAWorkbook));
    const std::uint16_t version = u16(r.data.data());
    if (version == 0x0500)
        book.biff8 = false;
    else if (version != 0x0600)
        throw FormatError(QString::fromUtf8(texts::kOldXlsUnsupported));
    std::vector<std::pair<std::uint32_t, std::uint8_t>> names;
    while (records.next(r) && r.type != kEof) {
        switch (r.type) {
        case kFilePass:
            throw FormatError(QString::fromUtf8(texts::kEncrypted));
        case kCodePage:
            need(r, 2);
            if (u16(r.data.data()) != 1200 && u16(r.data.data()) != 0)
                book.codec = codecOf(u16(r.data.data()));
            break;
        case kDateMode:
            need(r, 2);
            book.date1904 = u16(r.data.data()) != 0;
            break;
        case kFormat: {
            need(r, 3);
            const std::uint16_t index = u16(r.data.data());
            EightBitText eightBit(book.codec);
            const std::string code =
                recordString(book, eightBit, r.data.substr(2), records.continuations(), book.biff8);
            book.customKinds[index] = formatCodeKind(QString::fromStdString(code));
            break;
        }
        case kXf:
            need(r, 4);
            book.xfFormats.push_back(u16(r.data.data() + 2));
            break;
        case kSst:
            readSharedStrings(r, records, shared);
            break;
        case kBoundSheet: {
            need(r, 6);
            EightBitText eightBit(book.codec);
            book.sheets.push_back(
                {u32(r.data.data()), std::uint8_t(std::uint8_t(r.data[4]) & 0x03), std::uint8_t(r.data[5]),
                 QString::fromStdString(recordString(book, eightBit, r.data.substr(6), {}, false))});
            break;
        }
        default:
            break;
        }
    }
    if (book.sheets.empty())
        throw FormatError(QString::fromUtf8(texts::kNoSheet));
}

// The records of one sheet, row after row. Cells come in row order (each
// block of rows in order); a row number going back is handed on as it is,
// and the window then reads the sheet whole.
class XlsRows : public SheetRows
{
public:
    XlsRows(const XlsBook &book, const StringPool &shared, std::uint32_t offset)
        : book_(book), shared_(shared), records_(book.stream, offset), eightBit_(book.codec),
          row_(kXlsMaxRows, kXlsMaxColumns)
    {
        Record r;
        if (offset >= book.stream.size())
            throw broken(QStringLiteral("the sheet lies outside the stream"));
        if (!records_.next(r) || r.type != kBof)
            throw broken(QStringLiteral("the sheet does not start where the workbook says"));
    }

    bool next(RowBlock &block) override
    {
        bool filled = false;
        Record r;
        while (!done_ && !filled) {
            if (!records_.next(r))
                throw broken(QStringLiteral("the sheet ends before its end record"));
            if (r.type == kBof) {
                ++depth_; // an embedded chart
            } else if (r.type == kEof) {
                if (--depth_ == 0) {
                    done_ = true;
                    return row_.finish(block, std::int64_t(currentRow_) + 1);
                }
            } else if (depth_ == 1) {
                filled = readRecord(r, block);
            }
        }
        return filled;
    }

private:
    // Ends the current row when a cell of another row comes; true when that
    // filled the block.
    bool startCellOf(std::uint32_t row, RowBlock &block)
    {
        if (row == currentRow_)
            return false;
        const bool filled = row_.finish(block, std::int64_t(currentRow_) + 1);
        currentRow_ = row;
        return filled;
    }

    void put(std::uint32_t column, const CellValue &value)
    {
        if (!inColumns(column, value.kind == CellKind::Empty))
            return;
        row_.addCell(int(column) + 1, 1, value);
    }

    void putText(std::uint32_t column, std::string_view text, CellKind kind = CellKind::Text)
    {
        if (!inColumns(column, text.empty()))
            return;
        row_.addText(int(column) + 1, 1, text, kind);
    }

    bool inColumns(std::uint32_t column, bool empty) const
    {
        if (column < std::uint32_t(kXlsMaxColumns))
            return true;
        if (empty)
            return false;
        throw broken(QStringLiteral("a cell lies beyond column %1").arg(kXlsMaxColumns));
    }

    CellValue numberCell(double v, std::uint16_t xf) const
    {
        return serialToValue(v, book_.date1904, book_.kindOf(xf));
    }

    void putError(std::uint32_t column, std::uint8_t code)
    {
        putText(column, errorText(code), CellKind::Error);
    }

    bool readRecord(const Record &r, RowBlock &block)
    {
        const char *d = r.data.data();
        bool filled = false;
        switch (r.type) {
        case kNumber:
            need(r, 14);
            filled = startCellOf(u16(d), block);
            put(u16(d + 2), numberCell(f64(d + 6), u16(d + 4)));
            break;
        case kRk:
            need(r, 10);
            filled = startCellOf(u16(d), block);
            put(u16(d + 2), numberCell(rkValue(u32(d + 6)), u16(d + 4)));
            break;
        case kMulRk: {
            need(r, 6);
            filled = startCellOf(u16(d), block);
            const std::uint16_t first = u16(d + 2);
            const std::size_t cells = (r.data.size() - 6) / 6;
            for (std::size_t i = 0; i < cells; ++i)
                put(first + std::uint32_t(i),
                    numberCell(rkValue(u32(d + 4 + 6 * i + 2)), u16(d + 4 + 6 * i)));
            break;
        }
        case kLabelSst: {
            need(r, 10);
            const std::uint32_t index = u32(d + 6);
            if (index >= shared_.size())
                throw broken(QStringLiteral("cell (%1, %2) names a shared string that does not exist")
                                 .arg(u16(d) + 1)
                                 .arg(u16(d + 2) + 1));
            filled = startCellOf(u16(d), block);
            put(u16(d + 2), CellValue::sharedText(index));
            break;
        }
        case kLabel:
        case kRString: {
            need(r, 8);
            filled = startCellOf(u16(d), block);
            putText(u16(d + 2),
                    recordString(book_, eightBit_, r.data.substr(6), records_.continuations(), true));
            break;
        }
        case kBoolErr:
            need(r, 8);
            filled = startCellOf(u16(d), block);
            if (d[7])
                putError(u16(d + 2), std::uint8_t(d[6]));
            else
                put(u16(d + 2), CellValue::booleanValue(d[6] != 0));
            break;
        case kFormula:
            need(r, 20);
            filled = startCellOf(u16(d), block);
            formulaResult(r);
            break;
        case kString:
            if (pendingString_) {
                pendingString_ = false;
                putText(pendingColumn_,
                        recordString(book_, eightBit_, r.data, records_.continuations(), true));
            }
            break;
        default:
            break;
        }
        return filled;
    }

    // A text result follows in a STRING record.
    void formulaResult(const Record &r)
    {
        const char *d = r.data.data();
        const char *result = d + 6;
        const std::uint32_t column = u16(d + 2);
        pendingString_ = false;
        if (u16(result + 6) != 0xFFFF) {
            put(column, numberCell(f64(result), u16(d + 4)));
            return;
        }
        switch (std::uint8_t(result[0])) {
        case 0:
            pendingString_ = true;
            pendingColumn_ = column;
            break;
        case 1:
            put(column, CellValue::booleanValue(result[2] != 0));
            break;
        case 2:
            putError(column, std::uint8_t(result[2]));
            break;
        default:
            break;
        }
    }

    const XlsBook &book_;
    const StringPool &shared_;
    RecordStream records_;
    EightBitText eightBit_;
    RowAssembler row_;
    int depth_ = 1;
    bool done_ = false;
    std::uint32_t currentRow_ = 0;
    bool pendingString_ = false;
    std::uint32_t pendingColumn_ = 0;
};

class XlsSource : public SheetSource
{
public:
    XlsSource(std::string stream, const SheetChoice &choice)
        : SheetSource(WorkbookFormat::Xls, kXlsMaxRows, kXlsMaxColumns)
    {
        book_.stream = std::move(stream);
        readGlobals(book_, shared_);
        const XlsBook::Sheet &sheet = chosen(choice);
        if (sheet.type != 0)
            throw FormatError(QString::fromUtf8(texts::kSheetNotWorksheet).arg(sheet.name));
        offset_ = sheet.offset;
        XlsRows startsWhereTheListSays(book_, shared_, offset_);
    }

    std::unique_ptr<SheetRows> rows() const override
    {
        return std::make_unique<XlsRows>(book_, shared_, offset_);
    }
    const XlsBook &book() const { return book_; }

private:
    const XlsBook::Sheet &chosen(const SheetChoice &choice) const
    {
        if (!choice.name.isEmpty()) {
            for (const XlsBook::Sheet &sheet : book_.sheets)
                if (sheet.name == choice.name)
                    return sheet;
            throw FormatError(QString::fromUtf8(texts::kNoSheetNamed).arg(choice.name));
        }
        if (choice.number < 1 || std::size_t(choice.number) > book_.sheets.size())
            throw FormatError(
                QString::fromUtf8(texts::kNoSheetNumber).arg(choice.number).arg(book_.sheets.size()));
        return book_.sheets[std::size_t(choice.number - 1)];
    }

    XlsBook book_;
    std::uint32_t offset_ = 0;
};

std::string workbookStream(const QByteArray &file)
{
    const CompoundFile container(file);
    if (container.hasStream(QStringLiteral("EncryptedPackage")) ||
        container.hasStream(QStringLiteral("EncryptionInfo")))
        throw FormatError(QString::fromUtf8(texts::kEncrypted));
    std::optional<std::string> stream = container.stream(QStringLiteral("Workbook"));
    if (!stream)
        stream = container.stream(QStringLiteral("Book"));
    if (!stream)
        throw FormatError(QString::fromUtf8(texts::kNotAWorkbook));
    return std::move(*stream);
}

} // namespace

std::unique_ptr<SheetSource> openXls(const QByteArray &file, const SheetChoice &choice)
{
    return std::make_unique<XlsSource>(workbookStream(file), choice);
}

std::vector<SheetInfo> listXlsSheets(const QByteArray &file)
{
    XlsBook book;
    book.stream = workbookStream(file);
    StringPool shared;
    readGlobals(book, shared);
    std::vector<SheetInfo> sheets;
    for (const XlsBook::Sheet &sheet : book.sheets)
        sheets.push_back({sheet.name, sheet.state != 0});
    return sheets;
}

} // namespace rowpour::workbook
