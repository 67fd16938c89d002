#include "TestEnvironment.h"

#include "oracle/OracleCI.h"
#include "platform/CommandLine.h"
#include "platform/Environment.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace rowpour::oracle::testing
{

namespace Environment = platform::Environment;

void OracleLayerTest::SetUp()
{
    ASSERT_TRUE(dir_.isValid());
    Environment::setVariable("XDG_CONFIG_HOME", path("config"));
    Environment::setVariable("ROWPOUR_SYSTEM_REGISTRY", path("machine/registry.ini"));
    for (const char *name : {"ORACLE_HOME", "TNS_ADMIN", "LD_LIBRARY_PATH", "NLS_LANG", "NLS_DATE_FORMAT",
                             "NLS_TIMESTAMP_FORMAT", "NLS_TIMESTAMP_TZ_FORMAT", "NLS_NUMERIC_CHARACTERS"})
        Environment::unsetVariable(name);
    setArguments({});
    resetClientLibrary();
}

void OracleLayerTest::TearDown()
{
    resetClientLibrary();
    setArguments({});
}

void OracleLayerTest::resetClientLibrary()
{
    ClientLibrary &library = ClientLibrary::instance();
    library.Unload();
    library.SetOCIDLL({});
    library.SetHomeName({});
    library.ForgetTnsNames();
}

QString OracleLayerTest::writeFile(const QString &relative, const QByteArray &contents) const
{
    const QString file = path(relative);
    QDir().mkpath(QFileInfo(file).absolutePath());
    QFile f(file);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(contents);
    return file;
}

void OracleLayerTest::writeMachineRegistry(const QByteArray &contents) const
{
    writeFile(QStringLiteral("machine/registry.ini"), contents);
}

void OracleLayerTest::setArguments(const QStringList &arguments)
{
    platform::CommandLine::setArguments(arguments);
}

QString stubLibrary(const QString &variant)
{
#ifdef ROWPOUR_OCI_STUB_DIR
    return QStringLiteral(ROWPOUR_OCI_STUB_DIR "/libocistub_") + variant + QStringLiteral(".so");
#else
    return QStringLiteral("libocistub_") + variant + QStringLiteral(".so");
#endif
}

} // namespace rowpour::oracle::testing
