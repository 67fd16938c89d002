#pragma once
// What a client reads from its process environment when an OCI environment
// is created: NLS_LANG (language, territory, character set) and, only when
// NLS_LANG is set, the NLS_* variables it passes on to the server.

#include "devdb/engine/Nls.h"

namespace devdb::oci
{

struct ClientEnvironment {
    devdb::ClientNls nls;
    int charsetId = 0;  // the client character set
    int ncharsetId = 0; // the client national character set (NLS_NCHAR, else the client set)
};

// Throws OraError 12705 for an NLS_LANG or NLS_NCHAR the client does not know.
ClientEnvironment readClientEnvironment();

} // namespace devdb::oci
