#include "WorkbookTestSupport.h"

#include <QFile>

#include <zip.h>

#include <stdexcept>

namespace rowpour::workbook::test
{

platform::OperatorLocale cLocale()
{
    return platform::OperatorLocale(QLocale::c());
}

platform::OperatorLocale ruLocale()
{
    return platform::OperatorLocale(QLocale(QStringLiteral("ru_RU")));
}

QString writeZip(const QTemporaryDir &dir, const QString &name, const Parts &parts)
{
    const QString path = dir.filePath(name);
    int error = 0;
    zip_t *archive = zip_open(QFile::encodeName(path).constData(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (archive == nullptr)
        throw std::runtime_error("cannot create zip");
    for (const auto &[part, content] : parts) {
        zip_source_t *source = zip_source_buffer(archive, content.data(), content.size(), 0);
        if (source == nullptr || zip_file_add(archive, part.c_str(), source, ZIP_FL_ENC_UTF_8) < 0)
            throw std::runtime_error("cannot add " + part);
    }
    if (zip_close(archive) != 0)
        throw std::runtime_error("cannot write zip");
    return path;
}

std::string worksheet(const std::string &sheetData)
{
    return R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)"
           R"(<worksheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" )"
           R"(xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships">)"
           "<sheetData>" +
           sheetData + "</sheetData></worksheet>";
}

Parts xlsxParts(const std::string &sheetData, const std::string &sharedStrings, const std::string &styles,
                const std::string &workbookPr)
{
    const std::string rel = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/";
    std::string workbookRels =
        R"(<?xml version="1.0"?><Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)"
        R"(<Relationship Id="rId1" Type=")" +
        rel + R"(worksheet" Target="worksheets/sheet1.xml"/>)";
    if (!sharedStrings.empty())
        workbookRels +=
            R"(<Relationship Id="rId2" Type=")" + rel + R"(sharedStrings" Target="sharedStrings.xml"/>)";
    if (!styles.empty())
        workbookRels += R"(<Relationship Id="rId3" Type=")" + rel + R"(styles" Target="styles.xml"/>)";
    workbookRels += "</Relationships>";
    Parts parts = {
        {"[Content_Types].xml",
         R"(<?xml version="1.0"?><Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types"/>)"},
        {"_rels/.rels",
         R"(<?xml version="1.0"?><Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)"
         R"(<Relationship Id="rId1" Type=")" +
             rel + R"(officeDocument" Target="xl/workbook.xml"/></Relationships>)"},
        {"xl/workbook.xml",
         R"(<?xml version="1.0"?><workbook xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" )"
         R"(xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships">)" +
             workbookPr + R"(<sheets><sheet name="Data" sheetId="1" r:id="rId1"/></sheets></workbook>)"},
        {"xl/_rels/workbook.xml.rels", workbookRels},
        {"xl/worksheets/sheet1.xml", worksheet(sheetData)},
    };
    if (!sharedStrings.empty())
        parts.push_back({"xl/sharedStrings.xml", sharedStrings});
    if (!styles.empty())
        parts.push_back({"xl/styles.xml", styles});
    return parts;
}

QString writeFile(const QTemporaryDir &dir, const QString &name, const QByteArray &bytes)
{
    const QString path = dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        throw std::runtime_error("cannot write test file");
    return path;
}

QString sourceDir()
{
    const QString dir = qEnvironmentVariable("ROWPOUR_SOURCE_DIR");
    return dir.isEmpty() ? QStringLiteral(ROWPOUR_TEST_SOURCE_DIR) : dir;
}

QString buildDir()
{
    const QString dir = qEnvironmentVariable("ROWPOUR_BUILD_DIR");
    return dir.isEmpty() ? QStringLiteral(ROWPOUR_TEST_BUILD_DIR) : dir;
}

QString fixture(const QString &name)
{
    return sourceDir() + QStringLiteral("/tests/workbook/fixtures/") + name;
}

QStringList readRows(Workbook &book, int firstRow, int lastRow, int firstColumn, int lastColumn)
{
    QStringList rows;
    for (int r = firstRow; r <= lastRow; ++r) {
        QStringList cells;
        for (int c = firstColumn; c <= lastColumn; ++c)
            cells << book.cellText(r, c);
        rows << cells.join(QLatin1Char('\t'));
    }
    return rows;
}

} // namespace rowpour::workbook::test
