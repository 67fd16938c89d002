#include "devdb/oci/Errors.h"

#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <unordered_map>

namespace devdb::oci
{

std::string messageText(int code)
{
    static const std::unordered_map<int, const char *> texts = {
        {kInternal, "internal error code, arguments: [devdb]"},
        {kInconsistentTypes, "inconsistent datatypes"},
        {kInvalidCursor, "invalid cursor"},
        {kFetchOutOfSequence, "fetch out of sequence"},
        {kNotInSelectList, "variable not in select list"},
        {kNotAllBound, "not all variables bound"},
        {kIllegalVariable, "illegal variable name/number"},
        {kUnreasonableConversion, "unimplemented or unreasonable conversion requested"},
        {kArrayDmlErrors, "error(s) in array DML"},
        {kNotLoggedOn, "not logged on"},
        {kNotAvailable, "ORACLE not available"},
        {kNoDataFound, "no data found"},
        {kNullFetched, "fetched column value is NULL"},
        {kTruncated, "fetched column value was truncated"},
        {kIntegerOverflow, "converting column overflows integer datatype"},
        {kInvalidNumber, "invalid number"},
        {kUnimplemented, "unimplemented feature"},
        {kNotConnected, "not connected to ORACLE"},
        {kUnresolvedIdentifier, "TNS:could not resolve the connect identifier specified"},
        {kBadServiceName, "TNS:net service name is incorrectly specified"},
        {kAlreadyAuthenticated, "user already authenticated"},
        {kIllegalAttribute, "illegal attribute type"},
        {kServiceNotInitialized, "service handle not initialized"},
        {kZeroIterations, "zero iteration count"},
        {kNoDescriptor, "no descriptor for this position"},
        {kNotPrepared, "statement handle not prepared"},
        {kNotExecuted, "statement handle not executed"},
        {kCallbackError, "user defined callback error"},
        {kTruncationWarning, "A Truncation or null fetch error occurred"},
        {kInvalidNlsEnvironment, "Cannot access NLS data files or invalid environment specified"},
        {kInvalidLobLocator, "invalid LOB locator specified"},
        {kNoSuchDirectory, "non-existent directory or file for FILEOPEN operation"},
        {kFileNotOpen, "cannot perform FILEREAD operation on an unopened file or LOB"},
        // Server errors that an OCI7 program may ask the text of by number.
        {1, "unique constraint violated"},
        {900, "invalid SQL statement"},
        {904, "invalid identifier"},
        {907, "missing right parenthesis"},
        {911, "invalid character"},
        {933, "SQL command not properly ended"},
        {936, "missing expression"},
        {942, "table or view does not exist"},
        {1017, "invalid username/password; logon denied"},
        {1031, "insufficient privileges"},
        {1400, "cannot insert NULL"},
        {28000, "the account is locked"},
        {28001, "the password has expired"},
    };
    auto it = texts.find(code);
    if (it != texts.end())
        return it->second;
    return "Message " + std::to_string(code) + " not found;  product=RDBMS; facility=ORA";
}

OraError clientError(int code)
{
    return clientError(code, messageText(code));
}

OraError clientError(int code, const std::string &text)
{
    OraError e;
    e.code = code;
    e.text = text;
    return e;
}

// 23ai clients follow every message with a line naming its help page;
// DEVDB_ERROR_HELP=1 makes this library do the same.
bool helpLinesWanted()
{
    const char *value = std::getenv("DEVDB_ERROR_HELP");
    return value && std::string_view(value) == "1";
}

std::string formatMessage(int code, const std::string &text)
{
    char prefix[32];
    std::snprintf(prefix, sizeof prefix, "ORA-%05d: ", code);
    std::string message = prefix + text;
    if (helpLinesWanted()) {
        char help[80];
        std::snprintf(help, sizeof help, "\nHelp: https://docs.oracle.com/error-help/db/ora-%05d/", code);
        message += help;
    }
    return message + "\n";
}

} // namespace devdb::oci
