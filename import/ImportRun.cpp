#include "import/ImportRun.h"

#include "import/IntegerText.h"
#include "import/Statements.h"

#include <exception>
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

bool tryExecute(IImportSurroundings &surroundings, IImportDatabase &database, const QString &statement)
{
    try {
        surroundings.runBusy([&] { database.execute(statement); });
        return true;
    } catch (const std::exception &) {
        return false;
    }
}

// Empties the target table: the plain delete, then the delete with the table
// name quoted; when both fail the operator is told and the run goes on.
void deleteOldRows(IImportSurroundings &surroundings, IImportDatabase &database)
{
    const QString table = surroundings.tableName();
    ProgressPopup popup(surroundings, import_texts::kDeleteProgress + table);
    if (tryExecute(surroundings, database, DeleteStatement(table)))
        return;
    const QString retry = RetryDeleteStatement(table);
    if (tryExecute(surroundings, database, retry))
        return;
    surroundings.showMessage(import_texts::kErrorCaption,
                             import_texts::kNotExecuted + retry + import_texts::kLineEnd, MessageIcon::Error);
}

// Checks the integers every row will need (the spreadsheet column of each
// taking-part mapping without a default, the number after an L code), so a
// bad mapping ends the run before the table is touched.
void checkMappingIntegers(const IMappingCells &mapping)
{
    for (int gridRow = 1; gridRow < mapping.rowCount(); ++gridRow) {
        const TColumnMapping m = mappingAt(mapping, gridRow);
        if (!m.takesPart() || !m.DefaultValue.isEmpty())
            continue;
        parseInteger(m.XlsField);
        const QChar code = m.ProcessData.isEmpty() ? QChar() : m.ProcessData.front();
        if (code == QLatin1Char('L') || code == QLatin1Char('l'))
            parseInteger(m.ProcessData.mid(1));
    }
}

// The seek and the insert of a row read the same cells. The workbook is read
// whole when it is opened and does not change during the run, so the texts of
// the current row are kept instead of being formatted twice.
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

private:
    ICellSource &source_;
    int row_ = 0;
    std::vector<std::pair<int, QString>> texts_;
};

QString progressLabel(qint64 row, const QString &endRowText, int failed, int skipped)
{
    return QStringLiteral("%1/%2/%3/%4").arg(row).arg(endRowText).arg(failed).arg(skipped);
}

} // namespace

QString SummaryText(const ImportResult &result)
{
    const QString heading = result.errors ? import_texts::kFinishedWithErrors : import_texts::kFinished;
    return heading + import_texts::kLineEnd + import_texts::kInserted + QString::number(result.inserted) +
           import_texts::kRecordFrom + QString::number(result.selected) + import_texts::kSelected;
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

    // Everything that can end the run is checked before the table is emptied.
    const int endRow = parseInteger(options.endRowText);
    const int startRow = parseInteger(options.startRowText);
    checkMappingIntegers(surroundings.mapping());
    const std::unique_ptr<ICellSource> book = surroundings.openWorkbook(options.fileName);
    CurrentRowCells workbook(*book);

    if (options.deleteFirst)
        deleteOldRows(surroundings, database);

    surroundings.setProgressRange(startRow, endRow);
    surroundings.setProgressPosition(startRow);
    result.selected = endRow < startRow ? 0 : qint64(endRow) - startRow + 1;

    // 64-bit row counter: a range ending at the largest integer must still end.
    for (qint64 row = startRow; row <= endRow; ++row) {
        const int r = static_cast<int>(row);
        surroundings.setProgressPosition(r);
        surroundings.setProgressLabel(progressLabel(row, options.endRowText, result.failed, result.skipped));
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
        if (stopAfterThisRow) {
            result.stopped = true;
            return result;
        }
    }

    if (result.failed > 0)
        surroundings.showErrors();
    surroundings.showMessage(import_texts::kSummaryCaption, SummaryText(result), SummaryIcon(result));
    return result;
}

} // namespace rowpour
