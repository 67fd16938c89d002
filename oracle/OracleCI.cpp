#include "oracle/OracleCI.h"

#include "oracle/ClientEnvironment.h"
#include "oracle/OracleTexts.h"
#include "platform/CommandLine.h"
#include "platform/DynamicLibrary.h"
#include "platform/Environment.h"
#include "platform/Registry.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <algorithm>
#include <span>

namespace rowpour::oracle
{

using platform::RegistryRoot;
using platform::Registry::readString;
namespace Environment = platform::Environment;

namespace
{

const QString oracleRootKey = QStringLiteral("SOFTWARE\\ORACLE");
const QString homeKeyPrefix = QStringLiteral("SOFTWARE\\ORACLE\\HOME");
const QString oracleHomeValue = QStringLiteral("ORACLE_HOME");
// The unversioned library file takes the place "oci.dll" has on Windows.
const QString plainLibraryName = QStringLiteral("libclntsh.so");
const QString versionedLibraryPrefix = QStringLiteral("libclntsh.so.");
constexpr int maxPathTextLength = 10000;
constexpr int maxTnsAdminLength = 1000;
constexpr int maxIncludeDepth = 16;

QString readMachine(const QString &key, const QString &name)
{
    return readString(RegistryRoot::LocalMachine, key, name);
}

// Joins file-system path parts with "/".
QString joinPath(const QString &path, const QString &part)
{
    if (path.isEmpty() || path.endsWith(QLatin1Char('/')))
        return path + part;
    return path + QLatin1Char('/') + part;
}

// The directory of a home that holds the client library: lib/ of a full
// client, the home itself for an Instant Client.
QString libraryDirectoryOf(const QString &home)
{
    const QDir lib(joinPath(home, QStringLiteral("lib")));
    if (lib.exists() &&
        !lib.entryList({plainLibraryName, versionedLibraryPrefix + QLatin1Char('*')}, QDir::Files).isEmpty())
        return lib.path();
    return home;
}

bool versionLess(const LibraryVersion &a, const LibraryVersion &b)
{
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end());
}

// How the loader treats a name; the entry lists in OciApi.h say it for each.
enum class EntryUse { Required, Optional, Unused };

struct EntryBinding {
    const char *name;
    EntryUse use;
    void (*assign)(oci::EntryPoints &, void *);
};

#define X(n, use)                                                                                            \
    {#n, EntryUse::use, [](oci::EntryPoints &t, void *p) { t.n = reinterpret_cast<oci::n##_fn *>(p); }},
const EntryBinding oci7Group[] = {ROWPOUR_OCI7_ENTRIES(X)};
const EntryBinding ologGroup[] = {ROWPOUR_OLOG_ENTRIES(X)};
const EntryBinding opinitGroup[] = {ROWPOUR_OPINIT_ENTRIES(X)};
const EntryBinding oci8Group[] = {ROWPOUR_OCI8_ENTRIES(X)};
const EntryBinding errorExtensionGroup[] = {ROWPOUR_OCI_ERROR_EXTENSION_ENTRIES(X)};
const EntryBinding oci81Group[] = {ROWPOUR_OCI81_ENTRIES(X)};
const EntryBinding nlsGroup[] = {ROWPOUR_OCI_NLS_ENTRIES(X)};
#undef X

static_assert(std::size(oci8Group) == 114);
static_assert(std::size(oci7Group) == 20);
static_assert(std::size(oci81Group) == 9);

oci::EntryPoints table;
// Closed by Unload only, never by a static destructor at exit: a client
// library may still have exit handlers and thread destructors of its own
// registered then, and unmapping it under them would crash the exit.
platform::DynamicLibrary &library = *new platform::DynamicLibrary;

// Binds every name of a group that the library exports; the group is
// available when none of its required names is missing. An incomplete
// group leaves all of its names unbound.
bool bindGroup(std::span<const EntryBinding> group)
{
    bool complete = true;
    for (const EntryBinding &entry : group) {
        void *address = library.symbol(entry.name);
        if (address)
            entry.assign(table, address);
        else if (entry.use == EntryUse::Required)
            complete = false;
    }
    if (!complete)
        for (const EntryBinding &entry : group)
            entry.assign(table, nullptr);
    return complete;
}

class LockGuard
{
public:
    explicit LockGuard(TOracleCriticalSection &lock) : lock_(lock) { lock_.Enter(); }
    ~LockGuard() { lock_.Leave(); }
    LockGuard(const LockGuard &) = delete;
    LockGuard &operator=(const LockGuard &) = delete;

private:
    TOracleCriticalSection &lock_;
};

// Reads one tnsnames file into the list; includes are followed recursively.
// A file that is already being read is not read again (an include cycle).
void readTnsNamesFile(QString file, QStringList &aliases, QStringList &includeStack)
{
    while (file.startsWith(QStringLiteral("\\\\\\")))
        file.remove(0, 1);
    const QFileInfo info(file);
    if (!info.exists() || !info.isFile())
        return;
    const QString canonical = info.canonicalFilePath();
    if (includeStack.contains(canonical) || includeStack.size() >= maxIncludeDepth)
        return;
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return;
    includeStack.push_back(canonical);
    const QList<QByteArray> lines = f.readAll().split('\n');
    int depth = 0;
    bool pendingInclude = false;
    for (const QByteArray &raw : lines) {
        const QString line = QString::fromUtf8(raw);
        if (line.startsWith(QLatin1Char('#')))
            continue;
        QString text;
        for (const QChar c : line) {
            if (c == QLatin1Char('('))
                ++depth;
            if (c.unicode() > 31 && depth == 0)
                text += c;
            if (c == QLatin1Char(')'))
                --depth;
        }
        text = text.trimmed();
        if (text.isEmpty())
            continue;
        const qsizetype eq = text.indexOf(QLatin1Char('='));
        if (eq < 0) {
            if (pendingInclude) {
                readTnsNamesFile(text, aliases, includeStack);
                pendingInclude = false;
            }
            continue;
        }
        QString name = text.left(eq).trimmed();
        const QString value = text.mid(eq + 1).trimmed();
        const qsizetype world = name.toUpper().indexOf(QStringLiteral(".WORLD"));
        if (world >= 0)
            name = name.left(world);
        if (name.toLower() != QStringLiteral("ifile")) {
            if (!name.isEmpty())
                aliases << name;
            continue;
        }
        pendingInclude = false;
        if (!value.isEmpty())
            readTnsNamesFile(value, aliases, includeStack);
        else
            pendingInclude = true;
    }
    includeStack.pop_back();
}

} // namespace

// ---------------------------------------------------------------------------

EInitializationError::EInitializationError(const QString &message) : std::runtime_error(message.toStdString())
{
}

EUnboundEntryPoint::EUnboundEntryPoint(const char *entryPoint)
    : std::runtime_error(
          QString::fromLatin1(texts::UnboundEntryPoint).arg(QLatin1String(entryPoint)).toStdString()),
      entryPoint_(entryPoint)
{
}

void TOracleCriticalSection::Enter()
{
    mutex_.lock();
    ++count_;
}

void TOracleCriticalSection::Leave()
{
    if (count_ == 0)
        return;
    --count_;
    mutex_.unlock();
}

int TOracleCriticalSection::EntryCount() const
{
    return count_;
}

const oci::EntryPoints &oci::entryPoints()
{
    return table;
}

void oci::throwUnboundEntryPoint(const char *name)
{
    throw EUnboundEntryPoint(name);
}

LibraryVersion LibraryFileVersion(const QString &fileName)
{
    if (!fileName.startsWith(versionedLibraryPrefix))
        return {};
    const QStringList parts = fileName.mid(versionedLibraryPrefix.size()).split(QLatin1Char('.'));
    LibraryVersion version;
    bool aboveZero = false;
    for (const QString &part : parts) {
        if (part.isEmpty() || part.size() > 6 ||
            !std::all_of(part.begin(), part.end(), [](QChar c) { return c.isDigit() && c.unicode() < 128; }))
            return {};
        version.push_back(part.toInt());
        aboveZero = aboveZero || version.back() > 0;
    }
    return aboveZero ? version : LibraryVersion{};
}

QStringList ReadTnsNamesAliases(const QString &path)
{
    QStringList aliases;
    QStringList includeStack;
    readTnsNamesFile(path, aliases, includeStack);
    return aliases;
}

// ---------------------------------------------------------------------------

ClientLibrary &ClientLibrary::instance()
{
    static ClientLibrary library;
    return library;
}

bool ClientLibrary::Loaded() const
{
    return library.isOpen();
}

void ClientLibrary::Log(const QString &line)
{
    if (!searchLog_.isEmpty())
        searchLog_ += QLatin1String(texts::LineBreak);
    searchLog_ += line;
}

QList<std::pair<QString, int>> ClientLibrary::OracleHomeNames() const
{
    QList<std::pair<QString, int>> names;
    bool ok = false;
    const int counter =
        readMachine(QStringLiteral("SOFTWARE\\ORACLE\\ALL_HOMES"), QStringLiteral("HOME_COUNTER"))
            .trimmed()
            .toInt(&ok);
    if (!ok)
        return names;
    for (int k = 0; k < std::max(counter, 1); ++k) {
        const QString name =
            readMachine(homeKeyPrefix + QString::number(k), QStringLiteral("ORACLE_HOME_NAME"));
        if (!name.isEmpty())
            names.append({name, k});
    }
    std::stable_sort(names.begin(), names.end(), [](const auto &a, const auto &b) {
        return a.first.compare(b.first, Qt::CaseInsensitive) < 0;
    });
    return names;
}

QString ClientLibrary::OracleHomeKey()
{
    if (homeKeyComputed_)
        return oracleHomeKey_;
    const auto homes = OracleHomeNames();
    QString key = oracleRootKey;
    if (!homes.isEmpty()) {
        QString wanted = platform::CommandLine::parameter(QStringLiteral("ORACLEHOME")).toUpper();
        if (wanted.isEmpty())
            wanted = homeName_.toUpper();
        // The loader's search path first, then PATH: the home found earliest wins.
        const QString searchPath =
            (Environment::variable("LD_LIBRARY_PATH") + QLatin1Char(':') + Environment::variable("PATH"))
                .left(maxPathTextLength)
                .toUpper();
        qsizetype best = searchPath.size();
        int taken = -1;
        QString lastKey;
        for (int i = 0; i < homes.size(); ++i) {
            const QString k = homeKeyPrefix + QString::number(homes[i].second);
            lastKey = k;
            if (homes[i].first.toUpper() == wanted) {
                key = k;
                taken = i;
                break;
            }
            const QString home = readMachine(k, oracleHomeValue);
            if (home.isEmpty())
                continue;
            const qsizetype p = searchPath.indexOf(libraryDirectoryOf(home).toUpper()) + 1;
            if (p > 0 && p < best) {
                key = k;
                taken = i;
                best = p;
            }
        }
        if (taken < 0) {
            key = lastKey;
            taken = int(homes.size()) - 1;
        }
        if (homeName_.isEmpty()) {
            homeName_ = homes[taken].first;
            homeNameChosenBySearch_ = true;
        }
    }
    if (readMachine(key, oracleHomeValue).isEmpty())
        key = oracleRootKey;
    oracleHomeKey_ = key;
    homeKeyComputed_ = true;
    return oracleHomeKey_;
}

QString ClientLibrary::OracleHomeDir()
{
    return readMachine(OracleHomeKey(), oracleHomeValue);
}

LibrarySearchResult ClientLibrary::ChooseLibraryFile()
{
    fileChosenBySearch_ = false;
    const QString forced = platform::CommandLine::parameter(QStringLiteral("OCIDLL"));
    if (!forced.isEmpty())
        ociDll_ = forced;
    if (!ociDll_.isEmpty()) {
        Log(QLatin1String(texts::LogForced) + ociDll_);
        return LibrarySearchResult::Found;
    }
    const QString homeKey = OracleHomeKey();
    const QString homeDir = OracleHomeDir();
    Log(QLatin1String(texts::LogHomeKey) + homeKey);
    Log(QLatin1String(texts::LogHomeDir) + homeDir);
    if (homeDir.isEmpty())
        return LibrarySearchResult::NoOracleHome;

    struct Candidate {
        QString name;
        LibraryVersion version;
    };
    QList<Candidate> candidates;
    const QDir dir(libraryDirectoryOf(homeDir));
    if (QFileInfo(dir.filePath(plainLibraryName)).isFile()) {
        Log(QLatin1String(texts::LogFound) + plainLibraryName);
        candidates.append({plainLibraryName, {}});
    }
    const QStringList versioned =
        dir.entryList({versionedLibraryPrefix + QLatin1Char('*')}, QDir::Files, QDir::Name);
    for (const QString &name : versioned) {
        LibraryVersion version = LibraryFileVersion(name);
        if (version.empty())
            continue;
        Log(QLatin1String(texts::LogFound) + name);
        candidates.append({name, std::move(version)});
    }
    const Candidate *chosen = nullptr;
    for (const Candidate &c : candidates) {
        if (c.name.compare(plainLibraryName, Qt::CaseInsensitive) == 0) {
            chosen = &c;
            break;
        }
        if (!chosen || versionLess(chosen->version, c.version))
            chosen = &c;
    }
    if (!chosen)
        return LibrarySearchResult::NotFound;
    ociDll_ = dir.filePath(chosen->name);
    fileChosenBySearch_ = true;
    Log(QLatin1String(texts::LogUsing) + ociDll_);
    return LibrarySearchResult::Found;
}

int ClientLibrary::LoadAndBind()
{
    if (!library.open(ociDll_)) {
        const QString firstError = library.errorText();
        savedWorkingDirectory_ = Environment::currentDirectory();
        libraryDirectory_ = QFileInfo(ociDll_).absolutePath();
        Environment::setCurrentDirectory(libraryDirectory_);
        if (!library.open(ociDll_)) {
            Log(QLatin1String(texts::LogLoadLibrary) + ociDll_ + QLatin1String(texts::LogReturned) +
                QStringLiteral("0"));
            Log(QLatin1String(texts::LogLoaderError) + firstError);
            RestoreWorkingDirectory();
            return 1;
        }
    }
    Bind();
    if (!flags_.OCI7Available && !flags_.OCI8Enabled)
        return 2;
    return 0;
}

void ClientLibrary::Bind()
{
    table = {};
    flags_ = {};
    flags_.OCI7Available = bindGroup(oci7Group);
    if (flags_.OCI7Available)
        flags_.OlogAvailable = bindGroup(ologGroup);
    if (flags_.OlogAvailable)
        flags_.OpinitAvailable = bindGroup(opinitGroup);
    // The handle-based call set also needs a way to create its environment:
    // OCIEnvCreate, or the older OCIInitialize with OCIEnvInit.
    const bool environment =
        library.symbol("OCIEnvCreate") || (library.symbol("OCIInitialize") && library.symbol("OCIEnvInit"));
    flags_.OCI8Available = environment && bindGroup(oci8Group);
    if (flags_.OCI8Available) {
        bindGroup(errorExtensionGroup);
        flags_.ErrorExtensionsAvailable = table.ociepgoe && table.ociepmsg;
        flags_.OCI81Available = bindGroup(oci81Group);
        bindGroup(nlsGroup);
    }
    flags_.OCI8Enabled = !oci8SwitchedOff_ && flags_.OCI8Available;
    flags_.EnvCreateAvailable = flags_.OCI8Available && flags_.OCI81Available;
}

void ClientLibrary::ThrowInitializationError(int code)
{
    const QString quoted = QLatin1Char('"') + ociDll_ + QLatin1Char('"');
    QString message;
    if (code == 1)
        message = ociDll_.isEmpty() ? QLatin1String(texts::CouldNotLocate)
                                    : QLatin1String(texts::CouldNotLoad) + quoted;
    else if (code == 2)
        message = QLatin1String(texts::CouldNotInitialize) + quoted;
    else
        message = QLatin1String(texts::NotProperlyInstalled);
    const QString lineBreak = QLatin1String(texts::LineBreak);
    const QString full =
        QLatin1String(texts::InitializationError) + lineBreak + message + lineBreak + lineBreak + searchLog_;
    Unload();
    throw EInitializationError(full);
}

void ClientLibrary::Initialise()
{
    if (flags_.OpinitAvailable && !flags_.OCI8Enabled)
        oci::opinit(oci::OCI_EV_DEF);
    if (flags_.OCI8Enabled && !flags_.EnvCreateAvailable)
        oci::OCIInitialize(oci::OCI_THREADED | oci::OCI_OBJECT, nullptr, nullptr, nullptr, nullptr);
}

void ClientLibrary::Load()
{
    LockGuard guard(lock_);
    if (Loaded())
        return;
    searchLog_.clear();
    // The client reads its national-language settings when it starts.
    PrepareClientEnvironment(platform::OperatorLocale::system());
    const LibrarySearchResult found = ChooseLibraryFile();
    if (found != LibrarySearchResult::Found)
        ThrowInitializationError(static_cast<int>(found));
    const int code = LoadAndBind();
    if (code != 0)
        ThrowInitializationError(code);
    ++generation_;
    Initialise();
}

void ClientLibrary::ResetBinding()
{
    table = {};
    flags_ = {};
}

void ClientLibrary::Unload()
{
    LockGuard guard(lock_);
    library.close();
    ResetBinding();
    oracleHomeKey_.clear();
    homeKeyComputed_ = false;
    if (fileChosenBySearch_)
        ociDll_.clear();
    fileChosenBySearch_ = false;
    if (homeNameChosenBySearch_)
        homeName_.clear();
    homeNameChosenBySearch_ = false;
}

QString ClientLibrary::LoadedFilePath() const
{
    if (!Loaded())
        return {};
    for (const char *name : {"OCIServerVersion", "orlon", "OCIInitialize", "olog"}) {
        const QString path = library.loadedPath(name);
        if (!path.isEmpty())
            return QFileInfo(path).absoluteFilePath();
    }
    return QFileInfo(ociDll_).absoluteFilePath();
}

void ClientLibrary::RestoreWorkingDirectory()
{
    if (!savedWorkingDirectory_.isEmpty() &&
        QFileInfo(Environment::currentDirectory()) == QFileInfo(libraryDirectory_))
        Environment::setCurrentDirectory(savedWorkingDirectory_);
    savedWorkingDirectory_.clear();
    libraryDirectory_.clear();
}

QString ClientLibrary::TnsNamesPath()
{
    if (tnsNamesPathComputed_)
        return tnsNamesPath_;
    const QString key = OracleHomeKey();
    Load();
    QString path = Environment::variable("TNS_ADMIN").left(maxTnsAdminLength);
    if (path.isEmpty())
        path = readMachine(key, QStringLiteral("TNS_ADMIN"));
    if (path.isEmpty() && key.compare(oracleRootKey, Qt::CaseInsensitive) != 0)
        path = readMachine(oracleRootKey, QStringLiteral("TNS_ADMIN"));
    if (path.isEmpty()) {
        const QString net =
            readMachine(key, flags_.OCI8Available ? QStringLiteral("NET80") : QStringLiteral("NET20"));
        if (!net.isEmpty())
            path = joinPath(net, QStringLiteral("admin"));
    }
    if (path.isEmpty()) {
        const bool networkAdmin = !flags_.OCI8Available || flags_.OCI81Available;
        path = joinPath(readMachine(key, oracleHomeValue),
                        networkAdmin ? QStringLiteral("network/admin") : QStringLiteral("net80/admin"));
    }
    tnsNamesPath_ = joinPath(path, QStringLiteral("tnsnames.ora"));
    tnsNamesPathComputed_ = true;
    return tnsNamesPath_;
}

QStringList ClientLibrary::DatabaseAliases()
{
    if (databaseAliasesBuilt_)
        return databaseAliases_;
    databaseAliasesBuilt_ = true;
    QStringList found;
    try {
        found = ReadTnsNamesAliases(TnsNamesPath());
    } catch (...) {
        // The alias list is a convenience: a client that cannot be loaded
        // leaves it empty and the operator types the database.
    }
    QSet<QString> seen;
    for (const QString &alias : found) {
        if (!seen.contains(alias.toUpper())) {
            seen.insert(alias.toUpper());
            databaseAliases_ << alias;
        }
    }
    std::stable_sort(
        databaseAliases_.begin(), databaseAliases_.end(),
        [](const QString &a, const QString &b) { return a.compare(b, Qt::CaseInsensitive) < 0; });
    return databaseAliases_;
}

void ClientLibrary::ForgetTnsNames()
{
    tnsNamesPath_.clear();
    tnsNamesPathComputed_ = false;
    databaseAliases_.clear();
    databaseAliasesBuilt_ = false;
}

} // namespace rowpour::oracle
