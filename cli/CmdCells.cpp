// rowpour-batch cells: prints the texts the import would read from a workbook.

#include "cli/Command.h"
#include "import/workbook/Workbook.h"
#include "platform/OperatorLocale.h"

#include <QRegularExpression>

#include <cstdio>
#include <optional>
#include <stdexcept>

namespace rowpour::cli
{

namespace
{

const QString kUsage = QStringLiteral("FILE [--rows A-B] [--cols C-D]");

// A column given as a number (3) or by its letters (C).
int columnNumber(const QString &text)
{
    bool ok = false;
    const int number = text.toInt(&ok);
    if (ok)
        return number;
    static const QRegularExpression letters(QStringLiteral("^[A-Za-z]{1,3}$"));
    if (!letters.match(text).hasMatch())
        throw std::runtime_error(
            QStringLiteral("\"%1\" is neither a column number nor column letters").arg(text).toStdString());
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
            throw std::runtime_error(
                QStringLiteral("%1 wants a range such as 2-10, not \"%2\"").arg(option, text).toStdString());
        return number;
    };
    if (parts.size() == 1)
        return {value(parts[0]), value(parts[0])};
    if (parts.size() != 2)
        throw std::runtime_error(
            QStringLiteral("%1 wants a range such as 2-10, not \"%2\"").arg(option, text).toStdString());
    const std::pair<int, int> r{value(parts[0]), value(parts[1])};
    if (r.second < r.first)
        throw std::runtime_error(
            QStringLiteral("%1: the range %2 runs backwards").arg(option, text).toStdString());
    return r;
}

// Tab, line feed, carriage return and backslash inside a cell as \t, \n, \r, \\.
void appendEscaped(QString &line, const QString &text)
{
    for (QChar c : text) {
        switch (c.unicode()) {
        case u'\t':
            line += QLatin1String("\\t");
            break;
        case u'\n':
            line += QLatin1String("\\n");
            break;
        case u'\r':
            line += QLatin1String("\\r");
            break;
        case u'\\':
            line += QLatin1String("\\\\");
            break;
        default:
            line += c;
        }
    }
}

int run(const QStringList &args)
{
    QString file;
    std::optional<std::pair<int, int>> rows, columns;
    for (int i = 0; i < args.size(); ++i) {
        const QString &arg = args[i];
        if ((arg == QLatin1String("--rows") || arg == QLatin1String("--cols")) && i + 1 < args.size()) {
            const bool isColumns = arg == QLatin1String("--cols");
            (isColumns ? columns : rows) = range(arg, args[++i], isColumns);
        } else if (file.isEmpty() && !arg.startsWith(QLatin1String("--"))) {
            file = arg;
        } else {
            std::fprintf(stderr, "Usage: rowpour-batch cells %s\n", qPrintable(kUsage));
            return 2;
        }
    }
    if (file.isEmpty()) {
        std::fprintf(stderr, "Usage: rowpour-batch cells %s\n", qPrintable(kUsage));
        return 2;
    }
    const auto book = workbook::openWorkbook(file, platform::OperatorLocale::system());
    const workbook::CellRange used = book->usedRange();
    if (used.isEmpty() && (!rows || !columns))
        return 0;
    const auto [firstRow, lastRow] = rows.value_or(std::pair{used.firstRow, used.lastRow});
    const auto [firstColumn, lastColumn] = columns.value_or(std::pair{used.firstColumn, used.lastColumn});
    QString line;
    for (int row = firstRow; row <= lastRow; ++row) {
        line.clear();
        for (int column = firstColumn; column <= lastColumn; ++column) {
            if (column != firstColumn)
                line += QLatin1Char('\t');
            appendEscaped(line, book->cellText(row, column));
        }
        line += QLatin1Char('\n');
        const QByteArray bytes = line.toUtf8();
        std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), stdout);
    }
    return std::fflush(stdout) == 0 ? 0 : 1;
}

const CommandRegistration
    registration({QStringLiteral("cells"), kUsage,
                  QStringLiteral("Prints the text of each cell of the first sheet as the import reads it "
                                 "(default: the used range), tab-separated, one row per line."),
                  run});

} // namespace
} // namespace rowpour::cli
