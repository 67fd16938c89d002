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

int OracleImportDatabase::countRecords(const QString &select)
{
    if (seekSet_.Active())
        seekSet_.Close();
    seekSet_.SQL().clear();
    seekSet_.SQL().append(select);
    seekSet_.Open();
    const int count = seekSet_.RecordCount();
    seekSet_.Close();
    return count;
}

} // namespace rowpour
