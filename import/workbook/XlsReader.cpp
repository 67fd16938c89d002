// xls: Excel 97-2003 (BIFF8) and Excel 5/95 (BIFF5) workbooks. The compound
// file gives the workbook stream; its records give the first sheet's cells,
// including formula results and booleans.

#include "import/workbook/CellText.h"
#include "import/workbook/CompoundFile.h"
#include "import/workbook/Readers.h"
#include "import/workbook/TextCodec.h"
#include "import/workbook/WorkbookErrors.h"

#include <QStringDecoder>

#include <cstring>
#include <map>

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
    kMulBlank = 0x00BE,
    kRString = 0x00D6,
    kXf = 0x00E0,
    kSst = 0x00FC,
    kLabelSst = 0x00FD,
    kBlank = 0x0201,
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

class XlsReader
{
public:
    explicit XlsReader(std::string stream) : stream_(std::move(stream)), builder_(kXlsMaxRows, kXlsMaxColumns)
    {
    }

    SheetStore read()
    {
        readGlobals();
        readSheet();
        return builder_.finish();
    }

private:
    void need(const Record &r, std::size_t size) const
    {
        if (r.data.size() < size)
            throw broken(
                QStringLiteral("the record of type %1 is too short").arg(r.type, 4, 16, QLatin1Char('0')));
    }

    std::string eightBit(std::string_view bytes)
    {
        if (!decoder_.isValid() || decoderFor_ != codec_) {
            decoder_ = QStringDecoder(codec_.c_str(), QStringDecoder::Flag::Stateless);
            if (!decoder_.isValid())
                decoder_ = QStringDecoder(QStringConverter::Latin1, QStringDecoder::Flag::Stateless);
            decoderFor_ = codec_;
        }
        return QString(decoder_.decode(QByteArrayView(bytes.data(), qsizetype(bytes.size()))))
            .toUtf8()
            .toStdString();
    }

    // A string of a single record (LABEL, STRING, FORMAT, BOUNDSHEET).
    std::string recordString(std::string_view data, std::vector<std::string_view> more, bool longCount)
    {
        if (biff8_) {
            more.insert(more.begin(), data);
            SegmentReader reader(std::move(more));
            std::string out;
            reader.unicodeString(out, longCount);
            return out;
        }
        const std::size_t countSize = longCount ? 2 : 1;
        if (data.size() < countSize)
            throw broken(QStringLiteral("a string is cut off"));
        const std::size_t count = longCount ? u16(data.data()) : std::uint8_t(data[0]);
        if (data.size() < countSize + count)
            throw broken(QStringLiteral("a string is cut off"));
        return eightBit(data.substr(countSize, count));
    }

    void readGlobals()
    {
        RecordStream records(stream_, 0);
        Record r;
        if (!records.next(r) || r.type != kBof || r.data.size() < 4)
            throw FormatError(QString::fromUtf8(texts::kNotAWorkbook));
        const std::uint16_t version = u16(r.data.data());
        if (version == 0x0500)
            biff8_ = false;
        else if (version != 0x0600)
            throw FormatError(QString::fromUtf8(texts::kOldXlsUnsupported));
        bool sheetFound = false;
        while (records.next(r) && r.type != kEof) {
            switch (r.type) {
            case kFilePass:
                throw FormatError(QString::fromUtf8(texts::kEncrypted));
            case kCodePage:
                need(r, 2);
                setCodePage(u16(r.data.data()));
                break;
            case kDateMode:
                need(r, 2);
                date1904_ = u16(r.data.data()) != 0;
                break;
            case kFormat:
                readFormat(r, records);
                break;
            case kXf:
                need(r, 4);
                xfFormats_.push_back(u16(r.data.data() + 2));
                break;
            case kSst:
                readSharedStrings(r, records);
                break;
            case kBoundSheet:
                if (!sheetFound) {
                    need(r, 6);
                    sheetFound = true;
                    sheetOffset_ = u32(r.data.data());
                    if (std::uint8_t(r.data[5]) != 0) {
                        const std::string name = recordString(r.data.substr(6), {}, false);
                        throw FormatError(QString::fromUtf8(texts::kFirstSheetNotWorksheet)
                                              .arg(QString::fromStdString(name)));
                    }
                }
                break;
            default:
                break;
            }
        }
        if (!sheetFound)
            throw FormatError(QString::fromUtf8(texts::kNoSheet));
    }

    void setCodePage(std::uint16_t page)
    {
        if (page == 1200 || page == 0)
            return;
        if (page == 367)
            codec_ = "US-ASCII";
        else if (page == 10000 || page == 32768)
            codec_ = "macintosh";
        else if (page == 10007)
            codec_ = "x-mac-cyrillic";
        else if (page == 32769)
            codec_ = "windows-1252";
        else
            codec_ = "windows-" + std::to_string(page);
        if (page < 874 && page != 367)
            codec_ = "ibm-" + std::to_string(page);
    }

    void readFormat(const Record &r, RecordStream &records)
    {
        need(r, 3);
        const std::uint16_t index = u16(r.data.data());
        const std::string code = recordString(r.data.substr(2), records.continuations(), biff8_);
        customDate_[index] = isDateFormatCode(QString::fromStdString(code));
    }

    void readSharedStrings(const Record &r, RecordStream &records)
    {
        need(r, 8);
        const std::uint32_t unique = u32(r.data.data() + 4);
        std::vector<std::string_view> segments{r.data.substr(8)};
        for (std::string_view part : records.continuations())
            segments.push_back(part);
        SegmentReader reader(std::move(segments));
        std::string text;
        StringPool &pool = builder_.strings();
        for (std::uint32_t i = 0; i < unique && !reader.atEnd(); ++i) {
            reader.unicodeString(text);
            pool.add(text);
        }
        sharedCount_ = pool.size();
    }

    bool isDateStyle(std::uint16_t xf) const
    {
        if (xf >= xfFormats_.size())
            return false;
        const std::uint16_t format = xfFormats_[xf];
        const auto custom = customDate_.find(format);
        return custom != customDate_.end() ? custom->second : isBuiltinDateFormat(format);
    }

    CellValue numberCell(double v, std::uint16_t xf) const
    {
        return isDateStyle(xf) ? serialToValue(v, date1904_) : CellValue::numberValue(v);
    }

    std::uint32_t errorIndex(std::uint8_t code)
    {
        auto known = errors_.find(code);
        if (known == errors_.end())
            known = errors_.emplace(code, builder_.strings().add(errorText(code))).first;
        return known->second;
    }

    void put(std::uint32_t row, std::uint32_t column, const CellValue &value)
    {
        if (row != row_) {
            builder_.endRow(int(row_) + 1);
            row_ = row;
        }
        if (column >= std::uint32_t(kXlsMaxColumns)) {
            if (value.kind == CellKind::Empty)
                return;
            throw broken(QStringLiteral("a cell lies beyond column %1").arg(kXlsMaxColumns));
        }
        builder_.addCell(int(column) + 1, 1, value);
    }

    CellValue formulaResult(const Record &r, bool &stringFollows)
    {
        const char *result = r.data.data() + 6;
        stringFollows = false;
        if (u16(result + 6) != 0xFFFF)
            return numberCell(f64(result), u16(r.data.data() + 4));
        switch (std::uint8_t(result[0])) {
        case 0:
            stringFollows = true;
            return CellValue::empty();
        case 1:
            return CellValue::booleanValue(result[2] != 0);
        case 2:
            return CellValue::errorValue(errorIndex(std::uint8_t(result[2])));
        default:
            return CellValue::empty();
        }
    }

    void readSheet()
    {
        if (sheetOffset_ >= stream_.size())
            throw broken(QStringLiteral("the first sheet lies outside the stream"));
        RecordStream records(stream_, sheetOffset_);
        Record r;
        if (!records.next(r) || r.type != kBof)
            throw broken(QStringLiteral("the first sheet does not start where the workbook says"));
        int depth = 1;
        bool pendingString = false;
        std::uint32_t pendingRow = 0, pendingColumn = 0;
        while (depth > 0 && records.next(r)) {
            if (r.type == kBof) {
                ++depth; // an embedded chart
                continue;
            }
            if (r.type == kEof) {
                --depth;
                continue;
            }
            if (depth != 1)
                continue;
            const char *d = r.data.data();
            switch (r.type) {
            case kNumber:
                need(r, 14);
                put(u16(d), u16(d + 2), numberCell(f64(d + 6), u16(d + 4)));
                break;
            case kRk:
                need(r, 10);
                put(u16(d), u16(d + 2), numberCell(rkValue(u32(d + 6)), u16(d + 4)));
                break;
            case kMulRk: {
                need(r, 6);
                const std::uint16_t row = u16(d), first = u16(d + 2);
                const std::size_t cells = (r.data.size() - 6) / 6;
                for (std::size_t i = 0; i < cells; ++i)
                    put(row, first + std::uint32_t(i),
                        numberCell(rkValue(u32(d + 4 + 6 * i + 2)), u16(d + 4 + 6 * i)));
                break;
            }
            case kLabelSst: {
                need(r, 10);
                const std::uint32_t index = u32(d + 6);
                if (index >= sharedCount_)
                    throw broken(QStringLiteral("cell (%1, %2) names a shared string that does not exist")
                                     .arg(u16(d) + 1)
                                     .arg(u16(d + 2) + 1));
                put(u16(d), u16(d + 2), CellValue::textValue(index));
                break;
            }
            case kLabel:
            case kRString: {
                need(r, 8);
                const std::string text = recordString(r.data.substr(6), {}, true);
                put(u16(d), u16(d + 2),
                    text.empty() ? CellValue::empty() : CellValue::textValue(builder_.strings().add(text)));
                break;
            }
            case kBoolErr:
                need(r, 8);
                put(u16(d), u16(d + 2),
                    d[7] ? CellValue::errorValue(errorIndex(std::uint8_t(d[6])))
                         : CellValue::booleanValue(d[6] != 0));
                break;
            case kFormula: {
                need(r, 20);
                bool stringFollows;
                const CellValue value = formulaResult(r, stringFollows);
                // A text result follows in a STRING record.
                if (!stringFollows)
                    put(u16(d), u16(d + 2), value);
                pendingString = stringFollows;
                pendingRow = u16(d);
                pendingColumn = u16(d + 2);
                break;
            }
            case kString:
                if (pendingString) {
                    const std::string text = recordString(r.data, records.continuations(), true);
                    put(pendingRow, pendingColumn,
                        text.empty() ? CellValue::empty()
                                     : CellValue::textValue(builder_.strings().add(text)));
                    pendingString = false;
                }
                break;
            case kBlank:
                need(r, 6);
                put(u16(d), u16(d + 2), CellValue::empty());
                break;
            case kMulBlank: {
                need(r, 6);
                const std::size_t cells = (r.data.size() - 6) / 2;
                for (std::size_t i = 0; i < cells; ++i)
                    put(u16(d), u16(d + 2) + std::uint32_t(i), CellValue::empty());
                break;
            }
            default:
                break;
            }
        }
        if (depth > 0)
            throw broken(QStringLiteral("the first sheet ends before its end record"));
        builder_.endRow(int(row_) + 1);
    }

    std::string stream_;
    SheetBuilder builder_;
    bool biff8_ = true;
    bool date1904_ = false;
    std::string codec_ = "windows-1252";
    QStringDecoder decoder_;
    std::string decoderFor_;
    std::vector<std::uint16_t> xfFormats_;
    std::map<std::uint16_t, bool> customDate_;
    std::map<std::uint8_t, std::uint32_t> errors_;
    std::uint32_t sharedCount_ = 0;
    std::uint32_t sheetOffset_ = 0;
    std::uint32_t row_ = 0;
};

} // namespace

SheetStore readXls(const QByteArray &file)
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
    return XlsReader(std::move(*stream)).read();
}

} // namespace rowpour::workbook
