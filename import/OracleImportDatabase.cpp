#include "import/OracleImportDatabase.h"

#include <optional>

namespace rowpour
{

OracleImportDatabase::OracleImportDatabase(oracle::TOracleSession &session, oracle::TOracleDataSet &seekSet)
    : seekSet_(seekSet)
{
    query_.SetSession(&session);
}

void OracleImportDatabase::execute(const QString &statement)
{
    query_.SQL().clear();
    query_.SQL().append(statement);
    query_.Execute();
}

void OracleImportDatabase::openSeekSet(const QString &select)
{
    if (seekSet_.Active())
        seekSet_.Close();
    seekSet_.SQL().clear();
    seekSet_.SQL().append(select);
    // Only the number of records and the dictionary's names are read: LOB
    // contents are not fetched.
    seekSet_.ReadLobValues = false;
    try {
        seekSet_.Open();
    } catch (...) {
        seekSet_.ReadLobValues = true;
        throw;
    }
    seekSet_.ReadLobValues = true;
}

int OracleImportDatabase::countRecords(const QString &select)
{
    openSeekSet(select);
    const int count = seekSet_.RecordCount();
    seekSet_.Close();
    return count;
}

void OracleImportDatabase::openColumnListing(const QString &dictionaryName)
{
    // The main window's column listing, with apostrophes in the name doubled.
    QString literal = dictionaryName;
    literal.replace(QLatin1Char('\''), QStringLiteral("''"));
    openSeekSet(QStringLiteral("select * from user_tab_columns where table_name='") + literal +
                QLatin1Char('\''));
}

QStringList OracleImportDatabase::tableColumns(const QString &dictionaryName)
{
    openColumnListing(dictionaryName);
    QStringList columns;
    for (int i = 0, n = seekSet_.RecordCount(); i < n; ++i, seekSet_.Next())
        columns.append(seekSet_.FieldByName(QStringLiteral("COLUMN_NAME")).AsString());
    seekSet_.Close();
    return columns;
}

namespace
{

std::optional<int> optionalNumber(oracle::TField *field)
{
    if (!field || field->IsNull())
        return std::nullopt;
    return field->AsInteger();
}

QString textOf(oracle::TField *field)
{
    return field && !field->IsNull() ? field->AsString() : QString();
}

} // namespace

QList<TableColumn> OracleImportDatabase::describeTable(const QString &dictionaryName)
{
    openColumnListing(dictionaryName);
    QList<TableColumn> columns;
    for (int i = 0, n = seekSet_.RecordCount(); i < n; ++i, seekSet_.Next()) {
        TableColumn column;
        column.name = textOf(seekSet_.FindField(QStringLiteral("COLUMN_NAME")));
        column.dataType = textOf(seekSet_.FindField(QStringLiteral("DATA_TYPE")));
        column.dataLength = optionalNumber(seekSet_.FindField(QStringLiteral("DATA_LENGTH"))).value_or(0);
        column.precision = optionalNumber(seekSet_.FindField(QStringLiteral("DATA_PRECISION")));
        column.scale = optionalNumber(seekSet_.FindField(QStringLiteral("DATA_SCALE")));
        column.nullable = textOf(seekSet_.FindField(QStringLiteral("NULLABLE"))) != QLatin1String("N");
        oracle::TField *defaultText = seekSet_.FindField(QStringLiteral("DATA_DEFAULT"));
        column.hasDefault =
            defaultText && !defaultText->IsNull() && !defaultText->AsString().trimmed().isEmpty();
        // Servers before release 9 know no character semantics: lengths are in bytes.
        column.charLength =
            optionalNumber(seekSet_.FindField(QStringLiteral("CHAR_LENGTH"))).value_or(column.dataLength);
        column.charSemantics = textOf(seekSet_.FindField(QStringLiteral("CHAR_USED"))) == QLatin1String("C");
        columns.append(column);
    }
    seekSet_.Close();
    return columns;
}

QHash<QString, QString> OracleImportDatabase::parameters(const QString &view)
{
    QHash<QString, QString> values;
    try {
        openSeekSet(QStringLiteral("select * from ") + view);
        for (int i = 0, n = seekSet_.RecordCount(); i < n; ++i, seekSet_.Next())
            values.insert(textOf(seekSet_.FindField(QStringLiteral("PARAMETER"))),
                          textOf(seekSet_.FindField(QStringLiteral("VALUE"))));
        seekSet_.Close();
    } catch (const std::exception &) {
        // A server without the view: the check then judges what it can without it.
        if (seekSet_.Active())
            seekSet_.Close();
    }
    return values;
}

SessionConversions OracleImportDatabase::sessionConversions()
{
    const QHash<QString, QString> session = parameters(QStringLiteral("nls_session_parameters"));
    const QHash<QString, QString> database = parameters(QStringLiteral("nls_database_parameters"));
    SessionConversions conversions;
    conversions.dateFormat = session.value(QStringLiteral("NLS_DATE_FORMAT"));
    conversions.timestampFormat = session.value(QStringLiteral("NLS_TIMESTAMP_FORMAT"));
    conversions.dateLanguage = session.value(QStringLiteral("NLS_DATE_LANGUAGE"));
    const QString numeric = session.value(QStringLiteral("NLS_NUMERIC_CHARACTERS"));
    if (!numeric.isEmpty())
        conversions.decimal = numeric.front();
    conversions.databaseCharset = database.value(QStringLiteral("NLS_CHARACTERSET"));
    conversions.nationalCharset = database.value(QStringLiteral("NLS_NCHAR_CHARACTERSET"));
    return conversions;
}

// The run's own savepoint; setting it again moves it.
void OracleImportDatabase::setSavepoint()
{
    execute(QStringLiteral("savepoint ROWPOUR_RUN"));
}

void OracleImportDatabase::rollbackToSavepoint()
{
    execute(QStringLiteral("rollback to savepoint ROWPOUR_RUN"));
}

// Binds need the OCI8 call set; in OCI7 mode the run sends a statement per row.
IArrayInsertDatabase *OracleImportDatabase::arrayInsert()
{
    oracle::TOracleSession *session = query_.Session();
    if (!session || !session->Connected() || !session->OCI8Mode())
        return nullptr;
    if (!arrays_)
        arrays_ = std::make_unique<OracleArrayInsert>(*session);
    return arrays_.get();
}

} // namespace rowpour
