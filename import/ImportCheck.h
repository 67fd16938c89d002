#pragma once
// The check before any change: reads every selected row as the import run
// would, applies the processing codes and defaults, and judges each value
// against the target table's columns as the session would convert it. It
// reports, per row, every column the table would refuse, and changes nothing
// in the database (it reads the dictionary and the session's settings only).
// What it cannot know: unique keys, check constraints, triggers.

#include "import/ColumnRules.h"
#include "import/ImportRun.h"
#include "import/ImportTexts.h"

#include <QDate>
#include <QList>
#include <QString>

namespace rowpour
{

// The dictionary side of the check.
class ITableDictionary
{
public:
    virtual ~ITableDictionary() = default;
    // The columns of the user's table in column order, as the data
    // dictionary keeps its name; empty when the user has no such table.
    virtual QList<TableColumn> describeTable(const QString &dictionaryName) = 0;
    // How the session converts texts to values.
    virtual SessionConversions sessionConversions() = 0;
};

// Where the check's report goes: the errors window, or the errors file.
class ICheckReport
{
public:
    virtual ~ICheckReport() = default;
    virtual void heading(const QString &text) = 0;
    // The row's entry as the import logs a failed row ("/" row "/" insert
    // CR LF), and one line per refused column.
    virtual void rowFaults(const QString &entry, const QString &faults) = 0;
    // "N rows would fail", and any notes after it.
    virtual void summary(const QString &text) = 0;
};

struct CheckResult {
    bool validated = false; // false: the mapping was invalid and nothing ran
    bool stopped = false;   // ended early because stopRequested() said so
    qint64 selected = 0;
    qint64 wouldFail = 0;
};

// Runs the check. Validation and the checks before any change work as in the
// import run (the same messages); the rows are reported through `report`.
// Throws (what() = the message) when the workbook cannot be read further on.
// `today` places two-digit years and stands for the parts a date leaves out.
CheckResult RunCheck(const ImportOptions &options, IImportSurroundings &surroundings,
                     IImportDatabase &database, ITableDictionary &dictionary, ICheckReport &report,
                     const platform::OperatorLocale &locale = platform::OperatorLocale::system(),
                     const QDate &today = QDate::currentDate());

} // namespace rowpour
