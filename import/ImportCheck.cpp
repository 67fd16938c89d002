#include "import/ImportCheck.h"

#include "import/Statements.h"

#include <QDate>

#include <optional>
#include <vector>

namespace rowpour
{

namespace
{

// The progress shows and the user interface gets its turn every so many rows.
constexpr int kRowsPerStep = 256;

// A mapping that takes part, with the judge of its column.
struct CheckedField {
    TColumnMapping mapping;
    std::optional<ColumnJudge> judge;
};

struct CheckPlan {
    std::vector<CheckedField> fields;
    QStringList notLoaded; // fault lines of NOT NULL columns no mapping fills
    QStringList notJudged; // columns judged for NULL only
};

CheckPlan planCheck(const IMappingCells &mapping, const QList<TableColumn> &columns,
                    const SessionConversions &session, const QDate &today)
{
    CheckPlan plan;
    QStringList loaded;
    for (int row = 1; row < mapping.rowCount(); ++row) {
        const TColumnMapping m = mappingAt(mapping, row);
        if (!m.takesPart())
            continue;
        CheckedField field{m, std::nullopt};
        const QString name = DictionaryName(m.OraField);
        loaded.append(name);
        for (const TableColumn &column : columns) {
            if (column.name != name)
                continue;
            TableColumn shown = column;
            shown.name = m.OraField;
            field.judge.emplace(shown, session, today.year(), today.month());
            if (!field.judge->judgesValues())
                plan.notJudged.append(QStringLiteral("%1 (%2)").arg(m.OraField, column.dataType));
        }
        plan.fields.push_back(std::move(field));
    }
    for (const TableColumn &column : columns) {
        if (!column.nullable && !column.hasDefault && !loaded.contains(column.name))
            plan.notLoaded.append(
                check_texts::kFault.arg(column.name, check_texts::kNotLoaded, QStringLiteral("01400")));
    }
    return plan;
}

// The fault lines of one row; empty when the table takes it. Tells whether a
// number or date is among them that the session cannot read.
QStringList faultsOf(const CheckPlan &plan, ICellSource &cells, int row,
                     const platform::OperatorLocale &locale, bool &unreadable)
{
    QStringList faults;
    for (const CheckedField &field : plan.fields) {
        if (!field.judge)
            continue;
        const std::optional<QString> value = ValueText(field.mapping, cells, row, locale);
        if (!value)
            continue;
        if (const std::optional<ColumnFault> fault = field.judge->faultOf(*value)) {
            faults.append(fault->text);
            unreadable = unreadable || fault->unreadable();
        }
    }
    faults += plan.notLoaded;
    return faults;
}

QString summaryText(const CheckPlan &plan, const CheckResult &result, bool seekEndsRun)
{
    QString text = check_texts::kWouldFail.arg(result.wouldFail);
    if (!plan.notJudged.isEmpty())
        text +=
            import_texts::kLineEnd + check_texts::kNotJudged.arg(plan.notJudged.join(QStringLiteral(", ")));
    if (seekEndsRun)
        text += import_texts::kLineEnd + check_texts::kSeekEndsRun;
    return text;
}

} // namespace

CheckResult RunCheck(const ImportOptions &options, IImportSurroundings &surroundings,
                     IImportDatabase &database, ITableDictionary &dictionary, ICheckReport &report,
                     const platform::OperatorLocale &locale, const QDate &today)
{
    CheckResult result;
    const QString invalid = ValidateMapping(surroundings.mapping());
    if (!invalid.isEmpty()) {
        surroundings.showMessage(mapping_texts::kValidationCaption, invalid, MessageIcon::Error);
        return result;
    }
    result.validated = true;

    const CheckedRange range = CheckBeforeAnyChange(options, surroundings, database);
    const QString table = surroundings.tableName();
    const CheckPlan plan = planCheck(surroundings.mapping(), dictionary.describeTable(DictionaryName(table)),
                                     dictionary.sessionConversions(), today);
    result.selected = range.endRow < range.startRow ? 0 : qint64(range.endRow) - range.startRow + 1;
    report.heading(check_texts::kHeading.arg(table).arg(range.startRow).arg(range.endRow));

    bool unreadable = false;
    surroundings.setProgressRange(range.startRow, range.endRow);
    for (qint64 row = range.startRow; row <= range.endRow; ++row) {
        const int r = static_cast<int>(row);
        if ((row - range.startRow) % kRowsPerStep == 0) {
            surroundings.setProgressPosition(r);
            surroundings.setProgressLabel(
                QStringLiteral("%1/%2/%3/0").arg(row).arg(options.endRowText).arg(result.wouldFail));
            surroundings.processEvents();
            if (surroundings.stopRequested()) {
                result.stopped = true;
                return result;
            }
        }
        const QStringList faults = faultsOf(plan, *range.sheet, r, locale, unreadable);
        if (faults.isEmpty())
            continue;
        ++result.wouldFail;
        const QString insert = InsertStatement(table, surroundings.mapping(), *range.sheet, r, locale);
        report.rowFaults(QStringLiteral("/%1/").arg(r) + insert + import_texts::kLineEnd,
                         faults.join(QLatin1Char('\n')));
    }
    if (result.selected > 0) {
        surroundings.setProgressPosition(range.endRow);
        surroundings.setProgressLabel(
            QStringLiteral("%1/%2/%3/0").arg(range.endRow).arg(options.endRowText).arg(result.wouldFail));
    }
    report.summary(summaryText(plan, result, unreadable && surroundings.seekOldRecords()));
    return result;
}

} // namespace rowpour
