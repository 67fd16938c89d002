#pragma once
// The dictionary views a session can read, built from the catalog: USER_TABLES
// and USER_TAB_COLUMNS with Oracle's column lists, DUAL, and the development
// database's own V$DEVDB_SESSION.

#include "Catalog.h"
#include "Evaluator.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace devdb
{

Relation userTablesView(const std::vector<std::shared_ptr<TableInfo>> &tables, int maxIdentifier);
Relation userTabColumnsView(const std::vector<std::shared_ptr<TableInfo>> &tables, int maxIdentifier);
Relation dualView();
Relation sessionView(std::uint64_t prepares);
Relation nlsSessionParametersView(const SessionSettings &settings);
Relation nlsDatabaseParametersView(int databaseCharset);

} // namespace devdb
