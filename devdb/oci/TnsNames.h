#pragma once
// Connect identifier resolution, the way an Oracle client does it: an alias is
// looked up in tnsnames.ora (found through TNS_ADMIN, then
// $ORACLE_HOME/network/admin, then the home this library was loaded from,
// also for the variant libraries in <home>/variants/<name>/), a
// text starting with "(" is a descriptor itself. A development database's
// descriptor names its SQLite file:
//   (DESCRIPTION=(ADDRESS=(PROTOCOL=devdb)(FILE=/path/x.db)))
// A relative FILE is taken relative to the directory of the tnsnames.ora.

#include <string>
#include <vector>

namespace devdb::oci
{

// Directories searched for tnsnames.ora, in order (existing or not).
std::vector<std::string> tnsAdminCandidates();

// The database file a connect identifier names. Throws OraError 12154 for an
// unknown alias, 12162 for an empty identifier without TWO_TASK, 12560 for a
// descriptor that does not name a development database file.
std::string resolveConnectIdentifier(const std::string &identifier);

// The descriptor value of FILE= in a descriptor text, or empty.
std::string descriptorFile(const std::string &descriptor);

} // namespace devdb::oci
