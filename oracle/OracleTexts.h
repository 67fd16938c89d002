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

} // namespace rowpour::oracle::texts
