#pragma once
// Oracle error records as the client library hands them out: the number and
// the text "ORA-nnnnn: message" followed by a line feed.

#include "devdb/engine/Engine.h"

#include "devdb/oci/OciAbi.h"

#include <optional>
#include <string>
#include <vector>

namespace devdb::oci
{

// Errors raised by the client library itself (the server's come from the engine).
enum ClientError : int {
    kInconsistentTypes = 932,
    kInternal = 600,
    kInvalidCursor = 1001,
    kFetchOutOfSequence = 1002,
    kNotInSelectList = 1007,
    kNotAllBound = 1008,
    kIllegalVariable = 1036,
    kNotLoggedOn = 1012,
    kNotAvailable = 1034,
    kNoDataFound = 1403,
    kNullFetched = 1405,
    kTruncated = 1406,
    kIntegerOverflow = 1455,
    kUnreasonableConversion = 1460,
    kInvalidNumber = 1722,
    kUnimplemented = 3001,
    kNotConnected = 3114,
    kUnresolvedIdentifier = 12154,
    kBadServiceName = 12162,
    kAlreadyAuthenticated = 24313,
    kIllegalAttribute = 24315,
    kServiceNotInitialized = 24324,
    kZeroIterations = 24333,
    kNoDescriptor = 24334,
    kNotPrepared = 24337,
    kNotExecuted = 24338,
    kCallbackError = 24343,
    kTruncationWarning = 24345,
    kArrayDmlErrors = 24381,
    kInvalidNlsEnvironment = 12705,
    kInvalidLobLocator = 22275,
    kNoSuchDirectory = 22285,
    kFileNotOpen = 22289,
};

// The message text of a number, without the "ORA-nnnnn: " prefix.
std::string messageText(int code);

// An error of the client library with its standard text.
OraError clientError(int code);
OraError clientError(int code, const std::string &text);

// "ORA-nnnnn: text\n"
std::string formatMessage(int code, const std::string &text);

struct ErrorRecord {
    int code = 0;
    std::string message; // formatted, with the trailing line feed
};

// One failed row of an array execution in batch error mode.
struct RowError {
    ub4 row = 0; // index into the bound arrays
    OraError error;
};

// What an error handle (or an environment handle) holds between calls. The
// row errors of the last array execution stay until the next execution on
// the handle, since a program reads them with further calls on it.
class ErrorState
{
public:
    void clear() { record_.reset(); }
    void set(const OraError &e) { record_ = ErrorRecord{e.code, formatMessage(e.code, e.text)}; }
    const std::optional<ErrorRecord> &record() const { return record_; }
    std::vector<RowError> rowErrors;

private:
    std::optional<ErrorRecord> record_;
};

} // namespace devdb::oci
