#include "import/OracleImportDatabase.h"

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

QStringList OracleImportDatabase::tableColumns(const QString &dictionaryName)
{
    // The main window's column listing, with apostrophes in the name doubled.
    QString literal = dictionaryName;
    literal.replace(QLatin1Char('\''), QStringLiteral("''"));
    openSeekSet(QStringLiteral("select * from user_tab_columns where table_name='") + literal +
                QLatin1Char('\''));
    QStringList columns;
    for (int i = 0, n = seekSet_.RecordCount(); i < n; ++i, seekSet_.Next())
        columns.append(seekSet_.FieldByName(QStringLiteral("COLUMN_NAME")).AsString());
    seekSet_.Close();
    return columns;
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
