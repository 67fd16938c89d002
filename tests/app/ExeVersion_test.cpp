// Reading the version note back from executables.

#include "platform/ExeVersion.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

using rowpour::platform::ReadFileVersion;

namespace
{

QString writeFile(const QTemporaryDir &dir, const char *name, const QByteArray &bytes)
{
    const QString path = dir.filePath(QLatin1String(name));
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write(bytes);
    return path;
}

TEST(ExeVersion, TheDesktopProgramCarriesItsVersion)
{
    EXPECT_EQ(ReadFileVersion(QStringLiteral(ROWPOUR_PROGRAM_PATH)), "1.0.0.1");
    EXPECT_EQ(ReadFileVersion(QCoreApplication::applicationFilePath()), "1.0.0.1");
}

TEST(ExeVersion, FilesWithoutTheNoteGiveEmptyText)
{
    QTemporaryDir dir;
    QFile self(QCoreApplication::applicationFilePath());
    ASSERT_TRUE(self.open(QIODevice::ReadOnly));
    const QByteArray program = self.readAll();
    QByteArray foreignNote = program;
    foreignNote.replace(QByteArray("rowpour\0", 8), QByteArray("notours\0", 8));

    struct Case {
        const char *name;
        QString path;
    };
    const Case cases[] = {
        {"missing file", dir.filePath("none")},
        {"empty file", writeFile(dir, "empty", {})},
        {"text file", writeFile(dir, "text", "ROWPOUR 1.0.0.1\n")},
        {"ELF without our note", "/bin/sh"},
        {"note of another name", writeFile(dir, "foreign", foreignNote)},
        {"header only", writeFile(dir, "header", program.left(64))},
        {"directory", dir.path()},
    };
    for (const Case &c : cases)
        EXPECT_EQ(ReadFileVersion(c.path), QString()) << c.name;
}

} // namespace
