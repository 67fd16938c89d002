// Whole-file replacement and whole-entry appends: what is left on disk when
// the system refuses a write, and the reason given.

#include "platform/FileWriting.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <functional>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace rowpour::platform;

namespace
{

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void writeAll(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

QStringList hiddenAndPlainFiles(const QString &dir)
{
    return QDir(dir).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

unsigned modeOf(const QString &path)
{
    struct stat st {
    };
    ::stat(QFile::encodeName(path).constData(), &st);
    return st.st_mode & 07777;
}

// Runs `body` in a child process whose files may grow to `maxFileSize` bytes
// (a full disk, for the writes of that process); the child's exit code tells
// whether body returned true.
bool inProcessWithFileSizeLimit(rlim_t maxFileSize, const std::function<bool()> &body)
{
    const pid_t child = ::fork();
    if (child == 0) {
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{maxFileSize, maxFileSize};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        ::_exit(body() ? 0 : 1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

pid_t finishedProcess()
{
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(0);
    ::waitpid(child, nullptr, 0);
    return child;
}

TEST(AtomicWrite, FailureLeavesTheOldFileAndNoTemporaryFile)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("map.ini");
    writeAll(path, "old");
    const bool refused = inProcessWithFileSizeLimit(2, [&] {
        try {
            WriteFileAtomically(path, "new contents");
        } catch (const EFileWriteError &e) {
            return e.reason() == QStringLiteral("File too large") &&
                   QString::fromUtf8(e.what()) == path + QStringLiteral(": File too large");
        }
        return false;
    });
    EXPECT_TRUE(refused);
    EXPECT_EQ(readAll(path), "old");
    EXPECT_EQ(hiddenAndPlainFiles(dir.path()), QStringList{"map.ini"});

    // A rename that fails (the name is a folder) removes the temporary file too.
    QDir(dir.path()).mkdir("folder");
    EXPECT_THROW(WriteFileAtomically(dir.filePath("folder"), "x"), EFileWriteError);
    EXPECT_EQ(hiddenAndPlainFiles(dir.path()), QStringList{"map.ini"});
    EXPECT_THROW(WriteFileAtomically(dir.filePath("none/x.ini"), "x"), EFileWriteError);
}

TEST(AtomicWrite, TemporaryFilesOfProcessesThatAreGoneAreRemoved)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("registry.ini");
    const QString stale = dir.filePath(QStringLiteral(".registry.ini.tmp-%1-a1b2c3").arg(finishedProcess()));
    const QString running = dir.filePath(QStringLiteral(".registry.ini.tmp-%1-d4e5f6").arg(::getppid()));
    const QString other = dir.filePath(QStringLiteral(".other.ini.tmp-%1-a1b2c3").arg(finishedProcess()));
    for (const QString &file : {stale, running, other})
        writeAll(file, "half");
    WriteFileAtomically(path, "whole");
    EXPECT_EQ(readAll(path), "whole");
    EXPECT_FALSE(QFile::exists(stale));
    EXPECT_TRUE(QFile::exists(running)) << "a running writer's file is its own";
    EXPECT_TRUE(QFile::exists(other)) << "only temporary files of the same target";
}

TEST(AtomicWrite, ModesAndSymbolicLinks)
{
    QTemporaryDir dir;
    const QString kept = dir.filePath("kept.ini");
    writeAll(kept, "a");
    ::chmod(QFile::encodeName(kept).constData(), 0640);
    WriteFileAtomically(kept, "b");
    EXPECT_EQ(modeOf(kept), 0640u);

    const QString forced = dir.filePath("forced.ini");
    WriteFileAtomically(forced, "secret", 0600);
    EXPECT_EQ(modeOf(forced), 0600u);

    const mode_t mask = ::umask(027);
    const QString fresh = dir.filePath("fresh.ini");
    WriteFileAtomically(fresh, "c");
    ::umask(mask);
    EXPECT_EQ(modeOf(fresh), 0640u);

    const QString link = dir.filePath("link.ini");
    ASSERT_TRUE(QFile::link(kept, link));
    WriteFileAtomically(link, "through the link");
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_EQ(readAll(kept), "through the link");
}

// A rename would replace a read-only file whose folder may be written; the
// write refuses it as a write in place would. Root may write any file, so the
// refusal is looked at as an ordinary user.
TEST(AtomicWrite, ReadOnlyFileIsRefused)
{
    QTemporaryDir dir;
    ::chmod(QFile::encodeName(dir.path()).constData(), 0777);
    const QString path = dir.filePath("readonly.ini");
    writeAll(path, "old");
    ::chmod(QFile::encodeName(path).constData(), 0444);
    const auto refused = [&] {
        try {
            WriteFileAtomically(path, "new");
        } catch (const EFileWriteError &e) {
            return e.reason() == QStringLiteral("Permission denied");
        }
        return false;
    };
    if (::getuid() == 0) {
        const pid_t child = ::fork();
        if (child == 0)
            ::_exit(::setgid(65534) == 0 && ::setuid(65534) == 0 && refused() ? 0 : 1);
        int status = 0;
        ::waitpid(child, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    } else {
        EXPECT_TRUE(refused());
    }
    EXPECT_EQ(readAll(path), "old");
    EXPECT_EQ(hiddenAndPlainFiles(dir.path()), QStringList{"readonly.ini"});
}

TEST(AppendOnlyFile, FullDiskReportsTheReasonAndLeavesNoHalfEntry)
{
    AppendOnlyFile full(QStringLiteral("/dev/full"));
    try {
        full.append("/2/insert into T values ('x')\r\n");
        ADD_FAILURE() << "no error";
    } catch (const EFileWriteError &e) {
        EXPECT_EQ(QString::fromUtf8(e.what()), QStringLiteral("/dev/full: No space left on device"));
    }

    QTemporaryDir dir;
    const QString path = dir.filePath("err.log");
    const QByteArray first(100, 'a');
    writeAll(path, first);
    const bool refused = inProcessWithFileSizeLimit(150, [&] {
        AppendOnlyFile log(path);
        try {
            log.append(QByteArray(100, 'b'));
        } catch (const EFileWriteError &e) {
            return e.reason() == QStringLiteral("File too large");
        }
        return false;
    });
    EXPECT_TRUE(refused);
    EXPECT_EQ(readAll(path), first) << "the part that fitted was cut off again";

    AppendOnlyFile log(path);
    log.append("c\n");
    EXPECT_EQ(readAll(path), first + "c\n");
    EXPECT_THROW(AppendOnlyFile(dir.filePath("none/err.log")), EFileWriteError);
}

} // namespace
