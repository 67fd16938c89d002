#pragma once
// Moving one fetched value into a program's buffer in the external type the
// program asked for, with indicator, returned length and column return code.

#include "devdb/engine/Engine.h"
#include "devdb/oci/OciAbi.h"

#include <string>

namespace devdb::oci
{

// The program's slot for one row of one column.
struct ValueSlot {
    void *buffer = nullptr;
    sb4 size = 0;
    ub2 type = 0;
    sb2 *indicator = nullptr;
    ub2 *length = nullptr; // 16-bit returned length (define, odefin)
    ub2 *returnCode = nullptr;
    devdb::OraType columnType = devdb::OraType::Date; // the server's type, for its text form
    int charsetId = 0;                                // the client character set of text values
};

// The value as text, as the server converts it for a character buffer
// (numbers and dates in the session's formats when a session is given).
std::string valueAsText(const devdb::Value &value, const devdb::Session *session,
                        devdb::OraType columnType = devdb::OraType::Date);

// The bytes a value has in a byte or text buffer of the given external type
// (text in the client character set for character types, raw bytes for 23/24).
std::string valueAsBytes(const devdb::Value &value, ub2 externalType, const devdb::Session *session,
                         devdb::OraType columnType, int charsetId);

// Throws ORA-00932 when a column's values cannot go into a define of that external type.
void checkDefine(const devdb::ColumnDesc &column, ub2 externalType);

// Writes the value into the slot. Returns true when the value was truncated
// (return code 1406, indicator = the full length). Throws OraError for a NULL
// without an indicator (1405) and for impossible conversions.
bool storeValue(const devdb::Value &value, const ValueSlot &slot, const devdb::Session *session);

// The 7-byte Oracle DATE of a date-time.
void encodeDate(const devdb::DateTime &d, unsigned char out[7]);

} // namespace devdb::oci
