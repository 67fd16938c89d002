#pragma once
// The import run's database side on the Oracle access layer: one statement
// object for the delete, the inserts and the savepoint, and the window's
// result set for the seek and the column listing.

#include "import/ImportRun.h"
#include "import/OracleArrayInsert.h"
#include "oracle/OracleData.h"
#include "oracle/OracleTypes.h"

namespace rowpour
{

class OracleImportDatabase : public IImportDatabase
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
    IArrayInsertDatabase *arrayInsert() override;

private:
    void openSeekSet(const QString &select);

    oracle::TOracleQuery query_;
    oracle::TOracleDataSet &seekSet_;
    std::unique_ptr<OracleArrayInsert> arrays_;
};

} // namespace rowpour
