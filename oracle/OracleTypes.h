#pragma once
// Statements on a session: the describe and define rules of select-list
// columns, the conversion of fetched values, the column buffers
// (TFieldData) and TOracleQuery, which runs one SQL statement at a time in
// the session's call mode (OCI8 handles or OCI7 cursor data area).

#include "oracle/DefineRule.h"
#include "oracle/FieldData.h"
#include "oracle/OracleQuery.h"
#include "oracle/OracleTexts.h"
#include "oracle/ValueConversion.h"
