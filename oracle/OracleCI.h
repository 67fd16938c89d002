#pragma once
// The process-wide binding of the Oracle client library: finding the library
// file (ORACLE_HOME, the file-backed registry, OCIDLL=), loading it, binding
// its entry points into one table, and the database alias list read from the
// client's tnsnames.ora.
//
// Every other file calls the client library only through the wrappers in
// namespace oci below; a call to an entry point the loaded library does not
// export raises EUnboundEntryPoint instead of jumping through a null pointer.

#include "oracle/OciApi.h"

#include <QString>
#include <QStringList>

#include <mutex>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace rowpour::oracle
{

// The library failed to load or to bind (message "Initialization error" ...).
class EInitializationError : public std::runtime_error
{
public:
    explicit EInitializationError(const QString &message);
};

// A call reached an entry point that the loaded client library does not export
// (or no library is loaded).
class EUnboundEntryPoint : public std::runtime_error
{
public:
    explicit EUnboundEntryPoint(const char *entryPoint);
    const std::string &entryPoint() const { return entryPoint_; }

private:
    std::string entryPoint_;
};

// A critical section with an entry count: leaving without a matching enter is
// harmless.
class TOracleCriticalSection
{
public:
    void Enter();
    void Leave();
    int EntryCount() const;

private:
    std::recursive_mutex mutex_;
    int count_ = 0;
};

// Which call sets the bound library offers.
struct BindingFlags {
    bool OCI7Available = false;
    bool OlogAvailable = false;
    bool OpinitAvailable = false;
    bool OCI8Enabled = false;
    bool EnvCreateAvailable = false;
    bool OCI8Available = false;
    bool OCI81Available = false;
    bool ErrorExtensionsAvailable = false; // ociepgoe / ociepmsg
};

// Result codes of the library file search.
enum class LibrarySearchResult { Found = 0, NotFound = 1, NoOracleHome = 3 };

// Version of a candidate file name "libclntsh.so.<major>.<minor>..." (empty
// when the name carries no valid version above 0). Compared component-wise.
using LibraryVersion = std::vector<int>;
LibraryVersion LibraryFileVersion(const QString &fileName);

// Aliases of one tnsnames.ora file and of every file it includes, in the
// order met (not yet sorted or de-duplicated). Failures are swallowed.
QStringList ReadTnsNamesAliases(const QString &path);

class ClientLibrary
{
public:
    static ClientLibrary &instance();

    // Loads, binds and initialises the library unless it is loaded already.
    // Throws EInitializationError on failure (the library is then unloaded).
    void Load();
    // Frees the library, clears the entry-point table and the flags, and
    // forgets the home and an automatically chosen library file.
    void Unload();
    bool Loaded() const;
    // Counts successful loads; handles made under an earlier load are not
    // handed to a later one.
    unsigned Generation() const { return generation_; }

    const BindingFlags &Flags() const { return flags_; }
    bool OCI8SwitchedOff() const { return oci8SwitchedOff_; }

    // The library file to load; writing it forces the file (bridge mode).
    QString OCIDLL() const { return ociDll_; }
    void SetOCIDLL(const QString &path) { ociDll_ = path; }
    bool FileChosenBySearch() const { return fileChosenBySearch_; }

    // Preferred Oracle home name (empty: choose one).
    QString HomeName() const { return homeName_; }
    void SetHomeName(const QString &name) { homeName_ = name; }

    QString OracleHomeKey();
    QString OracleHomeDir();
    // Home names with their numbers from SOFTWARE\ORACLE\ALL_HOMES, sorted by name.
    QList<std::pair<QString, int>> OracleHomeNames() const;

    // Lines of the last search joined by CR LF.
    QString SearchLog() const { return searchLog_; }
    // The file system path of the loaded library as the loader reports it.
    QString LoadedFilePath() const;

    // Changes back to the working directory that a retried load left behind.
    void RestoreWorkingDirectory();

    // Path of tnsnames.ora, computed once per run; loads the library.
    QString TnsNamesPath();
    // Sorted, case-insensitively unique alias list, built once per run;
    // every failure is swallowed.
    QStringList DatabaseAliases();
    // Forgets the cached tnsnames path and alias list so that they are read
    // again (the configuration changed, or a test switched homes).
    void ForgetTnsNames();

    TOracleCriticalSection &LibraryLock() { return lock_; }

private:
    ClientLibrary() = default;
    LibrarySearchResult ChooseLibraryFile();
    void Log(const QString &line);
    void Bind();
    int LoadAndBind();
    void ThrowInitializationError(int code);
    void Initialise();
    void ResetBinding();

    unsigned generation_ = 0;
    QString ociDll_;
    bool fileChosenBySearch_ = false;
    QString oracleHomeKey_;
    bool homeKeyComputed_ = false;
    QString homeName_;
    bool homeNameChosenBySearch_ = false;
    QString searchLog_;
    QString savedWorkingDirectory_;
    QString libraryDirectory_;
    BindingFlags flags_;
    bool oci8SwitchedOff_ = false;
    QString tnsNamesPath_;
    bool tnsNamesPathComputed_ = false;
    QStringList databaseAliases_;
    bool databaseAliasesBuilt_ = false;
    TOracleCriticalSection lock_;
};

// The unit-level routines, as the rest of the layer calls them.
inline void LoadClientLibrary()
{
    ClientLibrary::instance().Load();
}
inline void UnloadClientLibrary()
{
    ClientLibrary::instance().Unload();
}
inline bool ClientLibraryLoaded()
{
    return ClientLibrary::instance().Loaded();
}
inline const BindingFlags &ClientFlags()
{
    return ClientLibrary::instance().Flags();
}

namespace oci
{

// The bound entry points (all null while no library is loaded).
const EntryPoints &entryPoints();

[[noreturn]] void throwUnboundEntryPoint(const char *name);

// One wrapper per entry point, named like it: oci::OCIServerAttach(...).
#define X(name, use)                                                                                         \
    template <typename... Args> inline decltype(auto) name(Args &&...args)                                   \
    {                                                                                                        \
        auto *fn = entryPoints().name;                                                                       \
        if (!fn)                                                                                             \
            throwUnboundEntryPoint(#name);                                                                   \
        return fn(std::forward<Args>(args)...);                                                              \
    }
ROWPOUR_ALL_OCI_ENTRIES(X)
#undef X

} // namespace oci
} // namespace rowpour::oracle
