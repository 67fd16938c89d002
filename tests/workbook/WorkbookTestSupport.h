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

// Opens the workbook and reads every cell of its used range, as the cells
// command does: the message of the failure, or "" when all of it reads.
std::string readFailure(const QString &path);

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

inline std::string readFailure(const QString &path)
{
    return errorOf([&] {
        auto book = openWorkbook(path, cLocale());
        const CellRange used = book->usedRange();
        if (!used.isEmpty())
            readRows(*book, used.firstRow, used.lastRow, used.firstColumn, used.lastColumn);
    });
}

} // namespace rowpour::workbook::test
