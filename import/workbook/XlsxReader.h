#pragma once
// The xlsx / xlsm reader: one sheet of an Office Open XML workbook. The
// shared strings and styles are read at open; the worksheet part is read
// forward, inflated as it is read, as often as the sheet is read.

#include "import/workbook/CellText.h"
#include "import/workbook/SheetRows.h"
#include "import/workbook/ZipPackage.h"

#include <QString>

#include <string_view>
#include <vector>

namespace rowpour::workbook
{

constexpr int kXlsxMaxRows = 1048576;
constexpr int kXlsxMaxColumns = 16384;

// What the number format of each cell style (an index into cellXfs) shows.
struct XlsxStyles {
    std::vector<NumberFormatKind> kinds;
    NumberFormatKind kindOf(std::size_t style) const
    {
        return style < kinds.size() ? kinds[style] : NumberFormatKind::Number;
    }
};

XlsxStyles parseXlsxStyles(ByteSource &part, const QString &partName);
// Appends the shared strings to `pool` in order (pool index = string index).
void parseXlsxSharedStrings(ByteSource &source, StringPool &pool, const QString &partName);
// A forward reader of a worksheet part, whose cells refer to `shared`.
std::unique_ptr<SheetRows> xlsxWorksheetRows(std::unique_ptr<ByteSource> part, const XlsxStyles &styles,
                                             bool date1904, const StringPool &shared,
                                             const QString &partName);

// The chosen sheet of the package; throws FormatError.
std::unique_ptr<SheetSource> openXlsx(std::unique_ptr<ZipArchive> package, const SheetChoice &choice);
std::vector<SheetInfo> listXlsxSheets(const ZipArchive &package);

} // namespace rowpour::workbook
