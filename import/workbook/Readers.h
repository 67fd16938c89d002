#pragma once
// The readers of the formats besides xlsx (see XlsxReader.h).

#include "import/workbook/SheetRows.h"
#include "import/workbook/ZipPackage.h"

#include <QByteArray>

#include <functional>
#include <vector>

namespace rowpour::workbook
{

constexpr int kXlsMaxRows = 65536;
constexpr int kXlsMaxColumns = 256;
constexpr int kOdsMaxRows = 1048576;
constexpr int kOdsMaxColumns = 16384;
constexpr int kTextMaxRows = 0x7FFFFFFE;
constexpr int kTextMaxColumns = 16384;

// xls: a sheet of the workbook stream inside a compound file.
std::unique_ptr<SheetSource> openXls(const QByteArray &file, const SheetChoice &choice);
std::vector<SheetInfo> listXlsSheets(const QByteArray &file);

// ods: a table of content.xml.
std::unique_ptr<SheetSource> openOds(std::unique_ptr<ZipArchive> package, const SheetChoice &choice);
std::vector<SheetInfo> listOdsSheets(const ZipArchive &package);
// The rows of the first table of a content.xml stream, without styles.xml.
std::unique_ptr<SheetRows> odsContentRows(std::unique_ptr<ByteSource> content);

// Delimited text: encoding and delimiter detected, every field as text. The
// function opens the text from its start, as often as it is read.
using ByteSourceOpener = std::function<std::unique_ptr<ByteSource>()>;
std::unique_ptr<SheetSource> openDelimitedText(ByteSourceOpener open);

} // namespace rowpour::workbook
