#pragma once
// Writing files so that nothing is left half-written: a whole file is replaced
// through a temporary file beside it (synced, then renamed over it), and a log
// takes each entry in one piece. Every failure carries the system's reason
// ("No space left on device").

#include <QByteArray>
#include <QString>

#include <optional>
#include <stdexcept>

namespace rowpour::platform
{

// what() is "<what>: <reason>" (UTF-8).
class EFileWriteError : public std::runtime_error
{
public:
    EFileWriteError(const QString &what, const QString &reason);
    const QString &reason() const { return reason_; }

private:
    QString reason_;
};

// The system's text for the last failure of a system call (errno).
QString lastSystemError();

// Replaces the file's contents with bytes. The temporary file ("." name
// ".tmp-" process id "-" random, in the same folder) is removed on every
// failure, and ones left behind by processes that no longer run (a crash) are
// removed by the next write of the same file. A symbolic link is followed: the
// file it points to is replaced. The file gets `mode` when one is given;
// otherwise it keeps the mode of the file it replaces, and a new file gets
// 0666 less the umask. A file that may not be written is refused, as a write
// in place would be. Throws EFileWriteError naming the file.
void WriteFileAtomically(const QString &path, const QByteArray &bytes, std::optional<unsigned> mode = {});

// A log written one whole entry at a time, appended at its end.
class AppendOnlyFile
{
public:
    // Opens (or creates) the file for appending. Throws EFileWriteError.
    explicit AppendOnlyFile(const QString &path);
    // The process's standard error.
    static AppendOnlyFile standardError();
    ~AppendOnlyFile();
    AppendOnlyFile(AppendOnlyFile &&other) noexcept;
    AppendOnlyFile &operator=(AppendOnlyFile &&) = delete;

    // Writes the entry. When the system takes only part of it (a full disk),
    // the part is cut off again, so a file never ends in half an entry.
    // Throws EFileWriteError naming the file and the reason.
    void append(const QByteArray &entry);
    const QString &name() const { return name_; }

private:
    AppendOnlyFile(int fd, bool owned, QString name);
    int fd_;
    bool owned_;
    QString name_;
};

// Writes all bytes to standard output or standard error. Throws
// EFileWriteError ("standard output: Broken pipe").
void WriteStandardOutput(const QByteArray &bytes);
void WriteStandardError(const QByteArray &bytes);

} // namespace rowpour::platform
