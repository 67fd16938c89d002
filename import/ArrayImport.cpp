#include "import/ArrayImport.h"

#include "import/Statements.h"

#include <exception>
#include <optional>

namespace rowpour
{

namespace
{

QString messageOf(const std::exception &e)
{
    return QString::fromUtf8(e.what());
}

// Blank padding aside, CHAR columns compare as VARCHAR2 ones do.
QString withoutTrailingBlanks(const QString &text)
{
    qsizetype end = text.size();
    while (end > 0 && text[end - 1] == QLatin1Char(' '))
        --end;
    return text.left(end);
}

bool isAscii(const QString &text)
{
    for (const QChar c : text)
        if (c.unicode() > 0x7F)
            return false;
    return true;
}

bool anyEmpty(const QStringList &values)
{
    for (const QString &value : values)
        if (value.isEmpty())
            return true;
    return false;
}

// The taking-part mappings in grid order, read once: the fast path prepares
// its statements for them.
QList<TColumnMapping> takingPart(const IMappingCells &cells)
{
    QList<TColumnMapping> parts;
    for (int gridRow = 1; gridRow < cells.rowCount(); ++gridRow) {
        const TColumnMapping m = mappingAt(cells, gridRow);
        if (m.takesPart())
            parts.append(m);
    }
    return parts;
}

// The value texts of a row; nullopt when a column has none (an unknown code).
std::optional<QStringList> rowValues(const QList<TColumnMapping> &parts, ICellSource &cells, int row,
                                     const platform::OperatorLocale &locale)
{
    QStringList values;
    for (const TColumnMapping &part : parts) {
        std::optional<QString> value = ValueText(part, cells, row, locale);
        if (!value)
            return std::nullopt;
        values.append(*value);
    }
    return values;
}

bool fitsABind(const QStringList &values)
{
    for (const QString &value : values)
        if (value.toUtf8().size() > kMaxBoundValueBytes)
            return false;
    return true;
}

// One run of the fast path.
class BatchLoader
{
public:
    BatchLoader(int batchRows, IImportSurroundings &surroundings, IImportDatabase &database,
                IArrayInsertDatabase &arrays, ICellSource &workbook, const platform::OperatorLocale &locale,
                ImportResult &result)
        : batchRows_(batchRows), surroundings_(surroundings), database_(database), arrays_(arrays),
          workbook_(workbook), locale_(locale), result_(result), table_(surroundings.tableName()),
          parts_(takingPart(surroundings.mapping()))
    {
        for (const TColumnMapping &part : parts_)
            names_.append(part.OraField);
        arrays_.prepareInsert(BoundInsertStatement(table_, names_), int(names_.size()));
    }

    void loadRow(int row)
    {
        const std::optional<QStringList> values = rowValues(parts_, workbook_, row, locale_);
        if (!values || !fitsABind(*values)) {
            loadWithLiterals(row);
            return;
        }
        if (surroundings_.seekOldRecords() && found(*values)) {
            ++result_.skipped;
            return;
        }
        waiting_.push_back({row, *values});
        if (waitingRows_)
            waitingRows_->add(*values);
        if (int(waiting_.size()) >= batchRows_)
            send();
    }

    // Sends the rows waiting in the batch.
    void send()
    {
        if (waiting_.empty())
            return;
        std::vector<QStringList> rows;
        rows.reserve(waiting_.size());
        for (const Waiting &w : waiting_)
            rows.push_back(w.values);
        const std::vector<ArrayRowFailure> failures = arrays_.insertRows(rows);
        result_.inserted += int(rows.size() - failures.size());
        for (const ArrayRowFailure &failure : failures) {
            const Waiting &w = waiting_[std::size_t(failure.index)];
            fail(w.row, InsertStatementOf(table_, names_, w.values), failure.message);
        }
        waiting_.clear();
        if (waitingRows_)
            waitingRows_->clear();
    }

    // Sends the waiting rows of a run that ends with an error: their failures
    // are reported; one more error changes nothing, the run's own is told.
    void sendBeforeEnding()
    {
        try {
            send();
        } catch (...) {
            waiting_.clear();
        }
    }

private:
    struct Waiting {
        int row;
        QStringList values;
    };

    void fail(int row, const QString &insert, const QString &message)
    {
        ++result_.failed;
        result_.errors = true;
        surroundings_.appendErrorEntry(QStringLiteral("/%1/").arg(row) + insert + import_texts::kLineEnd,
                                       message);
    }

    bool found(const QStringList &values)
    {
        if (!waitingRows_) {
            arrays_.prepareSeek(BoundCountStatement(table_, names_), int(names_.size()));
            waitingRows_.emplace(names_, arrays_.seekComparison(DictionaryName(table_)));
            for (const Waiting &w : waiting_)
                waitingRows_->add(w.values);
        }
        if (waitingRows_->mayBeFoundBy(values))
            send();
        return arrays_.countRecords(values) > 0;
    }

    // The statement-per-row path's own seek and insert for one row, after the rows before it.
    void loadWithLiterals(int row)
    {
        send();
        if (surroundings_.seekOldRecords() &&
            database_.countRecords(SeekStatement(table_, surroundings_.mapping(), workbook_, row, locale_)) >
                0) {
            ++result_.skipped;
            return;
        }
        const QString insert = InsertStatement(table_, surroundings_.mapping(), workbook_, row, locale_);
        try {
            database_.execute(insert);
            ++result_.inserted;
        } catch (const std::exception &e) {
            fail(row, insert, messageOf(e));
        }
    }

    int batchRows_;
    IImportSurroundings &surroundings_;
    IImportDatabase &database_;
    IArrayInsertDatabase &arrays_;
    ICellSource &workbook_;
    const platform::OperatorLocale &locale_;
    ImportResult &result_;
    QString table_;
    QList<TColumnMapping> parts_;
    QStringList names_;
    std::vector<Waiting> waiting_;
    std::optional<WaitingRows> waitingRows_; // made with the first seek
};

} // namespace

WaitingRows::WaitingRows(const QStringList &columnNames, const SeekComparison &comparison)
    : unicodeDatabase_(comparison.unicodeDatabase)
{
    for (const QString &name : columnNames)
        comparedByCodes_.push_back(comparison.binary &&
                                   comparison.characterColumns.contains(DictionaryName(name)));
}

bool WaitingRows::exactValue(int column, const QString &value) const
{
    return comparedByCodes_[std::size_t(column)] && (unicodeDatabase_ || isAscii(value));
}

bool WaitingRows::mayEqual(int column, const QString &a, const QString &b) const
{
    if (a.isEmpty() || b.isEmpty())
        return false;
    if (!exactValue(column, a) || !exactValue(column, b))
        return true;
    return withoutTrailingBlanks(a) == withoutTrailingBlanks(b);
}

bool WaitingRows::mayMatch(const QStringList &waiting, const QStringList &values) const
{
    for (int c = 0; c < int(comparedByCodes_.size()); ++c)
        if (!mayEqual(c, waiting.value(c), values.value(c)))
            return false;
    return true;
}

QString WaitingRows::keyOf(const QStringList &values) const
{
    QString key = QStringLiteral("#");
    for (int c = 0; c < int(comparedByCodes_.size()); ++c) {
        if (!comparedByCodes_[std::size_t(c)])
            continue;
        const QString value = values.value(c);
        if (!exactValue(c, value))
            return {};
        const QString part = withoutTrailingBlanks(value);
        key += QString::number(part.size()) + QLatin1Char(':') + part;
    }
    return key;
}

void WaitingRows::add(const QStringList &values)
{
    // A row with a NULL compared value is found by no seek.
    if (anyEmpty(values))
        return;
    all_.push_back(values);
    const QString key = keyOf(values);
    if (key.isEmpty())
        loose_.push_back(values);
    else
        keys_.insert(key);
}

bool WaitingRows::mayBeFoundBy(const QStringList &values) const
{
    if (all_.empty() || anyEmpty(values))
        return false;
    const QString key = keyOf(values);
    if (key.isEmpty()) {
        for (const QStringList &waiting : all_)
            if (mayMatch(waiting, values))
                return true;
        return false;
    }
    if (keys_.contains(key))
        return true;
    for (const QStringList &waiting : loose_)
        if (mayMatch(waiting, values))
            return true;
    return false;
}

void WaitingRows::clear()
{
    all_.clear();
    loose_.clear();
    keys_.clear();
}

bool LoadRowsInBatches(int batchRows, int startRow, int endRow, const QString &endRowText,
                       IImportSurroundings &surroundings, IImportDatabase &database,
                       IArrayInsertDatabase &arrays, ICellSource &workbook,
                       const platform::OperatorLocale &locale, ImportResult &result)
{
    BatchLoader loader(batchRows, surroundings, database, arrays, workbook, locale, result);
    // 64-bit row counter: a range ending at the largest integer must still end.
    for (qint64 row = startRow; row <= endRow; ++row) {
        const int r = static_cast<int>(row);
        surroundings.setProgressPosition(r);
        surroundings.setProgressLabel(ProgressLabel(row, endRowText, result.failed, result.skipped));
        surroundings.processEvents();
        const bool stopAfterThisRow = surroundings.stopRequested();
        try {
            loader.loadRow(r);
        } catch (...) {
            loader.sendBeforeEnding();
            throw;
        }
        // The run is undone, but the rows before the end are sent first, so
        // that their failures are reported as the statement-per-row path
        // reports them.
        if (stopAfterThisRow) {
            loader.send();
            return true;
        }
    }
    loader.send();
    return false;
}

} // namespace rowpour
