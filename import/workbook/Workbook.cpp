#include "import/workbook/Workbook.h"

#include "import/workbook/Readers.h"
#include "import/workbook/WorkbookErrors.h"
#include "import/workbook/XlsxReader.h"

#include <QFile>
#include <QFileInfo>

#include <cstring>
#include <new>

namespace rowpour::workbook
{

namespace
{

enum class Content { Zip, Compound, OldBiff, Markup, Text, Binary };

constexpr std::size_t kSniffBytes = 4096;

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

struct Sheet {
    WorkbookFormat format;
    SheetStore store;
    int maxRows;
    int maxColumns;
};

Sheet readPackage(const ZipArchive &package)
{
    if (package.contains("mimetype")) {
        const std::string mime =
            QByteArray::fromStdString(package.readAll("mimetype", 1024)).trimmed().toStdString();
        if (mime.starts_with("application/vnd.oasis.opendocument.spreadsheet"))
            return {WorkbookFormat::Ods, readOds(package), kOdsMaxRows, kOdsMaxColumns};
        if (mime.starts_with("application/vnd.oasis.opendocument"))
            throw FormatError(QString::fromUtf8(texts::kNotASpreadsheet));
    }
    if (package.contains("[Content_Types].xml") || package.contains("_rels/.rels"))
        return {WorkbookFormat::Xlsx, readXlsx(package), kXlsxMaxRows, kXlsxMaxColumns};
    if (package.contains("content.xml"))
        return {WorkbookFormat::Ods, readOds(package), kOdsMaxRows, kOdsMaxColumns};
    throw FormatError(QString::fromUtf8(texts::kNotAWorkbook));
}

// Reads the whole file, or only its first bytes.
QByteArray readFile(const QString &path, qint64 limit)
{
    QFile file(path);
    if (!file.exists())
        throw FormatError(QString::fromUtf8(texts::kFileMissing));
    if (QFileInfo(path).isDir())
        throw FormatError(QString::fromUtf8(texts::kFileUnreadable).arg(QStringLiteral("it is a folder")));
    if (!file.open(QIODevice::ReadOnly))
        throw FormatError(QString::fromUtf8(texts::kFileUnreadable).arg(file.errorString()));
    QByteArray bytes = limit < 0 ? file.readAll() : file.read(limit);
    if (file.error() != QFileDevice::NoError)
        throw FormatError(QString::fromUtf8(texts::kFileUnreadable).arg(file.errorString()));
    return bytes;
}

Sheet readSheet(const QByteArray &head, const QString *path, const QByteArray *bytes)
{
    const auto whole = [&] { return bytes ? *bytes : readFile(*path, -1); };
    switch (sniff(head)) {
    case Content::Zip:
        return readPackage(*(bytes ? ZipArchive::openMemory(*bytes) : ZipArchive::openFile(*path)));
    case Content::Compound:
        return {WorkbookFormat::Xls, readXls(whole()), kXlsMaxRows, kXlsMaxColumns};
    case Content::OldBiff:
        throw FormatError(QString::fromUtf8(texts::kOldXlsUnsupported));
    case Content::Markup:
        throw FormatError(QString::fromUtf8(texts::kXmlOrHtml));
    case Content::Binary:
        throw FormatError(QString::fromUtf8(texts::kNotAWorkbook));
    case Content::Text:
        break;
    }
    return {WorkbookFormat::DelimitedText, readDelimitedText(whole()), kTextMaxRows, kTextMaxColumns};
}

std::unique_ptr<Workbook> open(const QString &name, const QByteArray &head, const QString *path,
                               const QByteArray *bytes, const platform::OperatorLocale &locale)
{
    try {
        Sheet sheet = readSheet(head, path, bytes);
        return std::make_unique<Workbook>(name, sheet.format, std::move(sheet.store), sheet.maxRows,
                                          sheet.maxColumns, locale);
    } catch (const FormatError &e) {
        throw std::runtime_error(
            QString::fromUtf8(texts::kCannotOpen).arg(name, QString::fromUtf8(e.what())).toStdString());
    } catch (const std::bad_alloc &) {
        throw std::runtime_error(QString::fromUtf8(texts::kCannotOpen)
                                     .arg(name, QStringLiteral("there is not enough memory to read it"))
                                     .toStdString());
    }
}

} // namespace

Workbook::Workbook(QString path, WorkbookFormat format, SheetStore sheet, int maxRows, int maxColumns,
                   const platform::OperatorLocale &locale)
    : path_(std::move(path)), format_(format), sheet_(std::move(sheet)), maxRows_(maxRows),
      maxColumns_(maxColumns), formatter_(locale)
{
}

QString Workbook::cellText(int row, int column)
{
    const char *reason = nullptr;
    int limit = 0;
    if (row < 1)
        reason = texts::kRowBelowOne;
    else if (column < 1)
        reason = texts::kColumnBelowOne;
    else if (row > maxRows_)
        reason = texts::kRowBeyondLimit, limit = maxRows_;
    else if (column > maxColumns_)
        reason = texts::kColumnBeyondLimit, limit = maxColumns_;
    if (reason != nullptr) {
        QString why = QString::fromUtf8(reason);
        if (limit != 0)
            why = why.arg(limit);
        throw std::runtime_error(
            QString::fromUtf8(texts::kCannotReadCell).arg(row).arg(column).arg(path_, why).toStdString());
    }
    const CellValue *value = sheet_.find(row, column);
    return value ? formatter_.text(*value, sheet_.strings()) : QString();
}

QString unquotedPath(const QString &path)
{
    if (path.size() >= 2 && path.startsWith(QLatin1Char('"')) && path.endsWith(QLatin1Char('"')))
        return path.mid(1, path.size() - 2);
    return path;
}

std::unique_ptr<Workbook> openWorkbook(const QString &path, const platform::OperatorLocale &locale)
{
    const QString file = unquotedPath(path);
    try {
        const QByteArray head = readFile(file, qint64(kSniffBytes));
        return open(file, head, &file, nullptr, locale);
    } catch (const FormatError &e) {
        throw std::runtime_error(
            QString::fromUtf8(texts::kCannotOpen).arg(file, QString::fromUtf8(e.what())).toStdString());
    }
}

std::unique_ptr<Workbook> openWorkbookBytes(const QByteArray &bytes, const QString &name,
                                            const platform::OperatorLocale &locale)
{
    return open(name, bytes.left(qsizetype(kSniffBytes)), nullptr, &bytes, locale);
}

} // namespace rowpour::workbook
