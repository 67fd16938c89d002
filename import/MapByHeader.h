#pragma once
// Mapping by a header row: the XLS field of a mapping row is the column of
// the sheet whose header cell names its ORA field. Names are compared without
// regard to letter case, blanks and underscores ("Last name" names
// LAST_NAME); every other character, Cyrillic letters too, must be equal.

#include "import/ColumnMapping.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace rowpour
{

struct HeaderMatch {
    int mappingRow = 0; // grid row, from 1
    QString oraField;
    int column = 0; // spreadsheet column, from 1
    QString header; // the header cell's text
};

struct HeaderMapping {
    int headerRow = 0;
    int consideredRows = 0;
    QList<HeaderMatch> matched;
    QStringList unmatched; // ORA fields that no header cell names
};

// The text a name is compared by: case-folded, without blanks and
// underscores; a quoted identifier without its quotes.
QString HeaderKey(const QString &name);

enum class HeaderTargets {
    EveryRow,       // every mapping row with an ORA field
    EmptyXlsFields, // only rows whose XLS field is empty
};

// Matches the mapping rows to the header cells (cell 1 is column 1); when
// two cells name the same field, the leftmost one counts. Nothing is changed.
HeaderMapping MatchHeader(const IMappingCells &mapping, const QStringList &headerCells, int headerRow,
                          HeaderTargets targets);

// What a match did, for the operator: how many rows matched, each match and
// the fields left as they were.
QString DescribeHeaderMapping(const HeaderMapping &result);

} // namespace rowpour
