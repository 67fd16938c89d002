#include "platform/Registry.h"

#include "platform/Environment.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace rowpour::platform
{

namespace
{

const QString oracleKey = QStringLiteral("SOFTWARE\\ORACLE");

QString normalizedKey(const QString &key)
{
    QString k = key.trimmed();
    while (k.startsWith(QLatin1Char('\\')))
        k.remove(0, 1);
    while (k.endsWith(QLatin1Char('\\')))
        k.chop(1);
    return k;
}

bool sameName(const QString &a, const QString &b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

QString unescape(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('\\') && i + 1 < text.size()) {
            const QChar next = text.at(i + 1);
            if (next == QLatin1Char('\\') || next == QLatin1Char('n') || next == QLatin1Char('r') ||
                next == QLatin1Char('t')) {
                out += next == QLatin1Char('n')   ? QChar('\n')
                       : next == QLatin1Char('r') ? QChar('\r')
                       : next == QLatin1Char('t') ? QChar('\t')
                                                  : QChar('\\');
                ++i;
                continue;
            }
        }
        out += c;
    }
    return out;
}

QString escape(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        if (c == QLatin1Char('\\'))
            out += QStringLiteral("\\\\");
        else if (c == QLatin1Char('\n'))
            out += QStringLiteral("\\n");
        else if (c == QLatin1Char('\r'))
            out += QStringLiteral("\\r");
        else if (c == QLatin1Char('\t'))
            out += QStringLiteral("\\t");
        else
            out += c;
    }
    return out;
}

void checkName(const QString &name)
{
    for (const QChar c : name) {
        if (c == QLatin1Char('=') || c == QLatin1Char('[') || c.unicode() < 32)
            throw ERegistryError(QStringLiteral("Invalid registry value name \"%1\"").arg(name));
    }
}

[[noreturn]] void throwSystemError(const QString &what, const QString &path)
{
    throw ERegistryError(
        QStringLiteral("%1 %2: %3").arg(what, path, QString::fromLocal8Bit(std::strerror(errno))));
}

void writeAll(int fd, const QByteArray &data, const QString &path)
{
    const char *p = data.constData();
    qsizetype left = data.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, static_cast<size_t>(left));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            throwSystemError(QStringLiteral("Cannot write"), path);
        }
        p += n;
        left -= n;
    }
}

// Serialises read-modify-write cycles of the user's file within the process.
std::mutex &userFileMutex()
{
    static std::mutex m;
    return m;
}

} // namespace

RegistryFile RegistryFile::load(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return parse(file.readAll());
}

RegistryFile RegistryFile::parse(const QByteArray &text)
{
    RegistryFile registry;
    Section *current = nullptr;
    const QList<QByteArray> lines = text.split('\n');
    for (const QByteArray &raw : lines) {
        QString line = QString::fromUtf8(raw);
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        const QString trimmed = line.trimmed();
        if (trimmed.isEmpty() || trimmed.startsWith(QLatin1Char(';')) || trimmed.startsWith(QLatin1Char('#')))
            continue;
        if (trimmed.startsWith(QLatin1Char('[')) && trimmed.endsWith(QLatin1Char(']'))) {
            current = &registry.findOrAdd(trimmed.mid(1, trimmed.size() - 2));
            continue;
        }
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (!current || eq < 0)
            continue;
        const QString name = line.left(eq).trimmed();
        const QString value = unescape(line.mid(eq + 1));
        bool replaced = false;
        for (auto &pair : current->values) {
            if (sameName(pair.first, name)) {
                pair.second = value;
                replaced = true;
            }
        }
        if (!replaced)
            current->values.append({name, value});
    }
    return registry;
}

QByteArray RegistryFile::serialize() const
{
    QString out;
    for (const Section &s : sections_) {
        out += QLatin1Char('[') + s.key + QStringLiteral("]\n");
        for (const auto &pair : s.values)
            out += pair.first + QLatin1Char('=') + escape(pair.second) + QLatin1Char('\n');
        out += QLatin1Char('\n');
    }
    return out.toUtf8();
}

void RegistryFile::saveAtomically(const QString &path) const
{
    const QFileInfo info(path);
    const QString dir = info.absolutePath();
    if (!QDir().exists(dir)) {
        if (!QDir().mkpath(dir))
            throwSystemError(QStringLiteral("Cannot create the directory"), dir);
        ::chmod(QFile::encodeName(dir).constData(), 0700);
    }
    QByteArray tmpl = QFile::encodeName(info.absoluteFilePath() + QStringLiteral(".XXXXXX"));
    const int fd = ::mkstemp(tmpl.data()); // created with mode 0600
    if (fd < 0)
        throwSystemError(QStringLiteral("Cannot create a temporary file beside"), path);
    const QString tmpPath = QFile::decodeName(tmpl);
    try {
        ::fchmod(fd, 0600);
        writeAll(fd, serialize(), tmpPath);
        if (::fsync(fd) != 0)
            throwSystemError(QStringLiteral("Cannot write"), tmpPath);
    } catch (...) {
        ::close(fd);
        ::unlink(tmpl.constData());
        throw;
    }
    if (::close(fd) != 0) {
        ::unlink(tmpl.constData());
        throwSystemError(QStringLiteral("Cannot write"), tmpPath);
    }
    if (::rename(tmpl.constData(), QFile::encodeName(info.absoluteFilePath()).constData()) != 0) {
        ::unlink(tmpl.constData());
        throwSystemError(QStringLiteral("Cannot replace"), path);
    }
}

const RegistryFile::Section *RegistryFile::find(const QString &key) const
{
    const QString k = normalizedKey(key);
    for (const Section &s : sections_) {
        if (sameName(s.key, k))
            return &s;
    }
    return nullptr;
}

RegistryFile::Section &RegistryFile::findOrAdd(const QString &key)
{
    if (const Section *s = find(key))
        return const_cast<Section &>(*s);
    sections_.append({normalizedKey(key), {}});
    return sections_.last();
}

bool RegistryFile::hasKey(const QString &key) const
{
    return find(key) != nullptr;
}

bool RegistryFile::hasValue(const QString &key, const QString &name) const
{
    if (const Section *s = find(key)) {
        for (const auto &pair : s->values) {
            if (sameName(pair.first, name))
                return true;
        }
    }
    return false;
}

QString RegistryFile::value(const QString &key, const QString &name) const
{
    if (const Section *s = find(key)) {
        for (const auto &pair : s->values) {
            if (sameName(pair.first, name))
                return pair.second;
        }
    }
    return {};
}

QStringList RegistryFile::valueNames(const QString &key) const
{
    QStringList names;
    if (const Section *s = find(key)) {
        for (const auto &pair : s->values)
            names << pair.first;
    }
    return names;
}

void RegistryFile::setValue(const QString &key, const QString &name, const QString &value)
{
    checkName(name);
    Section &s = findOrAdd(key);
    for (auto &pair : s.values) {
        if (sameName(pair.first, name)) {
            pair.second = value;
            return;
        }
    }
    s.values.append({name, value});
}

void RegistryFile::removeValue(const QString &key, const QString &name)
{
    if (const Section *found = find(key)) {
        auto &values = const_cast<Section *>(found)->values;
        values.removeIf([&](const auto &pair) { return sameName(pair.first, name); });
    }
}

void RegistryFile::replaceValues(const QString &key, const RegistryValues &values)
{
    for (const auto &pair : values)
        checkName(pair.first);
    findOrAdd(key).values = values;
}

namespace Registry
{

QString currentUserFile()
{
    QString base = Environment::variable("XDG_CONFIG_HOME");
    if (base.isEmpty())
        base = Environment::homeDirectory() + QStringLiteral("/.config");
    return base + QStringLiteral("/rowpour/registry.ini");
}

QString localMachineFile()
{
    const QString file = Environment::variable("ROWPOUR_SYSTEM_REGISTRY");
    return file.isEmpty() ? QStringLiteral("/etc/rowpour/registry.ini") : file;
}

namespace
{

bool isOracleHomeFromEnvironment(const QString &key, const QString &name)
{
    return sameName(normalizedKey(key), oracleKey) && sameName(name, QStringLiteral("ORACLE_HOME")) &&
           !Environment::variable("ORACLE_HOME").isEmpty();
}

RegistryFile loadRoot(RegistryRoot root)
{
    return RegistryFile::load(root == RegistryRoot::CurrentUser ? currentUserFile() : localMachineFile());
}

template <typename Change> void changeUserFile(Change change)
{
    std::lock_guard lock(userFileMutex());
    const QString path = currentUserFile();
    RegistryFile file = RegistryFile::load(path);
    change(file);
    file.saveAtomically(path);
}

} // namespace

QString readString(RegistryRoot root, const QString &key, const QString &name)
{
    if (root == RegistryRoot::LocalMachine && isOracleHomeFromEnvironment(key, name))
        return Environment::variable("ORACLE_HOME");
    return loadRoot(root).value(key, name);
}

QStringList valueNames(RegistryRoot root, const QString &key)
{
    QStringList names = loadRoot(root).valueNames(key);
    if (root == RegistryRoot::LocalMachine &&
        isOracleHomeFromEnvironment(key, QStringLiteral("ORACLE_HOME")) &&
        !names.contains(QStringLiteral("ORACLE_HOME"), Qt::CaseInsensitive))
        names << QStringLiteral("ORACLE_HOME");
    return names;
}

void writeString(const QString &key, const QString &name, const QString &value)
{
    changeUserFile([&](RegistryFile &file) { file.setValue(key, name, value); });
}

void replaceValues(const QString &key, const RegistryValues &values)
{
    changeUserFile([&](RegistryFile &file) { file.replaceValues(key, values); });
}

void deleteValue(const QString &key, const QString &name)
{
    changeUserFile([&](RegistryFile &file) { file.removeValue(key, name); });
}

} // namespace Registry
} // namespace rowpour::platform
