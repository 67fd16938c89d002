#pragma once
// The SQL texts of the import: the delete that empties the target table, its
// retry with the table name quoted, the seek for an old record and the insert
// of one spreadsheet row. Values are written in as character literals.

#include "import/CellSource.h"
#include "import/ColumnMapping.h"
#include "platform/OperatorLocale.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace rowpour
{

// Names are written into the statements verbatim, so only identifiers may be:
// a plain one (a letter, then letters, digits, "_", "$" and "#") or one quoted
// identifier (a double quote, text without a double quote, a double quote),
// at most kMaxIdentifierBytes bytes in UTF-8 without the quotes.
inline constexpr int kMaxIdentifierBytes = 128;
bool IsIdentifier(const QString &name);
// The name the data dictionary keeps for an identifier: a plain one in upper
// case, a quoted one without its quotes.
QString DictionaryName(const QString &identifier);

QString DeleteStatement(const QString &table);
QString RetryDeleteStatement(const QString &table);

// The seek and the insert for spreadsheet row `row`, built from the taking-part
// mappings in grid order. They read the mapping cells and the spreadsheet cells
// at the moment of the call. Throw EInvalidInteger (XLS field, number after L)
// and whatever the cell source throws. `locale` gives the short date format
// of the date code.
QString SeekStatement(const QString &table, const IMappingCells &mapping, ICellSource &cells, int row,
                      const platform::OperatorLocale &locale = platform::OperatorLocale::system());
QString InsertStatement(const QString &table, const IMappingCells &mapping, ICellSource &cells, int row,
                        const platform::OperatorLocale &locale = platform::OperatorLocale::system());

// The insert text of InsertStatement for columns `names` with the value texts
// `values` (every column has one).
QString InsertStatementOf(const QString &table, const QStringList &names, const QStringList &values);

// The prepared forms of the insert and of the seek, with the values as bind
// variables :1 .. :n in the order of `names`; the seek counts the rows found.
QString BoundInsertStatement(const QString &table, const QStringList &names);
QString BoundCountStatement(const QString &table, const QStringList &names);

// The value text of one taking-part mapping for a row (without the enclosing
// apostrophes). No value (nullopt) for a processing code that is neither L nor D.
std::optional<QString> ValueText(const TColumnMapping &mapping, ICellSource &cells, int row,
                                 const platform::OperatorLocale &locale = platform::OperatorLocale::system());

} // namespace rowpour
