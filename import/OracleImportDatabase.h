#pragma once
// The import run's database side on the Oracle access layer: one statement
// object for the delete, the inserts and the savepoint, and the window's
// result set for the seek and the column listing.

#include "import/ImportCheck.h"
#include "import/ImportRun.h"
#include "import/OracleArrayInsert.h"
#include "oracle/OracleData.h"
#include "oracle/OracleTypes.h"

#include <QHash>

namespace rowpour
{

class OracleImportDatabase : public IImportDatabase, public ITableDictionary
{
public:
    // `seekSet` is the result set the seek runs through (the window's ods1);
    // the statement object is created on `session` for this run.
    OracleImportDatabase(oracle::TOracleSession &session, oracle::TOracleDataSet &seekSet);

    void execute(const QString &statement) override;
    int countRecords(const QString &select) override;
    QStringList tableColumns(const QString &dictionaryName) override;
    void setSavepoint() override;
    void rollbackToSavepoint() override;
    QList<TableColumn> describeTable(const QString &dictionaryName) override;
    SessionConversions sessionConversions() override;
    IArrayInsertDatabase *arrayInsert() override;

private:
    void openSeekSet(const QString &select);
    void openColumnListing(const QString &dictionaryName);
    // PARAMETER and VALUE of a parameter view; empty when it cannot be read.
    QHash<QString, QString> parameters(const QString &view);

    oracle::TOracleQuery query_;
    oracle::TOracleDataSet &seekSet_;
    std::unique_ptr<OracleArrayInsert> arrays_;
};

} // namespace rowpour
