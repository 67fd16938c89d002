// Finding, loading and binding the client library, against stand-in libraries
// that hide the names of one entry-point group each.

#include "TestEnvironment.h"

#include "oracle/OracleCI.h"
#include "oracle/OracleTexts.h"
#include "platform/Environment.h"

#include <QDir>
#include <QFile>

#include <dlfcn.h>

namespace rowpour::oracle::testing
{
namespace
{

namespace Environment = platform::Environment;

const QString crlf = QStringLiteral("\r\n");

QString initializationError(const QString &message, const QString &log)
{
    return QLatin1String(texts::InitializationError) + crlf + message + crlf + crlf + log;
}

QString quoted(const QString &path)
{
    return QLatin1Char('"') + path + QLatin1Char('"');
}

QString messageOf(const std::function<void()> &action)
{
    try {
        action();
    } catch (const EInitializationError &e) {
        return QString::fromUtf8(e.what());
    }
    return QStringLiteral("<no EInitializationError>");
}

// Reads a counter of the stand-in library currently loaded from that file.
int stubCounter(const QString &library, const char *name)
{
    void *handle = dlopen(library.toLocal8Bit().constData(), RTLD_NOW | RTLD_NOLOAD);
    if (!handle)
        return -1;
    const auto *value = static_cast<const int *>(dlsym(handle, name));
    const int result = value ? *value : -2;
    dlclose(handle);
    return result;
}

class ClientLibraryTest : public OracleLayerTest
{
protected:
    ClientLibrary &library() { return ClientLibrary::instance(); }

    // An Oracle home whose lib/ holds the given file names, each a link to
    // the full stand-in library.
    QString makeHome(const QString &name, const QStringList &files,
                     const QString &subdir = QStringLiteral("lib"))
    {
        const QString home = path(name);
        const QString dir = subdir.isEmpty() ? home : home + QLatin1Char('/') + subdir;
        QDir().mkpath(dir);
        for (const QString &file : files)
            EXPECT_TRUE(QFile::link(stubLibrary(QStringLiteral("full")), dir + QLatin1Char('/') + file));
        return home;
    }
};

TEST_F(ClientLibraryTest, ForcedLibraryIsLoadedWithoutSearching)
{
    const QString file = stubLibrary(QStringLiteral("full"));
    setArguments({QStringLiteral("ocidll=") + file});
    LoadClientLibrary();
    EXPECT_TRUE(ClientLibraryLoaded());
    EXPECT_EQ(library().SearchLog(), QLatin1String(texts::LogForced) + file);
    EXPECT_FALSE(library().FileChosenBySearch());
    EXPECT_EQ(Environment::variable("NLS_LANG"), QStringLiteral("AMERICAN_AMERICA.AL32UTF8"));
}

TEST_F(ClientLibraryTest, OperatorsNlsLangKeepsLanguageAndTerritoryButTalksUtf8)
{
    Environment::setVariable("NLS_LANG", QStringLiteral("RUSSIAN_RUSSIA.CL8MSWIN1251"));
    library().SetOCIDLL(stubLibrary(QStringLiteral("full")));
    LoadClientLibrary();
    EXPECT_EQ(Environment::variable("NLS_LANG"), QStringLiteral("RUSSIAN_RUSSIA.AL32UTF8"));
}

struct BindingCase {
    const char *variant;
    bool oci7, olog, opinit, oci8, errorExtensions, oci81, envCreate;
    int opinitCalls, initializeCalls;
    const char *unboundName; // a name left null by the binding, or ""
};
void PrintTo(const BindingCase &c, std::ostream *os)
{
    *os << c.variant;
}

class BindingTest : public ClientLibraryTest, public ::testing::WithParamInterface<BindingCase>
{
};

TEST_P(BindingTest, FlagsAndInitialisationFollowTheExportedGroups)
{
    const BindingCase &c = GetParam();
    const QString file = stubLibrary(QLatin1String(c.variant));
    library().SetOCIDLL(file);
    LoadClientLibrary();
    const BindingFlags &f = ClientFlags();
    EXPECT_EQ(f.OCI7Available, c.oci7);
    EXPECT_EQ(f.OlogAvailable, c.olog);
    EXPECT_EQ(f.OpinitAvailable, c.opinit);
    EXPECT_EQ(f.OCI8Available, c.oci8);
    EXPECT_EQ(f.OCI8Enabled, c.oci8);
    EXPECT_EQ(f.ErrorExtensionsAvailable, c.errorExtensions);
    EXPECT_EQ(f.OCI81Available, c.oci81);
    EXPECT_EQ(f.EnvCreateAvailable, c.envCreate);
    EXPECT_EQ(stubCounter(file, "rowpour_stub_opinit_calls"), c.opinitCalls);
    EXPECT_EQ(stubCounter(file, "rowpour_stub_initialize_calls"), c.initializeCalls);
    if (c.initializeCalls > 0) {
        EXPECT_EQ(stubCounter(file, "rowpour_stub_initialize_mode"), 3); // threaded and object mode
    }
    if (*c.unboundName) {
        try {
            if (std::string_view(c.unboundName) == "OCISvcCtxToLda")
                oci::OCISvcCtxToLda(nullptr, nullptr, nullptr);
            else if (std::string_view(c.unboundName) == "odessp")
                oci::odessp(nullptr, nullptr, 0, nullptr, 0, nullptr, 0, nullptr, nullptr, nullptr, nullptr,
                            nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                            nullptr);
            else if (std::string_view(c.unboundName) == "OCIEnvCreate")
                oci::OCIEnvCreate(nullptr, 0, nullptr, nullptr, nullptr, nullptr, 0, nullptr);
            else
                oci::olog(nullptr, nullptr, nullptr, 0, nullptr, 0, nullptr, 0, 0);
            ADD_FAILURE() << "no exception for " << c.unboundName;
        } catch (const EUnboundEntryPoint &e) {
            EXPECT_EQ(e.entryPoint(), c.unboundName);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Variants, BindingTest,
    ::testing::Values(
        //           variant    oci7   olog   opinit oci8   errext oci81  envcr  opinit# init#  unbound
        BindingCase{"full", true, true, true, true, true, true, true, 0, 0, ""},
        BindingCase{"oci7only", true, true, true, false, false, false, false, 1, 0, "OCIEnvCreate"},
        BindingCase{"no81", true, true, true, true, true, false, false, 0, 1, ""},
        BindingCase{"nooci7", false, false, false, true, true, true, true, 0, 0, "odessp"},
        BindingCase{"noolog", true, false, false, true, true, true, true, 0, 0, "olog"},
        BindingCase{"noerrext", true, true, true, true, false, true, true, 0, 0, ""},
        // Neither OCIEnvCreate nor OCIEnvInit: no environment, no OCI8.
        BindingCase{"noenvironment", true, true, true, false, false, false, false, 1, 0, ""},
        // Names the program never calls, or calls only for old servers, are
        // optional: both call sets stay, and a call to one names it.
        BindingCase{"uncalledmissing", true, true, true, true, true, true, true, 0, 0, "OCISvcCtxToLda"}),
    [](const auto &info) { return std::string(info.param.variant); });

TEST_F(ClientLibraryTest, LibraryWithNeitherCallSetFailsToInitialize)
{
    const QString file = stubLibrary(QStringLiteral("neither"));
    library().SetOCIDLL(file);
    EXPECT_EQ(messageOf([] { LoadClientLibrary(); }),
              initializationError(QLatin1String(texts::CouldNotInitialize) + quoted(file),
                                  QLatin1String(texts::LogForced) + file));
    EXPECT_FALSE(ClientLibraryLoaded());
    EXPECT_FALSE(ClientFlags().OCI7Available);
    EXPECT_EQ(oci::entryPoints().oerhms, nullptr);
}

TEST_F(ClientLibraryTest, MissingFileFailsWithTheLoaderLineAndKeepsTheWorkingDirectory)
{
    const QString before = Environment::currentDirectory();
    const QString file = path(QStringLiteral("nowhere/libclntsh.so"));
    QDir().mkpath(path(QStringLiteral("nowhere")));
    library().SetOCIDLL(file);
    const QString message = messageOf([] { LoadClientLibrary(); });
    const QString expectedStart = initializationError(
        QLatin1String(texts::CouldNotLoad) + quoted(file),
        QLatin1String(texts::LogForced) + file + crlf + QLatin1String(texts::LogLoadLibrary) + file +
            QLatin1String(texts::LogReturned) + QStringLiteral("0") + crlf +
            QLatin1String(texts::LogLoaderError));
    EXPECT_TRUE(message.startsWith(expectedStart)) << message.toStdString();
    EXPECT_EQ(Environment::currentDirectory(), before);
}

TEST_F(ClientLibraryTest, NoOracleHomeMeansTheClientIsNotInstalled)
{
    EXPECT_EQ(messageOf([] { LoadClientLibrary(); }),
              initializationError(QLatin1String(texts::NotProperlyInstalled),
                                  QLatin1String(texts::LogHomeKey) + QStringLiteral("SOFTWARE\\ORACLE") +
                                      crlf + QLatin1String(texts::LogHomeDir)));
}

TEST_F(ClientLibraryTest, HomeWithoutLibraryFileCannotLocateOne)
{
    const QString home = makeHome(QStringLiteral("empty"), {QStringLiteral("libclntsh.so.abc")});
    Environment::setVariable("ORACLE_HOME", home);
    EXPECT_EQ(messageOf([] { LoadClientLibrary(); }),
              initializationError(QLatin1String(texts::CouldNotLocate),
                                  QLatin1String(texts::LogHomeKey) + QStringLiteral("SOFTWARE\\ORACLE") +
                                      crlf + QLatin1String(texts::LogHomeDir) + home));
}

struct SearchCase {
    const char *name;
    QStringList files;
    const char *subdir;
    const char *chosen;
    QStringList found;
};
void PrintTo(const SearchCase &c, std::ostream *os)
{
    *os << c.name;
}

class SearchTest : public ClientLibraryTest, public ::testing::WithParamInterface<SearchCase>
{
};

TEST_P(SearchTest, TheRankedCandidateIsLoaded)
{
    const SearchCase &c = GetParam();
    const QString home = makeHome(QStringLiteral("home"), c.files, QLatin1String(c.subdir));
    Environment::setVariable("ORACLE_HOME", home);
    LoadClientLibrary();
    const QString dir = *c.subdir ? home + QLatin1Char('/') + QLatin1String(c.subdir) : home;
    const QString chosen = dir + QLatin1Char('/') + QLatin1String(c.chosen);
    EXPECT_EQ(library().OCIDLL(), chosen);
    EXPECT_TRUE(library().FileChosenBySearch());
    QString log = QLatin1String(texts::LogHomeKey) + QStringLiteral("SOFTWARE\\ORACLE") + crlf +
                  QLatin1String(texts::LogHomeDir) + home;
    for (const QString &f : c.found)
        log += crlf + QLatin1String(texts::LogFound) + f;
    log += crlf + QLatin1String(texts::LogUsing) + chosen;
    EXPECT_EQ(library().SearchLog(), log);

    UnloadClientLibrary();
    EXPECT_TRUE(library().OCIDLL().isEmpty()) << "a searched file is forgotten at unload";
}

INSTANTIATE_TEST_SUITE_P(
    Homes, SearchTest,
    ::testing::Values(SearchCase{"UnversionedFileWins",
                                 {"libclntsh.so.19.1", "libclntsh.so"},
                                 "lib",
                                 "libclntsh.so",
                                 {"libclntsh.so", "libclntsh.so.19.1"}},
                      SearchCase{"HighestVersionWins",
                                 {"libclntsh.so.11.1", "libclntsh.so.19.1", "libclntsh.so.12.1"},
                                 "lib",
                                 "libclntsh.so.19.1",
                                 {"libclntsh.so.11.1", "libclntsh.so.12.1", "libclntsh.so.19.1"}},
                      SearchCase{"VersionsCompareByNumber",
                                 {"libclntsh.so.19.9", "libclntsh.so.19.10"},
                                 "lib",
                                 "libclntsh.so.19.10",
                                 {"libclntsh.so.19.10", "libclntsh.so.19.9"}},
                      SearchCase{"InvalidVersionsAreSkipped",
                                 {"libclntsh.so.0.0", "libclntsh.so.x1", "libclntsh.so.7.3"},
                                 "lib",
                                 "libclntsh.so.7.3",
                                 {"libclntsh.so.7.3"}},
                      SearchCase{"InstantClientKeepsItsFilesInTheHome",
                                 {"libclntsh.so.23.1"},
                                 "",
                                 "libclntsh.so.23.1",
                                 {"libclntsh.so.23.1"}}),
    [](const auto &info) { return std::string(info.param.name); });

struct HomeChoiceCase {
    const char *name;
    const char *parameter; // ORACLEHOME=...
    QStringList pathOrder; // homes in LD_LIBRARY_PATH order
    const char *key;
    const char *homeName;
    const char *home;
};
void PrintTo(const HomeChoiceCase &c, std::ostream *os)
{
    *os << c.name;
}

class HomeChoiceTest : public ClientLibraryTest, public ::testing::WithParamInterface<HomeChoiceCase>
{
};

TEST_P(HomeChoiceTest, TheHomeFoundEarliestOnThePathOrTheNamedOneIsChosen)
{
    const HomeChoiceCase &c = GetParam();
    const QString first = makeHome(QStringLiteral("first"), {QStringLiteral("libclntsh.so")});
    const QString second = makeHome(QStringLiteral("second"), {QStringLiteral("libclntsh.so")});
    writeMachineRegistry("[SOFTWARE\\ORACLE\\ALL_HOMES]\nHOME_COUNTER=2\n"
                         "[SOFTWARE\\ORACLE\\HOME0]\nORACLE_HOME_NAME=OraFirst\nORACLE_HOME=" +
                         first.toUtf8() +
                         "\n"
                         "[SOFTWARE\\ORACLE\\HOME1]\nORACLE_HOME_NAME=OraSecond\nORACLE_HOME=" +
                         second.toUtf8() + "\n");
    QStringList dirs;
    for (const QString &home : c.pathOrder)
        dirs << path(home) + QStringLiteral("/lib");
    Environment::setVariable("LD_LIBRARY_PATH", dirs.join(QLatin1Char(':')));
    if (*c.parameter)
        setArguments({QStringLiteral("ORACLEHOME=") + QLatin1String(c.parameter)});
    EXPECT_EQ(library().OracleHomeKey(), QLatin1String(c.key));
    EXPECT_EQ(library().HomeName(), QLatin1String(c.homeName));
    LoadClientLibrary();
    EXPECT_TRUE(library().OCIDLL().startsWith(path(QLatin1String(c.home)) + QLatin1Char('/')));
}

INSTANTIATE_TEST_SUITE_P(
    TwoHomes, HomeChoiceTest,
    ::testing::Values(
        HomeChoiceCase{
            "SecondEarlierOnPath", "", {"second", "first"}, "SOFTWARE\\ORACLE\\HOME1", "OraSecond", "second"},
        HomeChoiceCase{
            "FirstEarlierOnPath", "", {"first", "second"}, "SOFTWARE\\ORACLE\\HOME0", "OraFirst", "first"},
        HomeChoiceCase{"ParameterNamesTheFirst",
                       "orafirst",
                       {"second", "first"},
                       "SOFTWARE\\ORACLE\\HOME0",
                       "OraFirst",
                       "first"},
        HomeChoiceCase{
            "NeitherOnPathTakesTheLast", "", {}, "SOFTWARE\\ORACLE\\HOME1", "OraSecond", "second"}),
    [](const auto &info) { return std::string(info.param.name); });

struct VersionCase {
    const char *file;
    LibraryVersion version;
};

TEST(LibraryFileVersion, ParsesVersionedNamesOnly)
{
    const VersionCase cases[] = {
        {"libclntsh.so.19.1", {19, 1}}, {"libclntsh.so.7.3", {7, 3}}, {"libclntsh.so.12", {12}},
        {"libclntsh.so.0.0", {}},       {"libclntsh.so.", {}},        {"libclntsh.so.19.x", {}},
        {"libclntsh.so", {}},           {"libocci.so.19.1", {}},      {"libclntsh.so.19..1", {}},
    };
    for (const VersionCase &c : cases)
        EXPECT_EQ(LibraryFileVersion(QLatin1String(c.file)), c.version) << c.file;
}

TEST(ClientLibraryUnbound, CallingWithoutALoadedLibraryNamesTheEntryPoint)
{
    ClientLibrary::instance().Unload();
    try {
        oci::OCIServerVersion(nullptr, nullptr, nullptr, 0, 0);
        FAIL() << "no exception";
    } catch (const EUnboundEntryPoint &e) {
        EXPECT_EQ(QString::fromUtf8(e.what()),
                  QString::fromLatin1(texts::UnboundEntryPoint).arg(QStringLiteral("OCIServerVersion")));
    }
}

TEST(OracleCriticalSection, LeaveWithoutEnterIsHarmless)
{
    TOracleCriticalSection lock;
    lock.Leave();
    EXPECT_EQ(lock.EntryCount(), 0);
    lock.Enter();
    lock.Enter();
    EXPECT_EQ(lock.EntryCount(), 2);
    lock.Leave();
    lock.Leave();
    lock.Leave();
    EXPECT_EQ(lock.EntryCount(), 0);
}

} // namespace
} // namespace rowpour::oracle::testing
