#include "import/ImportRun.h"

#include "import/ArrayImport.h"
#include "import/IntegerText.h"
#include "import/Statements.h"

#include <exception>
#include <optional>
#include <stdexcept>
#include <utility>
#include <vector>

namespace rowpour
{

namespace
{

QString messageOf(const std::exception &e)
{
    return QString::fromUtf8(e.what());
}

// Hides the progress popup on every way out of the delete step.
class ProgressPopup
{
public:
    ProgressPopup(IImportSurroundings &surroundings, const QString &text) : surroundings_(surroundings)
    {
        surroundings_.showProgress(text);
    }
    ~ProgressPopup() { surroundings_.hideProgress(); }
    ProgressPopup(const ProgressPopup &) = delete;
    ProgressPopup &operator=(const ProgressPopup &) = delete;

private:
    IImportSurroundings &surroundings_;
};

// Runs one delete; the database's message when it is rejected.
std::optional<QString> rejectionOf(IImportSurroundings &surroundings, IImportDatabase &database,
                                   const QString &statement)
{
    try {
        surroundings.runBusy([&] { database.execute(statement); });
        return std::nullopt;
    } catch (const std::exception &e) {
        return messageOf(e);
    }
}

// Empties the target table: the plain delete, then the delete with the table
// name quoted; when both fail the operator is told why (the first delete's
// reason) and the run goes on. The popup is gone before the message box shows,
// so it never covers the box.
void deleteOldRows(IImportSurroundings &surroundings, IImportDatabase &database, ImportResult &result)
{
    const QString table = surroundings.tableName();
    const QString retry = RetryDeleteStatement(table);
    {
        ProgressPopup popup(surroundings, import_texts::kDeleteProgress + table);
        const std::optional<QString> reason = rejectionOf(surroundings, database, DeleteStatement(table));
        if (!reason || !rejectionOf(surroundings, database, retry))
            return;
        result.deleteFailed = true;
        result.deleteFailure = reason->trimmed();
    }
    surroundings.showMessage(import_texts::kErrorCaption,
                             import_texts::kNotExecuted + retry + import_texts::kLineEnd +
                                 result.deleteFailure,
                             MessageIcon::Error);
}

[[noreturn]] void refuse(const QString &message)
{
    throw std::runtime_error(message.toStdString());
}

// A mapping that takes part, with the spreadsheet column it reads (none when
// its default value stands for every row).
struct TakingPart {
    int gridRow = 0;
    TColumnMapping mapping;
    std::optional<int> xlsColumn;
};

// Only a to z are upper-cased: the code letter is compared in ASCII.
QChar asciiUpper(QChar c)
{
    return c >= QLatin1Char('a') && c <= QLatin1Char('z') ? QChar(c.unicode() - 'a' + 'A') : c;
}

void checkProcessingCode(const TColumnMapping &m)
{
    if (m.ProcessData.isEmpty())
        return;
    const QChar code = asciiUpper(m.ProcessData.front());
    if (code == QLatin1Char('L'))
        parseInteger(m.ProcessData.mid(1));
    else if (code != QLatin1Char('D'))
        refuse(import_texts::kUnknownCode.arg(m.ProcessData, m.OraField));
}

// The taking-part mappings, each checked on its own: a name that may go into
// the statements, and for a mapping read from the sheet an integer column and
// a known processing code.
QList<TakingPart> checkedTakingPart(const IMappingCells &cells)
{
    QList<TakingPart> parts;
    for (int gridRow = 1; gridRow < cells.rowCount(); ++gridRow) {
        const TColumnMapping m = mappingAt(cells, gridRow);
        if (!m.takesPart())
            continue;
        if (!IsIdentifier(m.OraField))
            refuse(import_texts::kFieldNotIdentifier.arg(m.OraField, QString::number(gridRow)));
        TakingPart part{gridRow, m, std::nullopt};
        if (m.DefaultValue.isEmpty()) {
            part.xlsColumn = parseInteger(m.XlsField);
            checkProcessingCode(m);
        }
        for (const TakingPart &earlier : parts) {
            if (DictionaryName(earlier.mapping.OraField) == DictionaryName(m.OraField))
                refuse(import_texts::kFieldTwice.arg(m.OraField, QString::number(earlier.gridRow),
                                                     QString::number(gridRow)));
        }
        parts.append(part);
    }
    if (parts.isEmpty())
        refuse(import_texts::kNothingTakesPart);
    return parts;
}

void checkTableName(const QString &table)
{
    if (table.isEmpty())
        refuse(import_texts::kNoTable);
    if (!IsIdentifier(table))
        refuse(import_texts::kTableNotIdentifier.arg(table));
}

// Every field is a column of the table, as the column listing gives them.
void checkColumnsOfTable(const QString &table, const QList<TakingPart> &parts, IImportDatabase &database)
{
    const QStringList columns = database.tableColumns(DictionaryName(table));
    if (columns.isEmpty())
        refuse(import_texts::kTableNotFound.arg(table));
    for (const TakingPart &part : parts) {
        if (!columns.contains(DictionaryName(part.mapping.OraField)))
            refuse(import_texts::kFieldNotColumn.arg(part.mapping.OraField, QString::number(part.gridRow),
                                                     table));
    }
}

void checkRowNumber(int row, const IImportSheet &sheet)
{
    if (row < 1 || row > sheet.lastRow())
        refuse(import_texts::kRowOutside.arg(row).arg(sheet.lastRow()));
}

void checkColumnsOfSheet(const QList<TakingPart> &parts, const IImportSheet &sheet)
{
    for (const TakingPart &part : parts) {
        if (part.xlsColumn && (*part.xlsColumn < 1 || *part.xlsColumn > sheet.lastColumn()))
            refuse(import_texts::kXlsFieldOutside.arg(part.mapping.XlsField, part.mapping.OraField,
                                                      QString::number(sheet.lastColumn())));
    }
}

// Goes back to the savepoint; the text that tells the operator how it went.
QString undoRun(IImportDatabase &database)
{
    try {
        database.rollbackToSavepoint();
        return import_texts::kNothingKept;
    } catch (const std::exception &e) {
        return import_texts::kUndoFailed.arg(messageOf(e).trimmed());
    }
}

// The seek and the insert of a row read the same cells, and the workbook does
// not change during the run, so the texts of the current row are kept instead
// of being looked up and formatted twice.
class CurrentRowCells : public ICellSource
{
public:
    explicit CurrentRowCells(ICellSource &source) : source_(source) {}

    QString cellText(int row, int column) override
    {
        if (row != row_) {
            row_ = row;
            texts_.clear();
        }
        for (const auto &[c, text] : texts_)
            if (c == column)
                return text;
        QString text = source_.cellText(row, column);
        texts_.emplace_back(column, text);
        return text;
    }
    bool isNumber(int row, int column) override { return source_.isNumber(row, column); }

private:
    ICellSource &source_;
    int row_ = 0;
    std::vector<std::pair<int, QString>> texts_;
};

} // namespace

CheckedRange CheckBeforeAnyChange(const ImportOptions &options, IImportSurroundings &surroundings,
                                  IImportDatabase &database)
{
    CheckedRange range;
    range.endRow = parseInteger(options.endRowText);
    range.startRow = parseInteger(options.startRowText);
    const QString table = surroundings.tableName();
    checkTableName(table);
    const QList<TakingPart> parts = checkedTakingPart(surroundings.mapping());
    checkColumnsOfTable(table, parts, database);
    range.sheet = surroundings.openWorkbook(options.fileName);
    checkRowNumber(range.startRow, *range.sheet);
    checkRowNumber(range.endRow, *range.sheet);
    checkColumnsOfSheet(parts, *range.sheet);
    if (options.deleteFirst && range.startRow > range.endRow)
        refuse(import_texts::kEmptyRangeWithDelete.arg(QString::number(range.startRow),
                                                       QString::number(range.endRow), table));
    return range;
}

namespace
{

// The delete, if asked for, and the rows; true when the operator stopped it.
bool loadRows(const ImportOptions &options, const CheckedRange &range, IImportSurroundings &surroundings,
              IImportDatabase &database, ICellSource &workbook, const platform::OperatorLocale &locale,
              ImportResult &result)
{
    if (options.deleteFirst)
        deleteOldRows(surroundings, database, result);

    surroundings.setProgressRange(range.startRow, range.endRow);
    surroundings.setProgressPosition(range.startRow);
    if (IArrayInsertDatabase *arrays = options.arrayRows > 0 ? database.arrayInsert() : nullptr)
        return LoadRowsInBatches(options.arrayRows, range.startRow, range.endRow, options.endRowText,
                                 surroundings, database, *arrays, workbook, locale, result);

    // 64-bit row counter: a range ending at the largest integer must still end.
    for (qint64 row = range.startRow; row <= range.endRow; ++row) {
        const int r = static_cast<int>(row);
        surroundings.setProgressPosition(r);
        surroundings.setProgressLabel(ProgressLabel(row, options.endRowText, result.failed, result.skipped));
        surroundings.processEvents();
        const bool stopAfterThisRow = surroundings.stopRequested();

        bool found = false;
        if (surroundings.seekOldRecords()) {
            const QString seek =
                SeekStatement(surroundings.tableName(), surroundings.mapping(), workbook, r, locale);
            found = database.countRecords(seek) > 0;
        }
        if (found) {
            ++result.skipped;
        } else {
            const QString insert =
                InsertStatement(surroundings.tableName(), surroundings.mapping(), workbook, r, locale);
            try {
                database.execute(insert);
                ++result.inserted;
            } catch (const std::exception &e) {
                ++result.failed;
                result.errors = true;
                surroundings.appendErrorEntry(QStringLiteral("/%1/").arg(r) + insert + import_texts::kLineEnd,
                                              messageOf(e));
            }
        }
        if (stopAfterThisRow)
            return true;
    }
    return false;
}

} // namespace

QString ProgressLabel(qint64 row, const QString &endRowText, int failed, int skipped)
{
    return QStringLiteral("%1/%2/%3/%4").arg(row).arg(endRowText).arg(failed).arg(skipped);
}

QString SummaryText(const ImportResult &result)
{
    const QString heading = result.errors ? import_texts::kFinishedWithErrors : import_texts::kFinished;
    return heading + import_texts::kLineEnd + import_texts::kInserted + QString::number(result.inserted) +
           import_texts::kRecordFrom + QString::number(result.selected) + import_texts::kSelected +
           import_texts::kLineEnd + import_texts::kSkipped.arg(result.skipped);
}

MessageIcon SummaryIcon(const ImportResult &result)
{
    return result.errors ? MessageIcon::Error : MessageIcon::Information;
}

ImportResult RunImport(const ImportOptions &options, IImportSurroundings &surroundings,
                       IImportDatabase &database, const platform::OperatorLocale &locale)
{
    ImportResult result;
    const QString invalid = ValidateMapping(surroundings.mapping());
    if (!invalid.isEmpty()) {
        surroundings.showMessage(mapping_texts::kValidationCaption, invalid, MessageIcon::Error);
        return result;
    }
    result.validated = true;

    const CheckedRange range = CheckBeforeAnyChange(options, surroundings, database);
    CurrentRowCells workbook(*range.sheet);
    result.selected = range.endRow < range.startRow ? 0 : qint64(range.endRow) - range.startRow + 1;
    // A select changes nothing: the first row's seek shows a rejected
    // condition or an unreadable cell before the table is touched.
    if (result.selected > 0 && surroundings.seekOldRecords())
        database.countRecords(SeekStatement(surroundings.tableName(), surroundings.mapping(), workbook,
                                            range.startRow, locale));

    database.setSavepoint();
    try {
        result.stopped = loadRows(options, range, surroundings, database, workbook, locale, result);
    } catch (const std::exception &e) {
        throw std::runtime_error(
            (messageOf(e).trimmed() + import_texts::kLineEnd + undoRun(database)).toStdString());
    } catch (...) {
        undoRun(database);
        throw;
    }
    if (result.stopped) {
        const QString undone = undoRun(database);
        if (undone != import_texts::kNothingKept)
            refuse(undone);
        return result;
    }

    if (result.failed > 0)
        surroundings.showErrors();
    surroundings.showMessage(import_texts::kSummaryCaption, SummaryText(result), SummaryIcon(result));
    return result;
}

} // namespace rowpour
