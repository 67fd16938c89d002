#include "platform/Registry.h"

#include "platform/CodePage.h"
#include "platform/Environment.h"
#include "platform/FileWriting.h"
#include "platform/PlatformTexts.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

#include <algorithm>

#include <mutex>
#include <sys/stat.h>

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
            throw ERegistryError(QString::fromUtf8(texts::InvalidValueName).arg(name));
    }
}

// A line's text: UTF-8 when it is valid UTF-8, otherwise Windows-1251, in
// which every byte is a character.
QString decodeLine(const QByteArray &bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8(bytes);
    return utf8.hasError() ? fromCp1251(bytes) : text;
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
    qsizetype start = 0;
    while (start < text.size()) {
        qsizetype end = text.indexOf('\n', start);
        end = end < 0 ? text.size() : end + 1;
        Line line;
        line.raw = text.mid(start, end - start);
        start = end;
        QByteArray content = line.raw;
        while (content.endsWith('\n') || content.endsWith('\r'))
            content.chop(1);
        const QString decoded = decodeLine(content);
        const QString trimmed = decoded.trimmed();
        const qsizetype eq = decoded.indexOf(QLatin1Char('='));
        const bool comment =
            trimmed.isEmpty() || trimmed.startsWith(QLatin1Char(';')) || trimmed.startsWith(QLatin1Char('#'));
        if (comment) {
            line.kind = LineKind::Other;
        } else if (trimmed.startsWith(QLatin1Char('[')) && trimmed.endsWith(QLatin1Char(']'))) {
            line.kind = LineKind::Section;
            line.key = normalizedKey(trimmed.mid(1, trimmed.size() - 2));
        } else if (eq >= 0) {
            line.kind = LineKind::Value;
            line.name = decoded.left(eq).trimmed();
            line.value = unescape(decoded.mid(eq + 1));
        }
        registry.lines_.append(line);
    }
    return registry;
}

QByteArray RegistryFile::serialize() const
{
    QByteArray out;
    for (const Line &line : lines_)
        out += line.raw;
    return out;
}

void RegistryFile::saveAtomically(const QString &path) const
{
    const QString dir = QFileInfo(path).absolutePath();
    if (!QDir().exists(dir)) {
        if (!QDir().mkpath(dir))
            throw ERegistryError(QString::fromUtf8(texts::CannotCreateDirectory).arg(dir));
        ::chmod(QFile::encodeName(dir).constData(), 0700);
    }
    try {
        WriteFileAtomically(path, serialize(), 0600);
    } catch (const EFileWriteError &e) {
        throw ERegistryError(QString::fromUtf8(texts::CannotWrite).arg(path, e.reason()));
    }
}

RegistryFile::Line RegistryFile::valueLine(const QString &name, const QString &value)
{
    Line line;
    line.kind = LineKind::Value;
    line.name = name;
    line.value = value;
    line.raw = (name + QLatin1Char('=') + escape(value)).toUtf8() + '\n';
    return line;
}

QList<qsizetype> RegistryFile::valueLines(const QString &key) const
{
    const QString wanted = normalizedKey(key);
    QList<qsizetype> found;
    bool inKey = false;
    for (qsizetype i = 0; i < lines_.size(); ++i) {
        if (lines_[i].kind == LineKind::Section)
            inKey = sameName(lines_[i].key, wanted);
        else if (inKey && lines_[i].kind == LineKind::Value)
            found.append(i);
    }
    return found;
}

qsizetype RegistryFile::insertionPoint(const QString &key)
{
    const QString wanted = normalizedKey(key);
    qsizetype point = -1;
    bool inKey = false;
    for (qsizetype i = 0; i < lines_.size(); ++i) {
        if (lines_[i].kind == LineKind::Section) {
            inKey = sameName(lines_[i].key, wanted);
            if (inKey)
                point = i;
        } else if (inKey && lines_[i].kind == LineKind::Value) {
            point = i;
        }
    }
    if (point >= 0)
        return point;
    if (!lines_.isEmpty() && lines_.last().kind != LineKind::Other)
        insertLine(lines_.size() - 1, Line{"\n", LineKind::Other, {}, {}, {}});
    insertLine(
        lines_.size() - 1,
        Line{
            (QLatin1Char('[') + wanted + QStringLiteral("]\n")).toUtf8(), LineKind::Section, wanted, {}, {}});
    return lines_.size() - 1;
}

void RegistryFile::insertLine(qsizetype after, Line line)
{
    if (after >= 0 && !lines_[after].raw.endsWith('\n'))
        lines_[after].raw += '\n';
    lines_.insert(after + 1, std::move(line));
}

bool RegistryFile::hasKey(const QString &key) const
{
    const QString wanted = normalizedKey(key);
    return std::any_of(lines_.begin(), lines_.end(), [&](const Line &line) {
        return line.kind == LineKind::Section && sameName(line.key, wanted);
    });
}

bool RegistryFile::hasValue(const QString &key, const QString &name) const
{
    const QList<qsizetype> lines = valueLines(key);
    return std::any_of(lines.begin(), lines.end(),
                       [&](qsizetype i) { return sameName(lines_[i].name, name); });
}

// A name given twice reads as its last line says.
QString RegistryFile::value(const QString &key, const QString &name) const
{
    QString result;
    for (const qsizetype i : valueLines(key)) {
        if (sameName(lines_[i].name, name))
            result = lines_[i].value;
    }
    return result;
}

QStringList RegistryFile::valueNames(const QString &key) const
{
    QStringList names;
    for (const qsizetype i : valueLines(key)) {
        if (!names.contains(lines_[i].name, Qt::CaseInsensitive))
            names << lines_[i].name;
    }
    return names;
}

void RegistryFile::setValue(const QString &key, const QString &name, const QString &value)
{
    checkName(name);
    qsizetype last = -1;
    for (const qsizetype i : valueLines(key)) {
        if (sameName(lines_[i].name, name))
            last = i;
    }
    if (last >= 0) {
        Line replaced = valueLine(lines_[last].name, value);
        if (!lines_[last].raw.endsWith('\n'))
            replaced.raw.chop(1);
        lines_[last] = replaced;
        return;
    }
    insertLine(insertionPoint(key), valueLine(name, value));
}

void RegistryFile::removeValue(const QString &key, const QString &name)
{
    const QList<qsizetype> lines = valueLines(key);
    for (auto it = lines.rbegin(); it != lines.rend(); ++it) {
        if (sameName(lines_[*it].name, name))
            lines_.removeAt(*it);
    }
}

void RegistryFile::replaceValues(const QString &key, const RegistryValues &values)
{
    for (const auto &pair : values)
        checkName(pair.first);
    const QList<qsizetype> lines = valueLines(key);
    for (auto it = lines.rbegin(); it != lines.rend(); ++it)
        lines_.removeAt(*it);
    qsizetype at = insertionPoint(key);
    for (const auto &[name, value] : values)
        insertLine(at++, valueLine(name, value));
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
