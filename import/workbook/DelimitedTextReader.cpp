// Delimited text (csv, tsv, semicolon-separated): every field is a text cell.

#include "import/workbook/Readers.h"
#include "import/workbook/TextCodec.h"
#include "import/workbook/WorkbookErrors.h"

#include <QStringDecoder>

#include <algorithm>
#include <array>

namespace rowpour::workbook
{

namespace
{

constexpr int kSampleRecords = 50;
// Checked in this order: a tab or semicolon that splits every line evenly
// wins over commas, which semicolon files use as decimal separators.
constexpr std::array<char, 4> kDelimiters = {'\t', ';', ',', '|'};

// The file's text as UTF-8: UTF-8 with or without byte order mark, UTF-16
// with one, and otherwise Windows-1251.
std::string toUtf8(const QByteArray &file)
{
    if (file.startsWith("\xEF\xBB\xBF"))
        return file.sliced(3).toStdString();
    const char *codec = nullptr;
    if (file.startsWith("\xFF\xFE"))
        codec = "UTF-16LE";
    else if (file.startsWith("\xFE\xFF"))
        codec = "UTF-16BE";
    else if (isValidUtf8(std::string_view(file.constData(), std::size_t(file.size()))))
        return file.toStdString();
    else
        codec = "windows-1251";
    QStringDecoder decoder(codec, QStringDecoder::Flag::Stateless);
    QString text = decoder.decode(codec[0] == 'U' ? file.sliced(2) : file);
    if (decoder.hasError())
        throw damaged(QStringLiteral("the text is not valid %1").arg(QString::fromLatin1(codec)));
    return text.toUtf8().toStdString();
}

// How often `delimiter` occurs outside quotes in each of the first records.
std::vector<int> countsPerRecord(std::string_view text, char delimiter)
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
    if (counts.size() > 1 && counts.back() == 0)
        counts.pop_back(); // the line end of the last record, or a cut-off sample
    return counts;
}

char detectDelimiter(std::string_view text)
{
    char best = 0;
    long bestTotal = 0;
    for (char d : kDelimiters) {
        const std::vector<int> counts = countsPerRecord(text, d);
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

class RecordParser
{
public:
    RecordParser(std::string_view text, char delimiter, SheetBuilder &builder)
        : text_(text), delimiter_(delimiter), builder_(builder)
    {
    }

    void run()
    {
        while (pos_ < text_.size()) {
            int column = 1;
            for (;;) {
                const bool more = field();
                if (!field_.empty())
                    builder_.addCell(column, 1, CellValue::textValue(builder_.strings().add(field_)));
                if (!more)
                    break;
                ++column;
            }
            builder_.endRow(row_++);
        }
    }

private:
    // Reads one field into field_; true when another field of the record follows.
    bool field()
    {
        field_.clear();
        if (pos_ < text_.size() && text_[pos_] == '"') {
            const int startLine = line_;
            ++pos_;
            for (;;) {
                const std::size_t quote = text_.find('"', pos_);
                if (quote == std::string_view::npos)
                    throw damaged(
                        QStringLiteral("the quoted field starting on line %1 never ends").arg(startLine));
                appendCountingLines(text_.substr(pos_, quote - pos_));
                pos_ = quote + 1;
                if (pos_ < text_.size() && text_[pos_] == '"') {
                    field_ += '"';
                    ++pos_;
                    continue;
                }
                break;
            }
        }
        // Unquoted text, or what follows a closing quote, up to the delimiter.
        while (pos_ < text_.size()) {
            const char c = text_[pos_];
            if (c == delimiter_ && delimiter_ != 0) {
                ++pos_;
                return true;
            }
            if (c == '\n' || c == '\r') {
                pos_ += (c == '\r' && pos_ + 1 < text_.size() && text_[pos_ + 1] == '\n') ? 2 : 1;
                ++line_;
                return false;
            }
            field_ += c;
            ++pos_;
        }
        return false;
    }

    void appendCountingLines(std::string_view piece)
    {
        field_.append(piece);
        line_ += int(std::count(piece.begin(), piece.end(), '\n'));
    }

    std::string_view text_;
    char delimiter_;
    SheetBuilder &builder_;
    std::size_t pos_ = 0;
    int row_ = 1;
    int line_ = 1;
    std::string field_;
};

} // namespace

SheetStore readDelimitedText(const QByteArray &file)
{
    const std::string text = toUtf8(file);
    SheetBuilder builder(kTextMaxRows, kTextMaxColumns);
    RecordParser(text, detectDelimiter(text), builder).run();
    return builder.finish();
}

} // namespace rowpour::workbook
