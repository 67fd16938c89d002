#include "devdb/oci/ClientEnvironment.h"

#include "devdb/engine/Charset.h"
#include "devdb/engine/Errors.h"

#include <cstdlib>

namespace devdb::oci
{
namespace
{

std::optional<std::string> variable(const char *name)
{
    const char *value = std::getenv(name);
    if (!value || !*value)
        return std::nullopt;
    return std::string(value);
}

} // namespace

ClientEnvironment readClientEnvironment()
{
    ClientEnvironment client;
    std::optional<std::string> nlsLang = variable("NLS_LANG");
    devdb::NlsLang lang = devdb::parseNlsLang(nlsLang);
    client.nls.language = lang.language->name;
    client.nls.territory = lang.territory->name;
    client.charsetId = client.ncharsetId = lang.charsetId;
    // Without NLS_LANG the client ignores the other NLS variables.
    if (!nlsLang)
        return client;
    client.nls.dateFormat = variable("NLS_DATE_FORMAT");
    client.nls.dateLanguage = variable("NLS_DATE_LANGUAGE");
    client.nls.numericCharacters = variable("NLS_NUMERIC_CHARACTERS");
    client.nls.lengthSemantics = variable("NLS_LENGTH_SEMANTICS");
    client.nls.timestampFormat = variable("NLS_TIMESTAMP_FORMAT");
    client.nls.timestampTzFormat = variable("NLS_TIMESTAMP_TZ_FORMAT");
    if (auto nchar = variable("NLS_NCHAR")) {
        const devdb::Charset *c = devdb::findCharset(*nchar);
        if (!c)
            devdb::errors::raise(12705, devdb::errors::kInvalidNlsEnvironment);
        client.ncharsetId = c->id;
    }
    return client;
}

} // namespace devdb::oci
