#pragma once
// What the load benchmarks share: the mapping of the bench workbook's ten
// columns and the development database they load into, laid out once per
// process.

#include "DevDbHome.h"

#include "import/ColumnMapping.h"

namespace rowpour::bench
{

inline MappingTable tenColumnMapping()
{
    const char *names[] = {"ID", "CITY", "CLIENT", "PRICE", "D", "QTY", "STATE", "TOTAL", "CREATED", "NOTE"};
    QList<TColumnMapping> rows;
    for (int c = 0; c < 10; ++c)
        rows.append({names[c], QString(), "1", QString::number(c + 1), QString(), QString()});
    return MappingTable(rows);
}

inline testing::DevDbHome &home()
{
    static testing::DevDbHome *h = [] {
        auto *created = new testing::DevDbHome(QStringLiteral("BENCH"));
        created->createUser("bench", "bench");
        qputenv("ORACLE_HOME", created->path().toUtf8());
        qputenv("TNS_ADMIN", (created->path() + "/network/admin").toUtf8());
        return created;
    }();
    return *h;
}

} // namespace rowpour::bench
