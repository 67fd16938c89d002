// The file-backed registry and the command-line parameters.

#include "TestEnvironment.h"

#include "platform/CommandLine.h"
#include "platform/Environment.h"
#include "platform/Registry.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>

namespace rowpour::oracle::testing
{
namespace
{

using namespace platform;

class RegistryTest : public OracleLayerTest
{
};

TEST_F(RegistryTest, UserValuesRoundTripThroughAPrivateFile)
{
    Registry::writeString(QStringLiteral("rowpour"), QStringLiteral("Logon0"), QStringLiteral("123456"));
    Registry::writeString(QStringLiteral("rowpour"), QStringLiteral("Logon1"),
                          QStringLiteral("a\\b\nc\td=e C:\\new\\table\\"));
    Registry::writeString(QStringLiteral("Software\\Other"), QStringLiteral("Name"), QStringLiteral("Ж"));

    EXPECT_EQ(
        Registry::readString(RegistryRoot::CurrentUser, QStringLiteral("ROWPOUR"), QStringLiteral("logon0")),
        QStringLiteral("123456"));
    EXPECT_EQ(
        Registry::readString(RegistryRoot::CurrentUser, QStringLiteral("rowpour"), QStringLiteral("Logon1")),
        QStringLiteral("a\\b\nc\td=e C:\\new\\table\\"));
    EXPECT_EQ(Registry::readString(RegistryRoot::CurrentUser, QStringLiteral("\\Software\\Other"),
                                   QStringLiteral("Name")),
              QStringLiteral("Ж"));
    EXPECT_EQ(Registry::valueNames(RegistryRoot::CurrentUser, QStringLiteral("rowpour")),
              (QStringList{QStringLiteral("Logon0"), QStringLiteral("Logon1")}));

    const QString file = Registry::currentUserFile();
    EXPECT_EQ(file, path(QStringLiteral("config/rowpour/registry.ini")));
    struct stat st {
    };
    ASSERT_EQ(::stat(QFile::encodeName(file).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(QDir(QFileInfo(file).absolutePath()).entryList(QDir::Files),
              QStringList{QStringLiteral("registry.ini")})
        << "no temporary file is left behind";
}

// The folder that holds the logon history is made private when the store
// creates it, so other users cannot even list it.
TEST_F(RegistryTest, NewConfigurationFolderIsPrivate)
{
    const QString folder = QFileInfo(Registry::currentUserFile()).absolutePath();
    ASSERT_FALSE(QFileInfo::exists(folder));
    Registry::writeString(QStringLiteral("rowpour"), QStringLiteral("Logon0"), QStringLiteral("1"));
    struct stat st {
    };
    ASSERT_EQ(::stat(QFile::encodeName(folder).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
}

TEST_F(RegistryTest, RewritingReplacesTheFileAndKeepsItPrivate)
{
    const QString file = Registry::currentUserFile();
    QDir().mkpath(QFileInfo(file).absolutePath());
    {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("[rowpour]\nLogon0=old\nLogon1=older\n");
    }
    ::chmod(QFile::encodeName(file).constData(), 0644);
    struct stat before {
    };
    ::stat(QFile::encodeName(file).constData(), &before);

    Registry::replaceValues(QStringLiteral("rowpour"), {{QStringLiteral("Logon0"), QStringLiteral("new")}});

    struct stat after {
    };
    ::stat(QFile::encodeName(file).constData(), &after);
    EXPECT_NE(before.st_ino, after.st_ino) << "written to a new file and renamed over the old one";
    EXPECT_EQ(after.st_mode & 0777, 0600u);
    EXPECT_EQ(Registry::valueNames(RegistryRoot::CurrentUser, QStringLiteral("rowpour")),
              QStringList{QStringLiteral("Logon0")});
    Registry::deleteValue(QStringLiteral("rowpour"), QStringLiteral("logon0"));
    EXPECT_TRUE(Registry::valueNames(RegistryRoot::CurrentUser, QStringLiteral("rowpour")).isEmpty());
}

TEST_F(RegistryTest, MissingKeysAndValuesReadEmpty)
{
    EXPECT_TRUE(Registry::readString(RegistryRoot::CurrentUser, QStringLiteral("none"), QStringLiteral("x"))
                    .isEmpty());
    EXPECT_TRUE(Registry::readString(RegistryRoot::LocalMachine, QStringLiteral("SOFTWARE\\ORACLE"),
                                     QStringLiteral("x"))
                    .isEmpty());
    EXPECT_THROW(Registry::writeString(QStringLiteral("k"), QStringLiteral("bad=name"), QStringLiteral("v")),
                 ERegistryError);
}

TEST_F(RegistryTest, MachineValuesComeFromTheSystemFileAndTheEnvironment)
{
    writeMachineRegistry(
        "; Oracle settings\n[SOFTWARE\\ORACLE]\nORACLE_HOME=/opt/file-home\n"
        "TNS_ADMIN=C:\\Oracle\\Admin\n[SOFTWARE\\ORACLE\\HOME0]\nORACLE_HOME_NAME=OraHome\n");
    const QString key = QStringLiteral("software\\oracle");
    EXPECT_EQ(Registry::readString(RegistryRoot::LocalMachine, key, QStringLiteral("ORACLE_HOME")),
              QStringLiteral("/opt/file-home"));
    EXPECT_EQ(Registry::readString(RegistryRoot::LocalMachine, key, QStringLiteral("TNS_ADMIN")),
              QStringLiteral("C:\\Oracle\\Admin"))
        << "a backslash that starts no escape is kept";
    Environment::setVariable("ORACLE_HOME", QStringLiteral("/opt/env-home"));
    EXPECT_EQ(Registry::readString(RegistryRoot::LocalMachine, key, QStringLiteral("ORACLE_HOME")),
              QStringLiteral("/opt/env-home"));
    EXPECT_EQ(Registry::readString(RegistryRoot::LocalMachine, QStringLiteral("SOFTWARE\\ORACLE\\HOME0"),
                                   QStringLiteral("ORACLE_HOME")),
              QString())
        << "the environment gives only the root key's home";
}

TEST(CommandLineParameter, MatchesNameAndEqualsSignAtTheStart)
{
    const QStringList args{QStringLiteral("--verbose"), QStringLiteral("MyOciDll=/wrong"),
                           QStringLiteral("ocidll=/a/b=c"), QStringLiteral("OCIDLL=/second"),
                           QStringLiteral("UserId=scott/tiger@orcl")};
    EXPECT_EQ(CommandLine::parameter(QStringLiteral("OCIDLL"), args), QStringLiteral("/a/b=c"));
    EXPECT_EQ(CommandLine::parameter(QStringLiteral("userid"), args), QStringLiteral("scott/tiger@orcl"));
    EXPECT_EQ(CommandLine::parameter(QStringLiteral("ORACLEHOME"), args), QString());
    const QString longPath =
        QStringLiteral("/") + QString(300, QLatin1Char('d')) + QStringLiteral("/libclntsh.so");
    EXPECT_EQ(CommandLine::parameter(QStringLiteral("OCIDLL"), {QStringLiteral("OCIDLL=") + longPath}),
              longPath);
}

} // namespace
} // namespace rowpour::oracle::testing
