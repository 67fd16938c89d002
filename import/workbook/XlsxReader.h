#pragma once
// The xlsx / xlsm reader: the first sheet of an Office Open XML workbook.

#include "import/workbook/SheetStore.h"
#include "import/workbook/ZipPackage.h"

#include <QString>

#include <string_view>
#include <vector>

namespace rowpour::workbook
{

constexpr int kXlsxMaxRows = 1048576;
constexpr int kXlsxMaxColumns = 16384;

// Which cell styles (indexes into cellXfs) carry a date or time format.
struct XlsxStyles {
    std::vector<bool> dateStyle;
    bool isDate(std::size_t style) const { return style < dateStyle.size() && dateStyle[style]; }
};

XlsxStyles parseXlsxStyles(std::string_view xml, const QString &partName);
// Appends the shared strings to `pool` in order (pool index = string index).
void parseXlsxSharedStrings(ByteSource &source, StringPool &pool, const QString &partName);
// Reads the cells of a worksheet part; the builder's pool already holds
// `sharedCount` shared strings.
void parseXlsxWorksheet(ByteSource &source, const XlsxStyles &styles, bool date1904,
                        std::uint32_t sharedCount, SheetBuilder &builder, const QString &partName);

// The first sheet of the package; throws FormatError.
SheetStore readXlsx(const ZipArchive &package);

} // namespace rowpour::workbook
