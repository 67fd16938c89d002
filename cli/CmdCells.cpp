// rowpour-batch cells: prints the texts the import would read from a workbook.

#include "cli/CliTexts.h"
#include "cli/Command.h"
#include "import/SheetOption.h"
#include "import/workbook/Workbook.h"
#include "platform/OperatorLocale.h"

#include <QRegularExpression>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <stdexcept>

namespace rowpour::cli
{

namespace
{

// A column given as a number (3) or by its letters (C).
int columnNumber(const QString &text)
{
    bool ok = false;
    const int number = text.toInt(&ok);
    if (ok)
        return number;
    static const QRegularExpression letters(QStringLiteral("^[A-Za-z]{1,3}$"));
    if (!letters.match(text).hasMatch())
        throw std::runtime_error(QString::fromUtf8(texts::NotAColumn).arg(text).toStdString());
    int column = 0;
    for (QChar c : text.toUpper())
        column = column * 26 + (c.unicode() - u'A' + 1);
    return column;
}

// "A-B" or a single "A".
std::pair<int, int> range(const QString &option, const QString &text, bool columns)
{
    const QStringList parts = text.split(QLatin1Char('-'));
    const auto value = [&](const QString &part) {
        if (columns)
            return columnNumber(part.trimmed());
        bool ok = false;
        const int number = part.trimmed().toInt(&ok);
        if (!ok)
            throw std::runtime_error(QString::fromUtf8(texts::RangeWanted).arg(option, text).toStdString());
        return number;
    };
    if (parts.size() == 1)
        return {value(parts[0]), value(parts[0])};
    if (parts.size() != 2)
        throw std::runtime_error(QString::fromUtf8(texts::RangeWanted).arg(option, text).toStdString());
    const std::pair<int, int> r{value(parts[0]), value(parts[1])};
    if (r.second < r.first)
        throw std::runtime_error(QString::fromUtf8(texts::RangeBackwards).arg(option, text).toStdString());
    return r;
}

// Standard output, written in large pieces; a cell's text is escaped and
// converted piece by piece, so a long text is never copied whole.
class Output
{
public:
    // Tab, line feed, carriage return and backslash inside a cell as \t, \n, \r, \\.
    void appendEscaped(const QString &text)
    {
        constexpr qsizetype kPiece = 16384;
        for (qsizetype at = 0; at < text.size();) {
            qsizetype end = std::min(text.size(), at + kPiece);
            if (end < text.size() && text[end - 1].isHighSurrogate())
                --end; // keep a surrogate pair together
            escaped_.clear();
            for (QChar c : QStringView(text).sliced(at, end - at)) {
                switch (c.unicode()) {
                case u'\t':
                    escaped_ += QLatin1String("\\t");
                    break;
                case u'\n':
                    escaped_ += QLatin1String("\\n");
                    break;
                case u'\r':
                    escaped_ += QLatin1String("\\r");
                    break;
                case u'\\':
                    escaped_ += QLatin1String("\\\\");
                    break;
                default:
                    escaped_ += c;
                }
            }
            buffer_ += escaped_.toUtf8();
            flushIfFull();
            at = end;
        }
    }
    void append(char c)
    {
        buffer_ += c;
        flushIfFull();
    }
    bool finish()
    {
        write();
        return ok_ && std::fflush(stdout) == 0;
    }

private:
    void flushIfFull()
    {
        if (buffer_.size() >= 65536)
            write();
    }
    void write()
    {
        if (!buffer_.isEmpty() && std::fwrite(buffer_.constData(), 1, std::size_t(buffer_.size()), stdout) !=
                                      std::size_t(buffer_.size()))
            ok_ = false;
        buffer_.clear();
    }

    QByteArray buffer_;
    QString escaped_;
    bool ok_ = true;
};

int usage()
{
    const QString line = QString::fromUtf8(texts::CommandUsage)
                             .arg(QStringLiteral("cells"), QString::fromUtf8(texts::CellsUsage));
    std::fprintf(stderr, "%s\n", qPrintable(line));
    return 2;
}

int run(const QStringList &args)
{
    QString file;
    std::optional<QString> sheet;
    std::optional<std::pair<int, int>> rows, columns;
    for (int i = 0; i < args.size(); ++i) {
        const QString &arg = args[i];
        if ((arg == QLatin1String("--rows") || arg == QLatin1String("--cols")) && i + 1 < args.size()) {
            const bool isColumns = arg == QLatin1String("--cols");
            (isColumns ? columns : rows) = range(arg, args[++i], isColumns);
        } else if (arg == QLatin1String("--sheet") && i + 1 < args.size()) {
            sheet = args[++i];
        } else if (file.isEmpty() && !arg.startsWith(QLatin1String("--"))) {
            file = arg;
        } else {
            return usage();
        }
    }
    if (file.isEmpty())
        return usage();
    const workbook::SheetChoice choice =
        sheet ? SheetChoiceFromText(*sheet, workbook::listSheets(file)) : workbook::SheetChoice{};
    const auto book = workbook::openWorkbook(file, platform::OperatorLocale::system(), choice);
    // The used range costs a pass over the sheet: only when a range is not given.
    if (!rows || !columns) {
        const workbook::CellRange used = book->usedRange();
        if (used.isEmpty())
            return 0;
        rows = rows.value_or(std::pair{used.firstRow, used.lastRow});
        columns = columns.value_or(std::pair{used.firstColumn, used.lastColumn});
    }
    const auto [firstRow, lastRow] = *rows;
    const auto [firstColumn, lastColumn] = *columns;
    Output out;
    for (int row = firstRow; row <= lastRow; ++row) {
        for (int column = firstColumn; column <= lastColumn; ++column) {
            if (column != firstColumn)
                out.append('\t');
            out.appendEscaped(book->cellText(row, column));
        }
        out.append('\n');
    }
    return out.finish() ? 0 : 1;
}

const CommandRegistration registration({QStringLiteral("cells"), QString::fromUtf8(texts::CellsUsage),
                                        QString::fromUtf8(texts::CellsSummary), run});

} // namespace
} // namespace rowpour::cli
