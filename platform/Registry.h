#pragma once
// The registry of the program, kept in files (Linux has no Windows registry).
//
//   HKEY_CURRENT_USER   $XDG_CONFIG_HOME/rowpour/registry.ini (default
//                       ~/.config/rowpour/registry.ini); read and written.
//   HKEY_LOCAL_MACHINE  read only: the file named by $ROWPOUR_SYSTEM_REGISTRY,
//                       else /etc/rowpour/registry.ini (optional), plus the
//                       environment: $ORACLE_HOME is the value "ORACLE_HOME"
//                       of the key SOFTWARE\ORACLE (it wins over the file).
//
// One INI section per key path ("[SOFTWARE\ORACLE\HOME0]"), one "Name=Value"
// line per string value. Key and value names are matched without regard to
// case, as in the Windows registry. In values, "\\", "\n", "\r" and "\t" stand
// for a backslash, line feed, carriage return and tab; any other backslash is
// taken literally. The user's file holds scrambled passwords: it is created
// with mode 0600 and always replaced atomically (temporary file, rename).
// Lines the program does not change are written back byte for byte: comments,
// blank lines, and lines that are not UTF-8 (read as Windows-1251).

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

#include <stdexcept>

namespace rowpour::platform
{

enum class RegistryRoot { CurrentUser, LocalMachine };

using RegistryValues = QList<QPair<QString, QString>>;

class ERegistryError : public std::runtime_error
{
public:
    explicit ERegistryError(const QString &message) : std::runtime_error(message.toStdString()) {}
};

// The contents of one registry file.
class RegistryFile
{
public:
    // A missing or unreadable file gives an empty registry.
    static RegistryFile load(const QString &path);
    static RegistryFile parse(const QByteArray &text);
    QByteArray serialize() const;
    // Writes the file with mode 0600 through a temporary file and a rename;
    // creates the directory (mode 0700) when needed. Throws ERegistryError
    // with the system's reason.
    void saveAtomically(const QString &path) const;

    bool hasKey(const QString &key) const;
    bool hasValue(const QString &key, const QString &name) const;
    QString value(const QString &key, const QString &name) const;
    QStringList valueNames(const QString &key) const;
    void setValue(const QString &key, const QString &name, const QString &value);
    void removeValue(const QString &key, const QString &name);
    // Replaces all values of a key (the key is kept even when empty).
    void replaceValues(const QString &key, const RegistryValues &values);

private:
    enum class LineKind { Other, Section, Value };
    struct Line {
        QByteArray raw; // as read or as written, with its line end
        LineKind kind = LineKind::Other;
        QString key;  // Section: the key path
        QString name; // Value: name and value
        QString value;
    };
    static Line valueLine(const QString &name, const QString &value);
    // Indices of the value lines of a key (in every section of that key).
    QList<qsizetype> valueLines(const QString &key) const;
    // The line after which a new value of the key goes; adds the section when missing.
    qsizetype insertionPoint(const QString &key);
    void insertLine(qsizetype after, Line line);
    QList<Line> lines_;
};

namespace Registry
{

QString currentUserFile();
QString localMachineFile();

// The string value, or empty when the key or value is missing.
QString readString(RegistryRoot root, const QString &key, const QString &name);
QStringList valueNames(RegistryRoot root, const QString &key);

// Writing is possible under HKEY_CURRENT_USER only; each call rewrites the
// file atomically. Throws ERegistryError.
void writeString(const QString &key, const QString &name, const QString &value);
void replaceValues(const QString &key, const RegistryValues &values);
void deleteValue(const QString &key, const QString &name);

} // namespace Registry
} // namespace rowpour::platform
