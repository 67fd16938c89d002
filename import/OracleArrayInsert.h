#pragma once
// The fast path's database side on the Oracle access layer: the run's
// prepared insert and seek with bind variables on the session of the run.

#include "import/ArrayImport.h"
#include "oracle/BoundStatement.h"
#include "oracle/Oracle.h"

#include <memory>

namespace rowpour
{

class OracleArrayInsert : public IArrayInsertDatabase
{
public:
    explicit OracleArrayInsert(oracle::TOracleSession &session) : session_(session) {}

    void prepareInsert(const QString &statement, int columns) override;
    std::vector<ArrayRowFailure> insertRows(const std::vector<QStringList> &rows) override;
    void prepareSeek(const QString &statement, int columns) override;
    int countRecords(const QStringList &values) override;
    SeekComparison seekComparison(const QString &dictionaryName) override;

private:
    oracle::TOracleSession &session_;
    std::unique_ptr<oracle::TBoundStatement> insert_;
    std::unique_ptr<oracle::TBoundStatement> seek_;
};

} // namespace rowpour
