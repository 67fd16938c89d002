#pragma once
// The readers of the formats besides xlsx (see XlsxReader.h).

#include "import/workbook/SheetStore.h"
#include "import/workbook/ZipPackage.h"

#include <QByteArray>

namespace rowpour::workbook
{

constexpr int kXlsMaxRows = 65536;
constexpr int kXlsMaxColumns = 256;
constexpr int kOdsMaxRows = 1048576;
constexpr int kOdsMaxColumns = 16384;
constexpr int kTextMaxRows = 0x7FFFFFFE;
constexpr int kTextMaxColumns = 16384;

// xls: the first sheet of the workbook stream inside a compound file.
SheetStore readXls(const QByteArray &file);
// ods: the first table of content.xml.
SheetStore readOds(const ZipArchive &package);
void parseOdsContent(ByteSource &content, SheetBuilder &builder);
// Delimited text: encoding and delimiter detected, every field as text.
SheetStore readDelimitedText(const QByteArray &file);

} // namespace rowpour::workbook
