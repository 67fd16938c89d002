#pragma once
// Texts of the Oracle access layer that the user sees, in one place so that
// callers and tests compare against the same constants.

namespace rowpour::oracle::texts
{

// Client library loading.
inline constexpr char InitializationError[] = "Initialization error";
inline constexpr char CouldNotLocate[] = "Could not locate OCI dll";
inline constexpr char CouldNotLoad[] = "Could not load ";             // + quoted path
inline constexpr char CouldNotInitialize[] = "Could not initialize "; // + quoted path
inline constexpr char NotProperlyInstalled[] = "SQL*Net not properly installed";
inline constexpr char LineBreak[] = "\r\n";

// Search log lines (each followed by its value).
inline constexpr char LogForced[] = "OCIDLL forced to ";
inline constexpr char LogHomeKey[] = "OracleHomeKey: ";
inline constexpr char LogHomeDir[] = "OracleHomeDir: ";
inline constexpr char LogFound[] = "Found: ";
inline constexpr char LogUsing[] = "Using: ";
inline constexpr char LogLoadLibrary[] = "LoadLibrary(";
inline constexpr char LogReturned[] = ") returned ";
inline constexpr char LogLoaderError[] = "Loader error: ";

// An entry point the library does not export (%1: its name).
inline constexpr char UnboundEntryPoint[] = "The Oracle client library does not provide the entry point %1";

// Configuration changes refused while the session is connected.
inline constexpr char CannotChangeUseOCI7[] = "Cannot change UseOCI7 property when session is connected";
inline constexpr char CannotChangeThreadSafe[] = "Cannot change ThreadSafe property when connected";
inline constexpr char CannotChangePooling[] = "Cannot change Pooling property when connected";
inline constexpr char CannotChangeMTSOptions[] = "Cannot change MTSOptions property when connected";

// A server older than release 8 needs the OCI7 call set (%1: server version
// text, %2: client library file).
inline constexpr char ServerNeedsOCI7[] =
    "The server (%1) supports only the OCI7 call set, which the client library %2 does not provide";

// The client library could not create its environment or a handle (%1: the call, %2: its status).
inline constexpr char HandleAllocationFailed[] = "The Oracle client library call %1 failed with status %2";

// A session statement on a session that is not connected.
inline constexpr char NotLoggedOn[] = "Not logged on";

// The client library file forced in bridge mode when no bridge is installed.
inline constexpr char BridgeLibraryFile[] = "libclntsh.so.7.3";

// A statement or logon component used without a session.
inline constexpr char SessionUndefined[] = "Session undefined";

// Statements and their fetched values.
inline constexpr char FieldDoesNotExistPrefix[] = "Field "; // + index or name
inline constexpr char FieldDoesNotExistSuffix[] = " does not exist";
inline constexpr char BeyondEof[] = "You cannot access field data beyond Eof";
inline constexpr char CannotConvertPrefix[] = "Cannot convert field "; // + name + one of the endings
inline constexpr char ToString[] = " to a String";
inline constexpr char ToInteger[] = " to an Integer";
inline constexpr char ToFloat[] = " to a Float";
inline constexpr char ToDate[] = " to a Date";
// Column kinds that need the handle-based call set (each followed by one suffix).
inline constexpr char QueryWithObjects[] = "A query with objects";
inline constexpr char QueryWithReferences[] = "A query with references";
inline constexpr char QueryWithLobs[] = "A query with LOB's";
inline constexpr char QueryWithSubQueries[] = "A query with sub-queries";
inline constexpr char RequiresOCI8[] = " requires OCI8 mode, but OCI7 mode is used.";
inline constexpr char RequiresNet8[] = " requires Net8, which is not detected on this PC";
inline constexpr char RequiresSession[] = " requires a session";
inline constexpr char RequiresConnectedSession[] = " requires a connected session";
// Messages shown (through the column message hook) for columns a result set cannot hold.
inline constexpr char ObjectsNotSupported[] = ": Objects will be supported in version 3.5";
inline constexpr char ReferencesNotSupported[] = ": References will be supported in version 3.5";
inline constexpr char SubQueriesNotSupported[] =
    ": Sub-queries not supported in dataset, use TOracleQuery instead";
// A LOB value too large to hold in memory (%1: column name, %2: its length).
inline constexpr char LobTooLarge[] = "Column %1: the value of length %2 is too large to read";
// The client's text of a fetched value cut to its buffer, when the client left no error record.
inline constexpr char FetchedValueTruncated[] = "ORA-01406: fetched column value was truncated";
// A call failed without the client library leaving an error record (%1: status).
inline constexpr char CallFailedWithoutRecord[] = "The Oracle client library call failed with status %1";

// Data sets.
inline constexpr char ClosedDataset[] = "Cannot perform this operation on a closed dataset";
inline constexpr char FieldNotFound[] = "Field '%1' not found";
inline constexpr char NoRecords[] = "No Records";
inline constexpr char UnexpectedDatatype[] = "Unexpected datatype: "; // + field name

// The logon component.
inline constexpr char NoLogonWindow[] = "The logon window is not available in this program";
inline constexpr char ConnectAsNormal[] = "Normal";
inline constexpr char ConnectAsSYSDBA[] = "SYSDBA";
inline constexpr char ConnectAsSYSOPER[] = "SYSOPER";
inline constexpr char UserIdParameter[] = "UserId";

// The logon window's default texts, in the order of TLogonTextIndex.
inline constexpr const char *DefaultLogonTexts[] = {
    "Oracle Logon",
    "Change password",
    "Confirm",
    "Username",
    "Password",
    "Database",
    "Connect as",
    "New password",
    "Old password",
    "Verification",
    "Verification failed",
    "Do you wish to change your password now?",
    "Your password has expired",
    "OK",
    "Cancel",
    "Logon history",
};

} // namespace rowpour::oracle::texts
