// The server version check of an OCI8 logon, against a stand-in library that
// reports any version text: release 8 and later stay in OCI8 mode, older
// servers are switched to the OCI7 call set only when the library has it.

#include "TestEnvironment.h"

#include "oracle/Oracle.h"
#include "oracle/OracleCI.h"
#include "oracle/OracleTexts.h"
#include "platform/Environment.h"

#include <dlfcn.h>

namespace rowpour::oracle::testing
{
namespace
{

namespace Environment = platform::Environment;

struct VersionCase {
    const char *name;
    const char *version;
    const char *library;
    bool oci8Mode;
    bool ldaMode;
    bool refused;
};
void PrintTo(const VersionCase &c, std::ostream *os)
{
    *os << c.name;
}

class ServerVersionTest : public OracleLayerTest, public ::testing::WithParamInterface<VersionCase>
{
};

int stubCounter(const QString &library, const char *name)
{
    void *handle = dlopen(library.toLocal8Bit().constData(), RTLD_NOW | RTLD_NOLOAD);
    if (!handle)
        return -1;
    const int value = *static_cast<const int *>(dlsym(handle, name));
    dlclose(handle);
    return value;
}

int sessionEndCalls(const QString &library)
{
    return stubCounter(library, "rowpour_stub_session_end_calls");
}

TEST_P(ServerVersionTest, ChoosesTheCallModeByRelease)
{
    const VersionCase &c = GetParam();
    Environment::setVariable("ROWPOUR_STUB_SERVER_VERSION", QString::fromUtf8(c.version));
    const QString library = stubLibrary(QLatin1String(c.library));
    ClientLibrary::instance().SetOCIDLL(library);
    TOracleSession session;
    session.SetLogonUsername(QStringLiteral("scott/tiger@db"));
    if (c.refused) {
        try {
            session.LogOn();
            FAIL() << "no error";
        } catch (const std::runtime_error &e) {
            EXPECT_EQ(QString::fromUtf8(e.what()),
                      QString::fromLatin1(texts::ServerNeedsOCI7)
                          .arg(QString::fromUtf8(c.version).section(QLatin1Char('\n'), 0, 0), library));
        }
        EXPECT_FALSE(session.Connected());
        EXPECT_EQ(sessionEndCalls(library), 1) << "the begun session is ended before the error";
        return;
    }
    session.LogOn();
    EXPECT_TRUE(session.Connected());
    EXPECT_EQ(session.OCI8Mode(), c.oci8Mode);
    EXPECT_EQ(session.LdaMode(), c.ldaMode);
    EXPECT_EQ(session.ServerVersion(), QString::fromUtf8(c.version));
    session.LogOff();
    EXPECT_FALSE(session.LdaMode());
    EXPECT_EQ(sessionEndCalls(library), 1);
}

INSTANTIATE_TEST_SUITE_P(
    Servers, ServerVersionTest,
    ::testing::Values(
        VersionCase{"Oracle19c",
                    "Oracle Database 19c Enterprise Edition Release 19.0.0.0.0 - Production\nVersion 19.3",
                    "full", true, false, false},
        VersionCase{"Oracle10g", "Oracle Database 10g Release 10.2.0.4.0 - Production", "full", true, false,
                    false},
        VersionCase{"Oracle8i", "Oracle8i Enterprise Edition Release 8.1.7.0.0 - Production", "full", true,
                    false, false},
        VersionCase{"UnknownText", "Some database", "full", true, false, false},
        VersionCase{"Oracle7WithOCI7", "Oracle7 Server Release 7.3.4.0.0 - Production", "full", false, true,
                    false},
        VersionCase{"Oracle7WithoutOCI7", "Oracle7 Server Release 7.3.4.0.0 - Production\nPL/SQL Release 2.3",
                    "nooci7", false, false, true}),
    [](const auto &info) { return std::string(info.param.name); });

class EnvironmentTest : public OracleLayerTest
{
protected:
    void TearDown() override
    {
        Environment::unsetVariable("ROWPOUR_STUB_ENV_FAILURE");
        OracleLayerTest::TearDown();
    }
};

// The client's character set is fixed where the client can: the environment
// is made with the AL32UTF8 ids for both character set forms.
TEST_F(EnvironmentTest, IsCreatedWithTheUtf8CharacterSetIds)
{
    const QString library = stubLibrary(QStringLiteral("full"));
    ClientLibrary::instance().SetOCIDLL(library);
    TOracleSession session;
    session.SetLogonUsername(QStringLiteral("scott/tiger@db"));
    session.LogOn();
    EXPECT_EQ(stubCounter(library, "rowpour_stub_nls_charset"), 873);
    EXPECT_EQ(stubCounter(library, "rowpour_stub_nls_ncharset"), 873);
    session.LogOff();
}

TEST_F(EnvironmentTest, FailureCarriesTheClientsReason)
{
    const QString reason =
        QStringLiteral("ORA-12705: Cannot access NLS data files or invalid environment specified");
    Environment::setVariable("ROWPOUR_STUB_ENV_FAILURE", reason);
    ClientLibrary::instance().SetOCIDLL(stubLibrary(QStringLiteral("full")));
    TOracleSession session;
    session.SetLogonUsername(QStringLiteral("scott/tiger@db"));
    try {
        session.LogOn();
        FAIL() << "no error";
    } catch (const EOracleError &e) {
        EXPECT_EQ(e.ErrorNumber(), 12705);
        EXPECT_EQ(e.Message(), reason);
    }
    EXPECT_FALSE(session.Connected());
}

} // namespace
} // namespace rowpour::oracle::testing
