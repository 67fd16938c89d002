#pragma once
// What the client knows of a statement before the server sees it: its type and
// SQL function code, taken from the leading keywords as an Oracle client does
// at prepare time.

#include "devdb/oci/OciAbi.h"

#include <string_view>

namespace devdb::oci
{

struct StatementKind {
    ub2 statementType = 0; // OCI_ATTR_STMT_TYPE
    ub2 functionCode = 0;  // OCI_ATTR_SQLFNCODE and the cursor data area's ft
};

StatementKind classifyStatement(std::string_view sql);

} // namespace devdb::oci
