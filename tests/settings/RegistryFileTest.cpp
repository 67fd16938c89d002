// The registry file keeps what the program does not change byte for byte.

#include "platform/CodePage.h"
#include "platform/Registry.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

using namespace rowpour::platform;

namespace
{

// A file written by hand in Windows-1251: a comment, a value and a section
// name that are not UTF-8, CR LF line ends and no line end at the very end.
const QByteArray kHandWritten = "; \xcd\xe0\xf1\xf2\xf0\xee\xe9\xea\xe8\r\n"
                                "[SOFTWARE\\ORACLE]\r\n"
                                "ORACLE_HOME=/opt/\xce\xf0\xe0\xea\xeb\r\n"
                                "\r\n"
                                "[rowpour]\r\n"
                                "Logon0=111\r\n"
                                "Logon1=222\r\n"
                                "[\xcf\xf0\xee\xf7\xe5\xe5]\r\n"
                                "Name=\xc6";

TEST(RegistryFile, UndecodableBytesAreReadAsWindows1251AndWrittenBackUnchanged)
{
    RegistryFile file = RegistryFile::parse(kHandWritten);
    EXPECT_EQ(file.value("SOFTWARE\\ORACLE", "ORACLE_HOME"), QStringLiteral("/opt/Оракл"));
    EXPECT_EQ(file.value(QStringLiteral("Прочее"), "Name"), QStringLiteral("Ж"));
    EXPECT_EQ(file.serialize(), kHandWritten);

    file.setValue("rowpour", "Logon1", "333");
    QByteArray expected = kHandWritten;
    expected.replace("Logon1=222\r\n", "Logon1=333\n");
    EXPECT_EQ(file.serialize(), expected) << "only the changed line is written anew";

    file.replaceValues("rowpour", {{"Logon0", "9"}, {"Logon1", "8"}, {"Logon2", "7"}});
    file.setValue(QStringLiteral("Прочее"), "Other", "x");
    file.setValue("New", "A", QStringLiteral("Ж"));
    const RegistryFile reread = RegistryFile::parse(file.serialize());
    EXPECT_EQ(reread.valueNames("rowpour"), (QStringList{"Logon0", "Logon1", "Logon2"}));
    EXPECT_EQ(reread.value(QStringLiteral("Прочее"), "Name"), QStringLiteral("Ж"));
    EXPECT_EQ(reread.value(QStringLiteral("Прочее"), "Other"), "x");
    EXPECT_EQ(reread.value("new", "a"), QStringLiteral("Ж"));
    EXPECT_TRUE(file.serialize().startsWith(kHandWritten.left(kHandWritten.indexOf("[rowpour]"))));
    EXPECT_TRUE(file.serialize().contains("[\xcf\xf0\xee\xf7\xe5\xe5]\r\nName=\xc6\nOther=x\n"));
}

TEST(RegistryFile, SavedFileIsPrivateAndKeepsTheBytes)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("config/rowpour/registry.ini");
    RegistryFile::parse(kHandWritten).saveAtomically(path);
    QFile saved(path);
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_EQ(saved.readAll(), kHandWritten);
    EXPECT_EQ(saved.permissions() & (QFile::ReadGroup | QFile::ReadOther), QFile::Permissions());
    EXPECT_EQ(QDir(dir.filePath("config/rowpour")).entryList(QDir::Files | QDir::Hidden),
              QStringList{"registry.ini"});
}

TEST(RegistryFile, DuplicateNamesReadTheirLastLineAndRemovingTakesThemAll)
{
    RegistryFile file = RegistryFile::parse("[k]\nA=1\n[other]\nA=x\n[K]\na=2\n");
    EXPECT_EQ(file.value("k", "A"), "2");
    EXPECT_EQ(file.valueNames("k"), QStringList{"A"});
    file.removeValue("k", "A");
    EXPECT_FALSE(file.hasValue("k", "a"));
    EXPECT_EQ(file.value("other", "A"), "x");
}

} // namespace
