#include "import/MapByHeader.h"

#include "import/SheetOption.h"

#include <QHash>

namespace rowpour
{

QString HeaderKey(const QString &name)
{
    QString text = name.trimmed();
    if (text.size() >= 2 && text.startsWith(QLatin1Char('"')) && text.endsWith(QLatin1Char('"')))
        text = text.mid(1, text.size() - 2);
    QString key;
    key.reserve(text.size());
    for (const QChar c : text) {
        if (!c.isSpace() && c != QLatin1Char('_'))
            key += c;
    }
    return key.toCaseFolded();
}

HeaderMapping MatchHeader(const IMappingCells &mapping, const QStringList &headerCells, int headerRow,
                          HeaderTargets targets)
{
    QHash<QString, int> columnOf;
    for (qsizetype i = headerCells.size() - 1; i >= 0; --i) {
        const QString key = HeaderKey(headerCells[i]);
        if (!key.isEmpty())
            columnOf.insert(key, int(i) + 1);
    }
    HeaderMapping result;
    result.headerRow = headerRow;
    for (int row = 1; row < mapping.rowCount(); ++row) {
        const QString field = mapping.cell(row, ColOraField);
        if (HeaderKey(field).isEmpty())
            continue;
        if (targets == HeaderTargets::EmptyXlsFields && !mapping.cell(row, ColXlsField).trimmed().isEmpty())
            continue;
        ++result.consideredRows;
        const auto found = columnOf.constFind(HeaderKey(field));
        if (found == columnOf.constEnd())
            result.unmatched.append(field);
        else
            result.matched.append({row, field, *found, headerCells[*found - 1]});
    }
    return result;
}

QString DescribeHeaderMapping(const HeaderMapping &result)
{
    QString text = QStringLiteral("Header row %1: %2 of %3 mapping rows matched.")
                       .arg(result.headerRow)
                       .arg(result.matched.size())
                       .arg(result.consideredRows);
    for (const HeaderMatch &match : result.matched)
        text += QStringLiteral("\n%1: column %2 (%3) \"%4\"")
                    .arg(match.oraField)
                    .arg(match.column)
                    .arg(ColumnLetters(match.column), match.header);
    if (!result.unmatched.isEmpty())
        text += QStringLiteral("\nNo header cell names, left as they were: ") +
                result.unmatched.join(QStringLiteral(", "));
    return text;
}

} // namespace rowpour
