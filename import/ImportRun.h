#pragma once
// The import run: validates the mapping, optionally empties the target table,
// then walks the chosen spreadsheet rows, skipping rows already in the table
// (seek) and inserting the others one statement per row. The desktop window
// and rowpour-batch each implement the two interfaces below, so both run the
// very same engine.

#include "import/CellSource.h"
#include "import/ColumnMapping.h"
#include "import/ImportTexts.h"
#include "import/workbook/SheetRows.h"
#include "oracle/DesktopServices.h"
#include "platform/OperatorLocale.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

namespace rowpour
{

using oracle::MessageIcon;
// What a message of a run is: the receiver tells them apart by this, not by the caption.
enum class MessageKind { Error, Validation, Summary };

// The options read once at the start of a run.
struct ImportOptions {
    QString fileName;     // the workbook path as typed, quotes included
    QString startRowText; // first row, as typed
    QString endRowText;   // last row, as typed; also shown in the progress label
    bool deleteFirst = false;
    // Rows per execution of the array insert; 0 sends one statement per row.
    int arrayRows = 0;
};

class IArrayInsertDatabase;

// The database side of a run: the statement object that runs the delete and
// the inserts, and the result set that runs the seek and lists the columns.
class IImportDatabase
{
public:
    virtual ~IImportDatabase() = default;
    // Runs a delete or an insert. Throws (what() = the database's message) when it is rejected.
    virtual void execute(const QString &statement) = 0;
    // Opens the seek select, returns its record count and closes it again. Throws when rejected.
    virtual int countRecords(const QString &select) = 0;
    // The column names of the user's table as the data dictionary keeps its
    // name; empty when the user has no such table. Throws when the listing is rejected.
    virtual QStringList tableColumns(const QString &dictionaryName) = 0;
    // Marks the point that a run which cannot go on returns to, and returns
    // there; the transaction stays open, with what came before the mark.
    virtual void setSavepoint() = 0;
    virtual void rollbackToSavepoint() = 0;
    // The array insert on the same session; null when the session cannot bind values.
    virtual IArrayInsertDatabase *arrayInsert() { return nullptr; }
};

// The sheet a run reads: its cell texts and the largest row and column
// numbers its file format allows.
class IImportSheet : public ICellSource
{
public:
    virtual int lastRow() const = 0;
    virtual int lastColumn() const = 0;
};

// The chosen sheet of the workbook file (the first unless another is chosen);
// throws with the reader's message when it cannot be read.
std::unique_ptr<IImportSheet> OpenImportSheet(const QString &fileName, const platform::OperatorLocale &locale,
                                              const workbook::SheetChoice &sheet = {});

// Everything else the run needs of its surroundings.
class IImportSurroundings
{
public:
    virtual ~IImportSurroundings() = default;
    // The mapping grid as it is at the moment of the call.
    virtual const IMappingCells &mapping() = 0;
    // The target table and the seek switch, read anew for every row.
    virtual QString tableName() = 0;
    virtual bool seekOldRecords() = 0;

    virtual void showMessage(MessageKind kind, const QString &caption, const QString &text,
                             MessageIcon icon) = 0;
    // The progress popup around the delete; runBusy runs a database call so that
    // the popup keeps animating while it waits (or simply calls it).
    virtual void showProgress(const QString &text) = 0;
    virtual void hideProgress() = 0;
    virtual void runBusy(const std::function<void()> &call) { call(); }

    // The row progress: range (maximum set first), position, counter label.
    virtual void setProgressRange(int minimum, int maximum) = 0;
    virtual void setProgressPosition(int position) = 0;
    virtual void setProgressLabel(const QString &text) = 0;
    // Lets the user interface handle pending events once per row.
    virtual void processEvents() = 0;
    // True when the run must end after the current row (the window is closing).
    virtual bool stopRequested() { return false; }

    // One entry of the errors log ("/" row "/" statement CR LF) and the
    // database's message for it; shown at the end when rows failed.
    virtual void appendErrorEntry(const QString &entry, const QString &databaseMessage) = 0;
    virtual void showErrors() = 0;

    // Opens the workbook; throws with the reader's message when it cannot.
    virtual std::unique_ptr<IImportSheet> openWorkbook(const QString &fileName) = 0;
};

struct ImportResult {
    bool validated = false;    // false: the mapping was invalid and nothing ran
    bool stopped = false;      // ended early because stopRequested() said so; nothing of it kept
    bool deleteFailed = false; // both deletes were rejected; the rows were loaded anyway
    QString deleteFailure;     // the database's message for the first delete
    qint64 selected = 0;       // up to 2^32 rows for the widest range of 32-bit row numbers
    int inserted = 0;
    int skipped = 0;
    int failed = 0;
    bool errors = false;
};

// The rows and the sheet of a run that passed every check before any change.
struct CheckedRange {
    int startRow = 0;
    int endRow = 0;
    std::unique_ptr<IImportSheet> sheet;
};

// Everything that would end a run, checked before anything is changed: the
// row numbers, the table and its columns, the mapping, the workbook. Throws
// with the message naming the value at fault. The import run and the check
// of the rows start with it.
CheckedRange CheckBeforeAnyChange(const ImportOptions &options, IImportSurroundings &surroundings,
                                  IImportDatabase &database);

// Runs one import. Everything that would end the run is checked before the
// first change (row numbers, the table and its columns, the mapping, the
// workbook, the first row's seek), and a failure then is thrown as an
// exception whose what() is the message to show. The run sets a savepoint
// before its first change: an error after it, or a stop, rolls back to it, so
// the table is as it was before the run (earlier runs of the session stay);
// the message of such an error says so (kNothingKept).
ImportResult RunImport(const ImportOptions &options, IImportSurroundings &surroundings,
                       IImportDatabase &database,
                       const platform::OperatorLocale &locale = platform::OperatorLocale::system());

// The progress label of a row: "row/end/failed/skipped".
QString ProgressLabel(qint64 row, const QString &endRowText, int failed, int skipped);

// The summary message box text and icon for a finished run: the two fixed
// lines, then the line with the skipped rows.
QString SummaryText(const ImportResult &result);
MessageIcon SummaryIcon(const ImportResult &result);

} // namespace rowpour
