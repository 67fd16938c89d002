#include "platform/FileWriting.h"

#include "platform/PlatformTexts.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <utility>

namespace rowpour::platform
{

namespace
{

QByteArray encoded(const QString &path)
{
    return QFile::encodeName(path);
}

// Writes all bytes, going on after interruptions and partial writes; false
// (errno set) when the system refuses the rest.
bool writeAll(int fd, const QByteArray &bytes)
{
    const char *p = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, static_cast<size_t>(left));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        p += n;
        left -= n;
    }
    return true;
}

// The process's umask, read without changing it (the umask call would).
unsigned currentUmask()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (status.open(QIODevice::ReadOnly)) {
        for (const QByteArray &line : status.readAll().split('\n')) {
            if (line.startsWith("Umask:")) {
                bool ok = false;
                const unsigned mask = line.mid(6).trimmed().toUInt(&ok, 8);
                if (ok)
                    return mask;
            }
        }
    }
    return 022;
}

// The file a path stands for: the target of a symbolic link, else the path.
QFileInfo targetOf(const QString &path)
{
    const QFileInfo info(path);
    if (!info.isSymLink())
        return QFileInfo(info.absoluteFilePath());
    const QString canonical = info.canonicalFilePath();
    return QFileInfo(canonical.isEmpty() ? info.symLinkTarget() : canonical);
}

QString temporaryPrefix(const QFileInfo &target)
{
    return QLatin1Char('.') + target.fileName() + QStringLiteral(".tmp-");
}

bool processIsGone(qint64 pid)
{
    return ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
}

// Temporary files of this target that a process which no longer runs left
// behind; the ones of running writers are theirs to finish.
void removeStaleTemporaries(const QFileInfo &target)
{
    const QDir dir(target.absolutePath());
    const QString prefix = temporaryPrefix(target);
    const QStringList names = dir.entryList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QString &name : names) {
        if (!name.startsWith(prefix))
            continue;
        bool ok = false;
        const qint64 pid = name.mid(prefix.size()).section(QLatin1Char('-'), 0, 0).toLongLong(&ok);
        if (ok && pid > 0 && pid != ::getpid() && processIsGone(pid))
            ::unlink(encoded(dir.filePath(name)).constData());
    }
}

// A temporary file that is removed unless it was renamed into place.
class TemporaryFile
{
public:
    explicit TemporaryFile(const QByteArray &pattern) : path_(pattern) { fd_ = ::mkstemp(path_.data()); }
    ~TemporaryFile()
    {
        closeFile();
        if (!renamed_)
            ::unlink(path_.constData());
    }
    TemporaryFile(const TemporaryFile &) = delete;
    TemporaryFile &operator=(const TemporaryFile &) = delete;

    int fd() const { return fd_; }
    bool closeFile()
    {
        const int fd = std::exchange(fd_, -1);
        return fd < 0 || ::close(fd) == 0;
    }
    bool renameTo(const QByteArray &target)
    {
        renamed_ = ::rename(path_.constData(), target.constData()) == 0;
        return renamed_;
    }

private:
    QByteArray path_;
    int fd_ = -1;
    bool renamed_ = false;
};

void syncDirectory(const QString &path)
{
    const int fd = ::open(encoded(path).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

void writeStandardStream(int fd, const QString &name, const QByteArray &bytes)
{
    if (!writeAll(fd, bytes))
        throw EFileWriteError(name, lastSystemError());
}

} // namespace

EFileWriteError::EFileWriteError(const QString &what, const QString &reason)
    : std::runtime_error((what + QStringLiteral(": ") + reason).toStdString()), reason_(reason)
{
}

QString lastSystemError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

void WriteFileAtomically(const QString &path, const QByteArray &bytes, std::optional<unsigned> mode)
{
    const QFileInfo target = targetOf(path);
    // Renaming would replace a read-only file that a write in place could not touch.
    if (target.exists() && ::access(encoded(target.filePath()).constData(), W_OK) != 0)
        throw EFileWriteError(path, lastSystemError());
    removeStaleTemporaries(target);
    if (!mode) {
        struct stat existing {
        };
        mode = ::stat(encoded(target.filePath()).constData(), &existing) == 0 ? existing.st_mode & 07777
                                                                              : 0666 & ~currentUmask();
    }
    const QString pattern = target.absolutePath() + QLatin1Char('/') + temporaryPrefix(target) +
                            QString::number(::getpid()) + QStringLiteral("-XXXXXX");
    TemporaryFile temporary(encoded(pattern));
    const auto fail = [&] { throw EFileWriteError(path, lastSystemError()); };
    if (temporary.fd() < 0)
        fail();
    if (::fchmod(temporary.fd(), *mode) != 0 || !writeAll(temporary.fd(), bytes) ||
        ::fsync(temporary.fd()) != 0 || !temporary.closeFile())
        fail();
    if (!temporary.renameTo(encoded(target.filePath())))
        fail();
    syncDirectory(target.absolutePath());
}

AppendOnlyFile::AppendOnlyFile(const QString &path)
    : fd_(::open(encoded(path).constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666)), owned_(true),
      name_(path)
{
    if (fd_ < 0)
        throw EFileWriteError(path, lastSystemError());
}

AppendOnlyFile::AppendOnlyFile(int fd, bool owned, QString name)
    : fd_(fd), owned_(owned), name_(std::move(name))
{
}

AppendOnlyFile AppendOnlyFile::standardError()
{
    return AppendOnlyFile(STDERR_FILENO, false, QString::fromUtf8(texts::StandardError));
}

AppendOnlyFile::AppendOnlyFile(AppendOnlyFile &&other) noexcept
    : fd_(std::exchange(other.fd_, -1)), owned_(other.owned_), name_(std::move(other.name_))
{
}

AppendOnlyFile::~AppendOnlyFile()
{
    if (owned_ && fd_ >= 0)
        ::close(fd_);
}

void AppendOnlyFile::append(const QByteArray &entry)
{
    // Where the entry starts; a pipe or terminal has no such place (-1).
    const off_t start = ::lseek(fd_, 0, SEEK_END);
    if (writeAll(fd_, entry))
        return;
    const QString reason = lastSystemError();
    if (start >= 0) {
        // When even cutting fails, the write's reason is still the one reported.
        const int cut = ::ftruncate(fd_, start);
        Q_UNUSED(cut)
    }
    throw EFileWriteError(name_, reason);
}

void WriteStandardOutput(const QByteArray &bytes)
{
    writeStandardStream(STDOUT_FILENO, QString::fromUtf8(texts::StandardOutput), bytes);
}

void WriteStandardError(const QByteArray &bytes)
{
    writeStandardStream(STDERR_FILENO, QString::fromUtf8(texts::StandardError), bytes);
}

} // namespace rowpour::platform
