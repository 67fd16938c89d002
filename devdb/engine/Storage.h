#pragma once
// Values between SQLite storage and statements, and Oracle's checks when a
// value is made fit for a column.

#include "Catalog.h"
#include "Evaluator.h"

#include <sqlite3.h>

namespace devdb
{

Datum readStored(sqlite3_stmt *st, int i, const ColumnDesc &column);
void bindStored(sqlite3_stmt *st, int i, const Datum &d, OraType type);
// Converts v (of static type from) to the column's type: ORA-01400/01407,
// 12899 (01401 before 10g), 01438, 01722, 018xx, 00932, 01465.
Datum coerce(const Datum &v, const ColumnDesc &from, const TableInfo &table, const ColumnInfo &column,
             const SessionSettings &settings, bool updating);

} // namespace devdb
