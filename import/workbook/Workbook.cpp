#include "import/workbook/Workbook.h"

#include "import/workbook/Readers.h"
#include "import/workbook/WorkbookErrors.h"
#include "import/workbook/XlsxReader.h"

#include <QFileInfo>

#include <cstring>
#include <new>

namespace rowpour::workbook
{

namespace
{

enum class Content { Zip, Compound, OldBiff, Markup, Text, Binary };

constexpr std::size_t kSniffBytes = 4096;
// An xls file is read whole; none comes near this size.
constexpr qint64 kMaxXlsBytes = qint64(1) << 30;

bool startsWith(const QByteArray &bytes, const char *prefix, int size)
{
    return bytes.size() >= size && std::memcmp(bytes.constData(), prefix, std::size_t(size)) == 0;
}

bool looksLikeMarkup(const QByteArray &head)
{
    QByteArray text = head;
    if (text.startsWith("\xEF\xBB\xBF"))
        text.remove(0, 3);
    text = text.trimmed().left(16).toLower();
    for (const char *start : {"<?xml", "<html", "<!doctype", "<table", "<workbook", "<office:"})
        if (text.startsWith(start))
            return true;
    return false;
}

Content sniff(const QByteArray &head)
{
    if (startsWith(head, "PK\x03\x04", 4) || startsWith(head, "PK\x05\x06", 4))
        return Content::Zip;
    if (startsWith(head, "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8))
        return Content::Compound;
    // Excel 2 to 4 files are bare record streams starting with a BOF record.
    if (head.size() >= 4 && head[0] == '\x09' &&
        (head[1] == '\x00' || head[1] == '\x02' || head[1] == '\x04') && head[3] == '\x00')
        return Content::OldBiff;
    if (startsWith(head, "\xFF\xFE", 2) || startsWith(head, "\xFE\xFF", 2))
        return Content::Text;
    if (head.contains('\0'))
        return Content::Binary;
    if (looksLikeMarkup(head))
        return Content::Markup;
    return Content::Text;
}

FormatError reasonOf(const char *text)
{
    return FormatError(QString::fromUtf8(text));
}

// Refuses, before anything is opened, what cannot be a workbook file: so a
// named pipe or a device never blocks the reader.
void checkRegularFile(const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists())
        throw reasonOf(texts::kFileMissing);
    if (info.isDir())
        throw FormatError(QString::fromUtf8(texts::kFileUnreadable).arg(QStringLiteral("it is a folder")));
    if (!info.isFile())
        throw FormatError(QString::fromUtf8(texts::kNotARegularFile)
                              .arg(QStringLiteral("a named pipe, a device or a socket")));
    if (info.size() == 0)
        throw reasonOf(texts::kFileEmpty);
}

QByteArray readHead(const QString &path)
{
    FileSource file(path);
    QByteArray head(qsizetype(kSniffBytes), '\0');
    std::size_t size = 0;
    while (size < kSniffBytes) {
        const std::size_t n = file.read(head.data() + size, kSniffBytes - size);
        if (n == 0)
            break;
        size += n;
    }
    head.resize(qsizetype(size));
    return head;
}

QByteArray readWhole(const QString &path)
{
    if (QFileInfo(path).size() > kMaxXlsBytes)
        throw damaged(QStringLiteral("the file is larger than any Excel 97-2003 workbook"));
    FileSource file(path);
    QByteArray bytes;
    char buffer[65536];
    for (std::size_t n; (n = file.read(buffer, sizeof buffer)) != 0;)
        bytes.append(buffer, qsizetype(n));
    return bytes;
}

// Where the bytes of a workbook come from: a file, or memory.
struct Input {
    const QString *path = nullptr;
    const QByteArray *bytes = nullptr;

    std::unique_ptr<ZipArchive> archive() const
    {
        return bytes ? ZipArchive::openMemory(*bytes) : ZipArchive::openFile(*path);
    }
    QByteArray whole() const { return bytes ? *bytes : readWhole(*path); }
    ByteSourceOpener opener() const
    {
        if (bytes)
            return [data = *bytes]() -> std::unique_ptr<ByteSource> {
                return std::make_unique<MemorySource>(data.constData(), std::size_t(data.size()));
            };
        return [file = *path]() -> std::unique_ptr<ByteSource> { return std::make_unique<FileSource>(file); };
    }
};

bool isOds(const ZipArchive &package)
{
    if (package.contains("mimetype")) {
        const std::string mime =
            QByteArray::fromStdString(package.readAll("mimetype", 1024)).trimmed().toStdString();
        if (mime.starts_with("application/vnd.oasis.opendocument.spreadsheet"))
            return true;
        if (mime.starts_with("application/vnd.oasis.opendocument"))
            throw reasonOf(texts::kNotASpreadsheet);
    }
    if (package.contains("[Content_Types].xml") || package.contains("_rels/.rels"))
        return false;
    if (package.contains("content.xml"))
        return true;
    throw reasonOf(texts::kNotAWorkbook);
}

void refuseOtherContent(Content content)
{
    switch (content) {
    case Content::OldBiff:
        throw reasonOf(texts::kOldXlsUnsupported);
    case Content::Markup:
        throw reasonOf(texts::kXmlOrHtml);
    case Content::Binary:
        throw reasonOf(texts::kNotAWorkbook);
    default:
        break;
    }
}

// A delimited text file is one sheet.
void checkSingleSheet(const SheetChoice &choice, const QString &name)
{
    if (!choice.name.isEmpty() && choice.name != QFileInfo(name).completeBaseName())
        throw FormatError(QString::fromUtf8(texts::kNoSheetNamed).arg(choice.name));
    if (choice.name.isEmpty() && choice.number != 1)
        throw FormatError(QString::fromUtf8(texts::kNoSheetNumber).arg(choice.number).arg(1));
}

std::unique_ptr<SheetSource> openSource(const QString &name, const QByteArray &head, const Input &input,
                                        const SheetChoice &choice)
{
    const Content content = sniff(head);
    refuseOtherContent(content);
    if (content == Content::Zip) {
        auto package = input.archive();
        if (isOds(*package))
            return openOds(std::move(package), choice);
        return openXlsx(std::move(package), choice);
    }
    if (content == Content::Compound)
        return openXls(input.whole(), choice);
    checkSingleSheet(choice, name);
    return openDelimitedText(input.opener());
}

QString cannotOpen(const QString &name, const QString &reason)
{
    return QString::fromUtf8(texts::kCannotOpen).arg(name, reason);
}

std::unique_ptr<Workbook> open(const QString &name, const QByteArray &head, const Input &input,
                               const platform::OperatorLocale &locale, const SheetChoice &choice)
{
    try {
        auto book = std::make_unique<Workbook>(name, openSource(name, head, input, choice), locale);
        book->readStart();
        return book;
    } catch (const FormatError &e) {
        throw std::runtime_error(cannotOpen(name, QString::fromUtf8(e.what())).toStdString());
    } catch (const std::bad_alloc &) {
        throw std::runtime_error(
            cannotOpen(name, QStringLiteral("there is not enough memory to read it")).toStdString());
    }
}

} // namespace

Workbook::Workbook(QString path, std::unique_ptr<SheetSource> sheet, const platform::OperatorLocale &locale)
    : path_(std::move(path)), window_(std::move(sheet)), formatter_(locale)
{
}

void Workbook::readStart()
{
    window_.readStart();
}

void Workbook::cannotRead(const QString &reason) const
{
    throw std::runtime_error(QString::fromUtf8(texts::kCannotRead).arg(path_, reason).toStdString());
}

int Workbook::lastColumnOfRow(int row)
{
    if (row < 1 || row > maxRows())
        cellText(row, 1); // fails with the message for the row
    try {
        const RowBlock *block = window_.block(std::uint32_t(row));
        return block && !block->runs.empty() ? block->runs.back().lastColumn : 0;
    } catch (const FormatError &e) {
        cannotRead(QString::fromUtf8(e.what()));
    } catch (const std::bad_alloc &) {
        cannotRead(QStringLiteral("there is not enough memory to read it"));
    }
}

const CellValue *Workbook::valueAt(int row, int column, const RowBlock *&block)
{
    const char *reason = nullptr;
    int limit = 0;
    if (row < 1)
        reason = texts::kRowBelowOne;
    else if (column < 1)
        reason = texts::kColumnBelowOne;
    else if (row > maxRows())
        reason = texts::kRowBeyondLimit, limit = maxRows();
    else if (column > maxColumns())
        reason = texts::kColumnBeyondLimit, limit = maxColumns();
    const auto fail = [&](const QString &why) {
        throw std::runtime_error(
            QString::fromUtf8(texts::kCannotReadCell).arg(row).arg(column).arg(path_, why).toStdString());
    };
    if (reason != nullptr)
        fail(limit != 0 ? QString::fromUtf8(reason).arg(limit) : QString::fromUtf8(reason));
    block = nullptr;
    try {
        block = window_.block(std::uint32_t(row));
    } catch (const FormatError &e) {
        cannotRead(QString::fromUtf8(e.what()));
    } catch (const std::bad_alloc &) {
        cannotRead(QStringLiteral("there is not enough memory to read it"));
    }
    const CellValue *value = block ? block->find(column) : nullptr;
    if (value != nullptr && value->kind == CellKind::Unreadable)
        fail(QString::fromUtf8(texts::kCellTooLarge).arg(kMaxCellTextBytes >> 20));
    return value;
}

QString Workbook::cellText(int row, int column)
{
    const RowBlock *block = nullptr;
    const CellValue *value = valueAt(row, column, block);
    return value ? formatter_.text(*value, window_.source().sharedStrings(), block) : QString();
}

bool Workbook::isNumber(int row, int column)
{
    const RowBlock *block = nullptr;
    const CellValue *value = valueAt(row, column, block);
    return value && value->kind == CellKind::Number;
}

CellRange Workbook::usedRange()
{
    try {
        return window_.usedRange();
    } catch (const FormatError &e) {
        cannotRead(QString::fromUtf8(e.what()));
    } catch (const std::bad_alloc &) {
        cannotRead(QStringLiteral("there is not enough memory to read it"));
    }
}

QString unquotedPath(const QString &path)
{
    if (path.size() >= 2 && path.startsWith(QLatin1Char('"')) && path.endsWith(QLatin1Char('"')))
        return path.mid(1, path.size() - 2);
    return path;
}

std::unique_ptr<Workbook> openWorkbook(const QString &path, const platform::OperatorLocale &locale,
                                       const SheetChoice &sheet)
{
    const QString file = unquotedPath(path);
    QByteArray head;
    try {
        checkRegularFile(file);
        head = readHead(file);
    } catch (const FormatError &e) {
        throw std::runtime_error(cannotOpen(file, QString::fromUtf8(e.what())).toStdString());
    }
    return open(file, head, Input{&file, nullptr}, locale, sheet);
}

std::unique_ptr<Workbook> openWorkbookBytes(const QByteArray &bytes, const QString &name,
                                            const platform::OperatorLocale &locale, const SheetChoice &sheet)
{
    if (bytes.isEmpty())
        throw std::runtime_error(cannotOpen(name, QString::fromUtf8(texts::kFileEmpty)).toStdString());
    return open(name, bytes.left(qsizetype(kSniffBytes)), Input{nullptr, &bytes}, locale, sheet);
}

std::vector<SheetInfo> listSheets(const QString &path)
{
    const QString file = unquotedPath(path);
    try {
        checkRegularFile(file);
        const Content content = sniff(readHead(file));
        refuseOtherContent(content);
        if (content == Content::Zip) {
            const auto package = ZipArchive::openFile(file);
            return isOds(*package) ? listOdsSheets(*package) : listXlsxSheets(*package);
        }
        if (content == Content::Compound)
            return listXlsSheets(readWhole(file));
        return {SheetInfo{QFileInfo(file).completeBaseName(), false}};
    } catch (const FormatError &e) {
        throw std::runtime_error(cannotOpen(file, QString::fromUtf8(e.what())).toStdString());
    }
}

} // namespace rowpour::workbook
