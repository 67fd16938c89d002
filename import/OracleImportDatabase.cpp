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
    // Only the number of records matters: LOB contents are not read.
    seekSet_.ReadLobValues = false;
    try {
        seekSet_.Open();
    } catch (...) {
        seekSet_.ReadLobValues = true;
        throw;
    }
    seekSet_.ReadLobValues = true;
    const int count = seekSet_.RecordCount();
    seekSet_.Close();
    return count;
}

} // namespace rowpour
