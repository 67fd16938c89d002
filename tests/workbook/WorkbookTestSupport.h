#pragma once
// Helpers of the workbook tests: packages written at test time, locales, and
// reading a whole range.

#include "import/workbook/Workbook.h"

#include <QString>
#include <QTemporaryDir>

#include <string>
#include <utility>
#include <vector>

namespace rowpour::workbook::test
{

using Parts = std::vector<std::pair<std::string, std::string>>;

platform::OperatorLocale cLocale();
platform::OperatorLocale ruLocale();

// Writes a zip package of the given parts (stored in this order).
QString writeZip(const QTemporaryDir &dir, const QString &name, const Parts &parts);
// The parts of an xlsx package with one sheet; shared strings and styles
// only when given.
Parts xlsxParts(const std::string &sheetData, const std::string &sharedStrings = {},
                const std::string &styles = {}, const std::string &workbookPr = {});
// A worksheet part around the given <sheetData> content.
std::string worksheet(const std::string &sheetData);

QString writeFile(const QTemporaryDir &dir, const QString &name, const QByteArray &bytes);
QString fixture(const QString &name);
QString buildDir();

// Rows of cells, as the cells command prints them (tab-separated).
QStringList readRows(Workbook &book, int firstRow, int lastRow, int firstColumn, int lastColumn);

// The message of the exception that `f` throws, or "" when it throws none.
template <class F> std::string errorOf(F &&f)
{
    try {
        f();
    } catch (const std::exception &e) {
        return e.what();
    }
    return {};
}

} // namespace rowpour::workbook::test
