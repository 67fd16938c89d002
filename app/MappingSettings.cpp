#include "app/MappingSettings.h"

#include "import/CellValue.h"
#include "platform/CodePage.h"
#include "platform/FileWriting.h"

#include <QFile>
#include <QHash>

#include <algorithm>

#include <optional>

namespace rowpour
{

namespace
{

const QString kLineEnd = QStringLiteral("\r\n");

bool isBlank(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t');
}

QString trimmedOfBlanks(const QString &text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isBlank(text[begin]))
        ++begin;
    while (end > begin && isBlank(text[end - 1]))
        --end;
    return text.mid(begin, end - begin);
}

// One pair of matching single or double quotes around a value is dropped.
QString withoutEnclosingQuotes(const QString &value)
{
    if (value.size() >= 2 && value.front() == value.back() &&
        (value.front() == QLatin1Char('"') || value.front() == QLatin1Char('\'')))
        return value.mid(1, value.size() - 2);
    return value;
}

// A line break inside a written name or value would split its line into two
// entries, so each one is written as a blank.
QString singleLine(QString text)
{
    text.replace(QLatin1Char('\r'), QLatin1Char(' '));
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return text;
}

QString caseKey(const QString &name)
{
    return name.toCaseFolded();
}

enum class LineKind { Other, Section, Entry };

struct ParsedLine {
    LineKind kind = LineKind::Other;
    QString name;  // section name or key
    QString value; // entry value as read: trimmed, enclosing quotes dropped
};

// Blank lines, ";" comments and "[" lines without "]" are neither sections nor entries.
ParsedLine parseLine(const QString &line)
{
    const QString text = trimmedOfBlanks(line);
    if (text.isEmpty() || text.front() == QLatin1Char(';'))
        return {};
    if (text.front() == QLatin1Char('[')) {
        const qsizetype close = text.indexOf(QLatin1Char(']'));
        if (close < 0)
            return {};
        return {LineKind::Section, trimmedOfBlanks(text.mid(1, close - 1)), {}};
    }
    const qsizetype equals = text.indexOf(QLatin1Char('='));
    const QString key = equals < 0 ? text : trimmedOfBlanks(text.left(equals));
    if (key.isEmpty())
        return {};
    const QString value = equals < 0 ? QString() : trimmedOfBlanks(text.mid(equals + 1));
    return {LineKind::Entry, key, withoutEnclosingQuotes(value)};
}

struct IniLine {
    QString text;
    QString end; // the line's own line end; empty for a last line without one
};

// Lines of the file [header, end) that belong to one section.
struct SectionRange {
    qsizetype header = -1;
    qsizetype end = -1;
};

// An INI file as its lines; edits touch only the lines they must.
class IniDocument
{
public:
    static IniDocument fromText(const QString &text)
    {
        IniDocument document;
        qsizetype start = 0;
        while (start < text.size()) {
            const qsizetype newline = text.indexOf(QLatin1Char('\n'), start);
            if (newline < 0) {
                document.lines_.append({text.mid(start), {}});
                break;
            }
            const bool crlf = newline > start && text[newline - 1] == QLatin1Char('\r');
            const qsizetype textEnd = crlf ? newline - 1 : newline;
            document.lines_.append(
                {text.mid(start, textEnd - start), text.mid(textEnd, newline + 1 - textEnd)});
            start = newline + 1;
        }
        return document;
    }

    QString toText() const
    {
        QString text;
        for (const IniLine &line : lines_)
            text += line.text + line.end;
        return text;
    }

    // Key and value of every entry of the first section named `section`, in
    // file order; a key given twice reads the value of its first entry.
    QList<std::pair<QString, QString>> entries(const QString &section) const
    {
        QList<std::pair<QString, QString>> result;
        const auto range = findSection(section);
        if (!range)
            return result;
        QHash<QString, QString> firstValues;
        for (qsizetype i = range->header + 1; i < range->end; ++i) {
            ParsedLine line = parseLine(lines_[i].text);
            if (line.kind != LineKind::Entry)
                continue;
            const QString key = caseKey(line.name);
            if (!firstValues.contains(key))
                firstValues.insert(key, line.value);
            result.append({line.name, firstValues.value(key)});
        }
        return result;
    }

    // Replaces each key's first entry in its place, or adds the entry after
    // the last entry of the section; a missing section is added at the end.
    void setValues(const QString &section, const QList<std::pair<QString, QString>> &entries)
    {
        const auto range = findSection(section);
        if (!range) {
            QList<IniLine> added{{QLatin1Char('[') + singleLine(section) + QLatin1Char(']'), kLineEnd}};
            for (const auto &[key, value] : entries)
                added.append(entryLine(key, value));
            insertAfter(lines_.size() - 1, added);
            return;
        }

        qsizetype lastEntry = range->header;
        QHash<QString, qsizetype> existing; // first entry of each key
        for (qsizetype i = range->header + 1; i < range->end; ++i) {
            const ParsedLine line = parseLine(lines_[i].text);
            if (line.kind != LineKind::Entry)
                continue;
            lastEntry = i;
            const QString key = caseKey(line.name);
            if (!existing.contains(key))
                existing.insert(key, i);
        }

        QList<std::pair<QString, QString>> newEntries;
        QHash<QString, qsizetype> newIndex;
        for (const auto &[key, value] : entries) {
            const QString folded = caseKey(key);
            if (const auto found = existing.constFind(folded); found != existing.constEnd()) {
                const QString storedKey = parseLine(lines_[*found].text).name;
                lines_[*found].text = entryLine(storedKey, value).text;
            } else if (const auto pending = newIndex.constFind(folded); pending != newIndex.constEnd()) {
                newEntries[*pending].second = value;
            } else {
                newIndex.insert(folded, newEntries.size());
                newEntries.append({key, value});
            }
        }
        QList<IniLine> added;
        for (const auto &[key, value] : newEntries)
            added.append(entryLine(key, value));
        insertAfter(lastEntry, added);
    }

private:
    static IniLine entryLine(const QString &key, const QString &value)
    {
        return {singleLine(key) + QLatin1Char('=') + singleLine(value), kLineEnd};
    }

    std::optional<SectionRange> findSection(const QString &section) const
    {
        const QString wanted = caseKey(section);
        for (qsizetype i = 0; i < lines_.size(); ++i) {
            const ParsedLine line = parseLine(lines_[i].text);
            if (line.kind != LineKind::Section || caseKey(line.name) != wanted)
                continue;
            qsizetype end = i + 1;
            while (end < lines_.size() && parseLine(lines_[end].text).kind != LineKind::Section)
                ++end;
            return SectionRange{i, end};
        }
        return std::nullopt;
    }

    // Inserts after line `index` (-1: at the start); the line before the new
    // ones gets a line end if it had none.
    void insertAfter(qsizetype index, const QList<IniLine> &added)
    {
        if (added.isEmpty())
            return;
        if (index >= 0 && lines_[index].end.isEmpty())
            lines_[index].end = kLineEnd;
        lines_.insert(index + 1, added.size(), IniLine{});
        for (qsizetype i = 0; i < added.size(); ++i)
            lines_[index + 1 + i] = added[i];
    }

    QList<IniLine> lines_;
};

// The file's text; nullopt when it exists but cannot be read.
std::optional<QString> readFileText(const QString &fileName)
{
    QFile file(fileName);
    if (!file.exists())
        return QString();
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return std::nullopt;
    return platform::decodeFileText(bytes);
}

// A crash leaves either the old or the new file, and a read-only file is
// refused (see WriteFileAtomically).
void writeFileAtomically(const QString &fileName, const QString &text)
{
    try {
        platform::WriteFileAtomically(fileName, platform::encodeFileText(text));
    } catch (const platform::EFileWriteError &) {
        throw EIniWriteError(fileName);
    }
}

} // namespace

EIniWriteError::EIniWriteError(const QString &fileName)
    : std::runtime_error(settings_texts::kUnableToWrite.arg(fileName).toStdString())
{
}

QStringList ReadIniSection(const QString &fileName, const QString &section)
{
    QStringList list;
    const std::optional<QString> text = readFileText(fileName);
    if (!text)
        return list;
    for (const auto &[key, value] : IniDocument::fromText(*text).entries(section))
        list.append(key + QLatin1Char('=') + value);
    return list;
}

void ReadIniSection(const QString &fileName, const QString &section, QStringList &list)
{
    list = ReadIniSection(fileName, section);
}

void WriteIniValue(const QString &fileName, const QString &section, const QString &key, const QString &value)
{
    WriteIniValues(fileName, section, {{key, value}});
}

namespace
{

using IniEntries = QList<std::pair<QString, QString>>;

// Writes the entries of several sections in one atomic rewrite; sections
// without entries are left as they are.
void writeIniSections(const QString &fileName, const QList<std::pair<QString, IniEntries>> &sections)
{
    if (std::all_of(sections.begin(), sections.end(), [](const auto &s) { return s.second.isEmpty(); }))
        return;
    const std::optional<QString> text = readFileText(fileName);
    if (!text)
        throw EIniWriteError(fileName);
    IniDocument document = IniDocument::fromText(*text);
    for (const auto &[section, entries] : sections) {
        if (!entries.isEmpty())
            document.setValues(section, entries);
    }
    writeFileAtomically(fileName, document.toText());
}

} // namespace

void WriteIniValues(const QString &fileName, const QString &section,
                    const QList<std::pair<QString, QString>> &entries)
{
    writeIniSections(fileName, {{section, entries}});
}

void SaveMapping(const QString &fileName, const IMappingCells &cells, const QString &sheetName)
{
    QList<std::pair<QString, QString>> entries;
    for (int row = 1; row < cells.rowCount(); ++row) {
        QStringList fields;
        for (int column = 0; column < kMappingColumnCount; ++column)
            fields.append(cells.cell(row, column));
        entries.append({settings_texts::kRowKeyPrefix + QString::number(row),
                        fields.join(settings_texts::kFieldSeparator)});
    }
    IniEntries sheet;
    if (!sheetName.isEmpty() && !entries.isEmpty())
        sheet.append({settings_texts::kSheetKey, sheetName});
    writeIniSections(fileName,
                     {{settings_texts::kRowsSection, entries}, {settings_texts::kWorkbookSection, sheet}});
}

QList<TColumnMapping> LoadMapping(const QString &fileName)
{
    QList<TColumnMapping> rows;
    for (const QString &entry : ReadIniSection(fileName, settings_texts::kRowsSection)) {
        const QString value = entry.mid(entry.indexOf(QLatin1Char('=')) + 1);
        TColumnMapping mapping;
        for (int k = 1; k <= kMappingColumnCount; ++k)
            mapping.setField(k - 1, GetLexeme(k, value, settings_texts::kFieldSeparator));
        rows.append(mapping);
    }
    return rows;
}

QString LoadMappingSheet(const QString &fileName)
{
    const QString key = settings_texts::kSheetKey.toCaseFolded();
    for (const QString &entry : ReadIniSection(fileName, settings_texts::kWorkbookSection)) {
        const qsizetype equals = entry.indexOf(QLatin1Char('='));
        if (entry.left(equals).toCaseFolded() == key)
            return entry.mid(equals + 1);
    }
    return {};
}

} // namespace rowpour
