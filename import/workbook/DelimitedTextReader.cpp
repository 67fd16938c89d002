// Delimited text (csv, tsv, semicolon-separated): every field is a text cell.
// The file is read forward in pieces: once at open to tell its encoding and
// delimiter, then as often as its rows are read, so a large file costs a
// buffer, not its size.

#include "import/workbook/Readers.h"
#include "import/workbook/TextCodec.h"
#include "import/workbook/WorkbookErrors.h"

#include <QStringDecoder>

#include <algorithm>
#include <array>
#include <cstring>

namespace rowpour::workbook
{

namespace
{

constexpr std::size_t kChunk = 65536;
constexpr int kSampleRecords = 50;
constexpr std::size_t kSampleBytes = std::size_t(1) << 20;
// Checked in this order: a tab or semicolon that splits every line evenly
// wins over commas, which semicolon files use as decimal separators.
constexpr std::array<char, 4> kDelimiters = {'\t', ';', ',', '|'};

enum class TextEncoding { Utf8, Utf16LE, Utf16BE, Windows1251 };

// Whether the whole text is UTF-8, read piece by piece; a character split
// between two pieces is checked with the next one.
bool isUtf8Throughout(ByteSource &source)
{
    std::vector<char> buffer(kChunk + 4);
    std::size_t carried = 0;
    for (;;) {
        const std::size_t n = source.read(buffer.data() + carried, kChunk);
        const std::size_t size = carried + n;
        if (n == 0)
            return isValidUtf8(std::string_view(buffer.data(), size));
        // The start of the last character, when it may be incomplete.
        std::size_t cut = size;
        for (std::size_t back = 1; back <= 3 && back <= size; ++back) {
            const auto c = static_cast<unsigned char>(buffer[size - back]);
            if ((c & 0xC0) != 0x80) {
                if (c >= 0xC0)
                    cut = size - back;
                break;
            }
        }
        if (!isValidUtf8(std::string_view(buffer.data(), cut)))
            return false;
        carried = size - cut;
        std::memmove(buffer.data(), buffer.data() + cut, carried);
    }
}

// UTF-8 with or without byte order mark, UTF-16 with one, and otherwise
// Windows-1251.
TextEncoding detectEncoding(const ByteSourceOpener &open)
{
    char head[3] = {};
    std::size_t got = 0;
    {
        const auto source = open();
        while (got < sizeof head) {
            const std::size_t n = source->read(head + got, sizeof head - got);
            if (n == 0)
                break;
            got += n;
        }
    }
    const std::string_view h(head, got);
    if (h.starts_with("\xEF\xBB\xBF"))
        return TextEncoding::Utf8;
    if (h.starts_with("\xFF\xFE"))
        return TextEncoding::Utf16LE;
    if (h.starts_with("\xFE\xFF"))
        return TextEncoding::Utf16BE;
    const auto source = open();
    return isUtf8Throughout(*source) ? TextEncoding::Utf8 : TextEncoding::Windows1251;
}

// The text of the file as UTF-8, without a byte order mark.
class Utf8Text : public ByteSource
{
public:
    Utf8Text(std::unique_ptr<ByteSource> raw, TextEncoding encoding)
        : raw_(std::move(raw)), encoding_(encoding)
    {
        if (encoding == TextEncoding::Utf16LE)
            decoder_ = QStringDecoder(QStringConverter::Utf16LE);
        else if (encoding == TextEncoding::Utf16BE)
            decoder_ = QStringDecoder(QStringConverter::Utf16BE);
        else if (encoding == TextEncoding::Windows1251)
            decoder_ = QStringDecoder("windows-1251");
    }

    std::size_t read(char *buffer, std::size_t size) override
    {
        while (pos_ == pending_.size())
            if (!decodeMore())
                return 0;
        const std::size_t n = std::min(size, pending_.size() - pos_);
        std::memcpy(buffer, pending_.data() + pos_, n);
        pos_ += n;
        return n;
    }

private:
    bool decodeMore()
    {
        pending_.resize(kChunk);
        pos_ = 0;
        const std::size_t n = raw_->read(pending_.data(), kChunk);
        pending_.resize(n);
        if (encoding_ != TextEncoding::Utf8) {
            const QString text = decoder_.decode(QByteArrayView(pending_.data(), qsizetype(n)));
            if (decoder_.hasError())
                throw damaged(QStringLiteral("the text is not valid %1").arg(encodingName()));
            pending_ = text.toUtf8().toStdString();
        } else if (!started_ && std::string_view(pending_).starts_with("\xEF\xBB\xBF")) {
            pos_ = 3;
        }
        started_ = true;
        return n != 0;
    }

    QString encodingName() const
    {
        return encoding_ == TextEncoding::Utf16LE   ? QStringLiteral("UTF-16LE")
               : encoding_ == TextEncoding::Utf16BE ? QStringLiteral("UTF-16BE")
                                                    : QStringLiteral("windows-1251");
    }

    std::unique_ptr<ByteSource> raw_;
    TextEncoding encoding_;
    QStringDecoder decoder_;
    std::string pending_;
    std::size_t pos_ = 0;
    bool started_ = false;
};

// How often `delimiter` occurs outside quotes in each of the first records.
std::vector<int> countsPerRecord(std::string_view text, char delimiter, bool cutOff)
{
    std::vector<int> counts(1, 0);
    bool quoted = false;
    for (std::size_t i = 0; i < text.size() && counts.size() <= std::size_t(kSampleRecords); ++i) {
        const char c = text[i];
        if (c == '"')
            quoted = !quoted;
        else if (quoted)
            continue;
        else if (c == delimiter)
            ++counts.back();
        else if (c == '\n' || c == '\r') {
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
            counts.push_back(0);
        }
    }
    if (counts.size() > 1 && (counts.back() == 0 || cutOff))
        counts.pop_back(); // the line end of the last record, or a record the sample cuts off
    return counts;
}

char detectDelimiter(std::string_view text, bool cutOff)
{
    char best = 0;
    long bestTotal = 0;
    for (char d : kDelimiters) {
        const std::vector<int> counts = countsPerRecord(text, d, cutOff);
        const bool even = counts.front() > 0 && std::all_of(counts.begin(), counts.end(),
                                                            [&](int n) { return n == counts.front(); });
        if (even)
            return d;
        long total = 0;
        for (int n : counts)
            total += n;
        if (total > bestTotal)
            best = d, bestTotal = total;
    }
    return best;
}

class RecordRows : public SheetRows
{
public:
    RecordRows(std::unique_ptr<ByteSource> text, char delimiter)
        : text_(std::move(text)), delimiter_(delimiter), row_(kTextMaxRows, kTextMaxColumns), buffer_(kChunk)
    {
    }

    bool next(RowBlock &block) override
    {
        while (pos_ < end_ || refill()) {
            readRecord();
            if (row_.finish(block, rowNumber_++))
                return true;
        }
        return false;
    }

private:
    bool refill()
    {
        pos_ = 0;
        end_ = text_->read(buffer_.data(), buffer_.size());
        return end_ != 0;
    }

    void readRecord()
    {
        for (int column = 1;; ++column) {
            const bool more = field();
            if (!field_.empty())
                addBufferedText(row_, column, 1, field_);
            if (!more)
                return;
        }
    }

    // Reads one field into field_; true when another field of the record follows.
    bool field()
    {
        field_.clear();
        if ((pos_ < end_ || refill()) && buffer_[pos_] == '"') {
            ++pos_;
            quotedPart();
        }
        // Unquoted text, or what follows a closing quote, up to the delimiter.
        for (;;) {
            if (pos_ == end_ && !refill())
                return false;
            const std::size_t start = pos_;
            while (pos_ < end_) {
                const char c = buffer_[pos_];
                if (c == delimiter_ && delimiter_ != 0) {
                    field_.append(std::string_view(buffer_.data() + start, pos_ - start));
                    ++pos_;
                    return true;
                }
                if (c == '\n' || c == '\r') {
                    field_.append(std::string_view(buffer_.data() + start, pos_ - start));
                    ++pos_;
                    if (c == '\r' && (pos_ < end_ || refill()) && buffer_[pos_] == '\n')
                        ++pos_;
                    ++line_;
                    return false;
                }
                ++pos_;
            }
            field_.append(std::string_view(buffer_.data() + start, pos_ - start));
        }
    }

    // A quoted field's text up to its closing quote; "" is a quote.
    void quotedPart()
    {
        const int startLine = line_;
        for (;;) {
            if (pos_ == end_ && !refill())
                throw damaged(
                    QStringLiteral("the quoted field starting on line %1 never ends").arg(startLine));
            const char *begin = buffer_.data() + pos_;
            const void *quote = std::memchr(begin, '"', end_ - pos_);
            const std::size_t length =
                quote ? std::size_t(static_cast<const char *>(quote) - begin) : end_ - pos_;
            const std::string_view piece(begin, length);
            field_.append(piece);
            line_ += int(std::count(piece.begin(), piece.end(), '\n'));
            pos_ += length;
            if (quote == nullptr)
                continue;
            ++pos_;
            if ((pos_ < end_ || refill()) && buffer_[pos_] == '"') {
                field_.append('"');
                ++pos_;
                continue;
            }
            return;
        }
    }

    std::unique_ptr<ByteSource> text_;
    char delimiter_;
    RowAssembler row_;
    std::vector<char> buffer_;
    std::size_t pos_ = 0;
    std::size_t end_ = 0;
    std::int64_t rowNumber_ = 1;
    int line_ = 1;
    CellTextBuffer field_;
};

class DelimitedTextSource : public SheetSource
{
public:
    explicit DelimitedTextSource(ByteSourceOpener open)
        : SheetSource(WorkbookFormat::DelimitedText, kTextMaxRows, kTextMaxColumns), open_(std::move(open)),
          encoding_(detectEncoding(open_))
    {
        Utf8Text text(open_(), encoding_);
        std::string sample;
        std::vector<char> piece(kChunk);
        while (sample.size() < kSampleBytes) {
            const std::size_t n =
                text.read(piece.data(), std::min(piece.size(), kSampleBytes - sample.size()));
            if (n == 0)
                break;
            sample.append(piece.data(), n);
        }
        delimiter_ = detectDelimiter(sample, sample.size() == kSampleBytes);
    }

    std::unique_ptr<SheetRows> rows() const override
    {
        return std::make_unique<RecordRows>(std::make_unique<Utf8Text>(open_(), encoding_), delimiter_);
    }

private:
    ByteSourceOpener open_;
    TextEncoding encoding_;
    char delimiter_ = 0;
};

} // namespace

std::unique_ptr<SheetSource> openDelimitedText(ByteSourceOpener open)
{
    return std::make_unique<DelimitedTextSource>(std::move(open));
}

} // namespace rowpour::workbook
