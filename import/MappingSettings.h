#pragma once
// The mapping settings file: an INI text file whose section "Rows" holds one
// entry per mapping row (Row1=..., Row2=...), the six cells joined by ",".
// The INI functions follow the usual profile-file rules: section and key names
// match without regard to case, values are trimmed and lose one pair of
// enclosing quotes, a write replaces an entry in place or adds it after the
// last entry of its section, and leaves every other line as it was. Unlike the
// classic profile functions they read every key and value whole, whatever its
// length, and write the file atomically.

#include "import/ColumnMapping.h"
#include "import/ImportTexts.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <stdexcept>
#include <utility>

namespace rowpour
{

// A settings file could not be written; what() is "Unable to write to <file>" (UTF-8).
class EIniWriteError : public std::runtime_error
{
public:
    explicit EIniWriteError(const QString &fileName);
};

// The entries of `section` in file order, each "key=value"; an absent file or
// section gives an empty list.
QStringList ReadIniSection(const QString &fileName, const QString &section);
// The same, into `list` (emptied first).
void ReadIniSection(const QString &fileName, const QString &section, QStringList &list);

// Writes one entry; creates the file and the section when absent. Throws EIniWriteError.
void WriteIniValue(const QString &fileName, const QString &section, const QString &key, const QString &value);
// Writes several entries of one section in a single atomic rewrite, with the
// same result as writing them one by one. Nothing is written for an empty list.
void WriteIniValues(const QString &fileName, const QString &section,
                    const QList<std::pair<QString, QString>> &entries);

// Saves mapping rows 1..rowCount()-1 as Row1..RowN into section "Rows" and,
// when a sheet name is given, the name into section "Workbook" (one atomic
// write). Entries of the file beyond them are kept. Throws EIniWriteError.
void SaveMapping(const QString &fileName, const IMappingCells &cells, const QString &sheetName = {});
// Loads the entries of section "Rows" in file order, whatever their key names,
// one mapping per entry (fields split at ","; missing fields empty, extra ones
// ignored). An absent file or section gives no rows.
QList<TColumnMapping> LoadMapping(const QString &fileName);
// The sheet name a mapping was saved with; empty when it has none.
QString LoadMappingSheet(const QString &fileName);

} // namespace rowpour
