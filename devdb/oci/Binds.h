#pragma once
// Reading one row of a program's bind buffers into the value the server
// receives: text in the client character set becomes UTF-8, numbers and dates
// in their C or Oracle forms become the engine's values.

#include "devdb/engine/Engine.h"
#include "devdb/oci/Handles.h"

namespace devdb::oci
{

// The external types a bind may have here.
bool supportedBindType(ub2 type);

// The value of element row of the bind's arrays. Throws OraError for buffers
// that hold no value of their type (ORA-01460, 01722, ...).
devdb::BindValue bindValue(const Bind &bind, ub4 row);

// An Oracle NUMBER in its 1 to 21 byte internal form as canonical decimal text.
std::string decodeOracleNumber(const unsigned char *bytes, std::size_t length);

} // namespace devdb::oci
