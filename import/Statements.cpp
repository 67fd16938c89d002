#include "import/Statements.h"

#include "import/CellValue.h"
#include "import/IntegerText.h"

#include <algorithm>

namespace rowpour
{

namespace
{

const QChar kGraveAccent(0x60);

// Apostrophes and double quotes become grave accents, so a value needs no
// escaping between apostrophes.
QString withoutQuotes(QString text)
{
    text.replace(QLatin1Char('\''), kGraveAccent);
    text.replace(QLatin1Char('"'), kGraveAccent);
    return text;
}

// Commas of a cell's text become blanks. A number cell is the exception: its
// only comma is the decimal separator of a locale that writes one, which the
// session reads back as such (a blank in its place would refuse every
// decimal number under such a locale).
QString cellValueText(const TColumnMapping &mapping, ICellSource &cells, int row)
{
    const int column = parseInteger(mapping.XlsField);
    QString text = withoutQuotes(cells.cellText(row, column));
    if (!cells.isNumber(row, column))
        text.replace(QLatin1Char(','), QLatin1Char(' '));
    return text;
}

// A taking-part mapping's column name and its value (absent for an unknown code).
struct ColumnValue {
    QString name;
    std::optional<QString> value;
};

// Reads the grid row by row: Proceed first, the other cells only of taking-part rows.
QList<ColumnValue> takingPartValues(const IMappingCells &mapping, ICellSource &cells, int row,
                                    const platform::OperatorLocale &locale)
{
    QList<ColumnValue> values;
    for (int gridRow = 1; gridRow < mapping.rowCount(); ++gridRow) {
        if (mapping.cell(gridRow, ColProceed) != mapping_texts::kProceedYes)
            continue;
        const TColumnMapping columnMapping = mappingAt(mapping, gridRow);
        values.append({columnMapping.OraField, ValueText(columnMapping, cells, row, locale)});
    }
    return values;
}

// Only a to z are upper-cased: the code letter is compared in ASCII.
QChar asciiUpper(QChar c)
{
    return c >= QLatin1Char('a') && c <= QLatin1Char('z') ? QChar(c.unicode() - 'a' + 'A') : c;
}

QString quoted(const QString &value)
{
    return QLatin1Char('\'') + value + QLatin1Char('\'');
}

} // namespace

bool IsIdentifier(const QString &name)
{
    const auto fitsLength = [](const QString &text) {
        return !text.isEmpty() && text.toUtf8().size() <= kMaxIdentifierBytes;
    };
    if (name.size() >= 2 && name.front() == QLatin1Char('"') && name.back() == QLatin1Char('"')) {
        const QString inner = name.mid(1, name.size() - 2);
        return fitsLength(inner) && !inner.contains(QLatin1Char('"')) && !inner.contains(QChar(0));
    }
    if (!fitsLength(name) || !name.front().isLetter())
        return false;
    return std::all_of(name.begin(), name.end(), [](QChar c) {
        return c.isLetterOrNumber() || c == QLatin1Char('_') || c == QLatin1Char('$') ||
               c == QLatin1Char('#');
    });
}

QString DictionaryName(const QString &identifier)
{
    if (identifier.startsWith(QLatin1Char('"')))
        return identifier.mid(1, identifier.size() - 2);
    return identifier.toUpper();
}

QString DeleteStatement(const QString &table)
{
    return QStringLiteral("delete from ") + table;
}

QString RetryDeleteStatement(const QString &table)
{
    return QStringLiteral("delete from ") + QLatin1Char('"') + table + QLatin1Char('"');
}

std::optional<QString> ValueText(const TColumnMapping &mapping, ICellSource &cells, int row,
                                 const platform::OperatorLocale &locale)
{
    if (!mapping.DefaultValue.isEmpty())
        return withoutQuotes(mapping.DefaultValue);
    const QString cellText = cellValueText(mapping, cells, row);
    if (mapping.ProcessData.isEmpty())
        return cellText;
    const QChar code = asciiUpper(mapping.ProcessData.front());
    const QString rest = mapping.ProcessData.mid(1);
    if (code == QLatin1Char('L'))
        return GetLexeme(parseInteger(rest), cellText, QStringLiteral(" "));
    if (code == QLatin1Char('D'))
        return NormalizeDate(cellText, locale);
    // Any other code yields no value; the statements then leave it out and
    // the database rejects them, so every such row is reported as failed.
    return std::nullopt;
}

// A condition without a value reads "NAME=" and the next still begins with " and ".
QString SeekStatement(const QString &table, const IMappingCells &mapping, ICellSource &cells, int row,
                      const platform::OperatorLocale &locale)
{
    QString conditions;
    bool first = true;
    for (const ColumnValue &column : takingPartValues(mapping, cells, row, locale)) {
        if (!first)
            conditions += QStringLiteral(" and ");
        first = false;
        conditions += column.name + QLatin1Char('=');
        if (column.value)
            conditions += quoted(*column.value);
    }
    return QStringLiteral("select * from ") + table + QStringLiteral(" Where ") + conditions;
}

namespace
{

// A column without a value is listed, but its value and the separator before it
// are left out, so a following value begins with ",".
QString insertText(const QString &table, const QList<ColumnValue> &columns)
{
    QString names;
    QString values;
    bool first = true;
    for (const ColumnValue &column : columns) {
        if (!first)
            names += QLatin1Char(',');
        names += column.name;
        if (column.value) {
            if (!first)
                values += QLatin1Char(',');
            values += quoted(*column.value);
        }
        first = false;
    }
    return QStringLiteral("insert into ") + table + QLatin1Char('(') + names + QStringLiteral(") values (") +
           values + QLatin1Char(')');
}

} // namespace

QString InsertStatement(const QString &table, const IMappingCells &mapping, ICellSource &cells, int row,
                        const platform::OperatorLocale &locale)
{
    return insertText(table, takingPartValues(mapping, cells, row, locale));
}

QString InsertStatementOf(const QString &table, const QStringList &names, const QStringList &values)
{
    QList<ColumnValue> columns;
    for (qsizetype i = 0; i < names.size(); ++i)
        columns.append({names[i], values.value(i)});
    return insertText(table, columns);
}

QString BoundInsertStatement(const QString &table, const QStringList &names)
{
    QStringList placeholders;
    for (qsizetype i = 1; i <= names.size(); ++i)
        placeholders.append(QStringLiteral(":%1").arg(i));
    return QStringLiteral("insert into ") + table + QLatin1Char('(') + names.join(QLatin1Char(',')) +
           QStringLiteral(") values (") + placeholders.join(QLatin1Char(',')) + QLatin1Char(')');
}

QString BoundCountStatement(const QString &table, const QStringList &names)
{
    QStringList conditions;
    for (qsizetype i = 0; i < names.size(); ++i)
        conditions.append(names[i] + QStringLiteral("=:%1").arg(i + 1));
    return QStringLiteral("select count(*) from ") + table + QStringLiteral(" Where ") +
           conditions.join(QStringLiteral(" and "));
}

} // namespace rowpour
