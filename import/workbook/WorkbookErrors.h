#pragma once
// User-visible texts of the workbook source, in one place so that the tests
// compare against the same constants.

#include <QString>

#include <stdexcept>
#include <string>

namespace rowpour::workbook
{

namespace texts
{
inline constexpr const char *kCannotOpen = "Cannot open the workbook \"%1\": %2";
inline constexpr const char *kCannotRead = "Cannot read the workbook \"%1\": %2";
inline constexpr const char *kCannotReadCell = "Cannot read row %1, column %2 of the workbook \"%3\": %4";

inline constexpr const char *kFileMissing = "the file does not exist";
inline constexpr const char *kFileUnreadable = "the file cannot be read (%1)";
inline constexpr const char *kFileEmpty = "the file is empty";
inline constexpr const char *kNotARegularFile = "it is not a regular file (%1)";
inline constexpr const char *kNotAWorkbook =
    "it is not a workbook (xlsx, xlsm, xls, ods or delimited text were expected)";
inline constexpr const char *kXmlOrHtml =
    "it is an XML or HTML document, not a workbook; save it as xlsx, ods or csv";
inline constexpr const char *kEncrypted = "it is protected with a password; save it without one";
inline constexpr const char *kXlsbUnsupported = "binary xlsb workbooks are not supported; save it as xlsx";
inline constexpr const char *kOldXlsUnsupported =
    "Excel files older than Excel 95 are not supported; save it as xlsx";
inline constexpr const char *kNotASpreadsheet = "it is an OpenDocument file, but not a spreadsheet";
inline constexpr const char *kNoSheet = "it contains no sheet";
inline constexpr const char *kNoSheetNumber = "it has no sheet %1 (it has %2)";
inline constexpr const char *kNoSheetNamed = "it has no sheet named \"%1\"";
inline constexpr const char *kSheetNotWorksheet = "its sheet \"%1\" is a chart, not a worksheet";
inline constexpr const char *kDamaged = "it is damaged (%1)";

inline constexpr const char *kRowBelowOne = "row numbers start at 1";
inline constexpr const char *kColumnBelowOne = "column numbers start at 1";
inline constexpr const char *kRowBeyondLimit = "the sheet has at most %1 rows";
inline constexpr const char *kColumnBeyondLimit = "the sheet has at most %1 columns";
inline constexpr const char *kCellTooLarge = "its text is longer than %1 MB";
} // namespace texts

// A fault found inside the file: the reason text without the file name; the
// workbook opener wraps it into the full message.
class FormatError : public std::runtime_error
{
public:
    explicit FormatError(const QString &reason) : std::runtime_error(reason.toStdString()) {}
};

// A reason naming a damaged part of the file.
inline FormatError damaged(const QString &detail)
{
    return FormatError(QString::fromUtf8(texts::kDamaged).arg(detail));
}

} // namespace rowpour::workbook
