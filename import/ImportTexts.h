#pragma once
// Texts of the import engine that the user sees or that its files carry, in
// one place so that callers and tests compare against the same constants.
// The workbook readers keep theirs in import/workbook/WorkbookErrors.h.

#include <QString>
#include <QStringList>

#include <array>

namespace rowpour
{

namespace import_texts
{
inline const QString kDeleteProgress = QStringLiteral("delete old data from table ");
inline const QString kErrorCaption = QStringLiteral("error");
inline const QString kNotExecuted = QStringLiteral("not executed query: ");
inline const QString kSummaryCaption = QStringLiteral("move data");
inline const QString kFinished = QStringLiteral("Process finished");
inline const QString kFinishedWithErrors = QStringLiteral("Process finished with errors ");
inline const QString kInserted = QStringLiteral("inserted ");
inline const QString kRecordFrom = QStringLiteral(" record from ");
inline const QString kSelected = QStringLiteral(" selected");
inline const QString kLineEnd = QStringLiteral("\r\n");
// The line after the summary's two fixed lines that counts the skipped rows.
inline const QString kSkipped = QStringLiteral("skipped %1 found in the table");

// What the check before any change refuses, naming the value at fault.
inline const QString kNoTable = QStringLiteral("No table is chosen");
inline const QString kTableNotIdentifier = QStringLiteral("Table name '%1' is not a valid identifier");
inline const QString kTableNotFound = QStringLiteral("Table %1 is not one of the user's tables");
inline const QString kNothingTakesPart =
    QStringLiteral("No mapping row takes part in the import (Proceed 1)");
inline const QString kFieldNotIdentifier =
    QStringLiteral("ORA field '%1' of mapping row %2 is not a valid identifier");
inline const QString kFieldNotColumn =
    QStringLiteral("ORA field %1 of mapping row %2 is not a column of table %3");
inline const QString kFieldTwice = QStringLiteral("ORA field %1 is mapped twice, in mapping rows %2 and %3");
inline const QString kUnknownCode =
    QStringLiteral("Process data '%1' of ORA field %2 is not a known code (L<number>, D or empty)");
inline const QString kXlsFieldOutside =
    QStringLiteral("XLS field %1 of ORA field %2 is outside the sheet's columns 1 to %3");
inline const QString kRowOutside = QStringLiteral("Row %1 is outside the sheet's rows 1 to %2");
inline const QString kEmptyRangeWithDelete =
    QStringLiteral("Start row %1 is after end row %2: no row would be loaded, so the old data of table %3 "
                   "was not deleted");
// Added to the message of an error that ended a run after its first change.
inline const QString kNothingKept =
    QStringLiteral("Nothing of this run was kept: the table is as it was before the run.");
inline const QString kUndoFailed = QStringLiteral("The changes of this run could not be undone: %1");
} // namespace import_texts

namespace mapping_texts
{
inline const QString kProceedYes = QStringLiteral("1");
inline const QString kValidationCaption = QStringLiteral("Ошибка");
inline const QString kValidationHeading = QStringLiteral("Ошибки при заполненнии матрицы:");
inline const QString kValidationRowPrefix = QStringLiteral("строка матрицы ");
inline const QString kValidationRowSuffix = QStringLiteral("-незаполненна");
// Header texts of grid row 0, in column order.
inline const std::array<QString, 6> kHeaders = {
    QStringLiteral("ORA field"), QStringLiteral("ORA fType"),    QStringLiteral("Proceed"),
    QStringLiteral("XLS field"), QStringLiteral("Process data"), QStringLiteral("Default value"),
};
} // namespace mapping_texts

namespace settings_texts
{
inline const QString kUnableToWrite = QStringLiteral("Unable to write to %1");
inline const QString kRowsSection = QStringLiteral("Rows");
inline const QString kRowKeyPrefix = QStringLiteral("Row");
inline const QString kFieldSeparator = QStringLiteral(",");
// The sheet of the workbook the mapping was made for, in a section of its own:
// a reader that knows only section "Rows" never sees it.
inline const QString kWorkbookSection = QStringLiteral("Workbook");
inline const QString kSheetKey = QStringLiteral("Sheet");
inline const QString kOptionsSection = QStringLiteral("Options");
inline const QString kArrayInsertKey = QStringLiteral("ArrayInsert");
} // namespace settings_texts

namespace check_texts
{
inline const QString kHeading = QStringLiteral("Check of table %1, rows %2 to %3:");
inline const QString kWouldFail = QStringLiteral("%1 rows would fail");
inline const QString kNotJudged =
    QStringLiteral("Judged for NULL only (type or session format not read): %1");
inline const QString kSeekEndsRun =
    QStringLiteral("With \"Seek old record\" on, the seek of a row whose number or date the session cannot "
                   "read is refused as well, and that ends the run: the first such row undoes it.");
inline const QString kProgress = QStringLiteral("checking rows %1 to %2...");
// The report's texts for what a column refuses: the column, why, and the
// Oracle error a load of the row would meet.
inline const QString kFault = QStringLiteral("%1: %2 (ORA-%3)");
inline const QString kNoValue = QStringLiteral("no value, and the column is NOT NULL");
inline const QString kNotLoaded = QStringLiteral("not loaded, and the column is NOT NULL without a default");
inline const QString kTooManyBytes = QStringLiteral("%1 bytes, more than the %2 bytes the column holds");
inline const QString kTooManyCharacters =
    QStringLiteral("%1 characters, more than the %2 characters the column holds");
inline const QString kNotANumber =
    QStringLiteral("'%1' is not a number the session reads (decimal character '%2')");
inline const QString kTooManyDigits =
    QStringLiteral("%1 has more digits before the decimal point than %2 allows");
inline const QString kNumberOverflow = QStringLiteral("%1 is beyond the largest number");
inline const QString kNotADate = QStringLiteral("'%1' is not a date in the session's format %2: %3");
inline const QString kNotHex = QStringLiteral("'%1' is not a hexadecimal text");
inline const QString kLiteralTooLong = QStringLiteral("%1 bytes, more than the %2 bytes a literal holds");
} // namespace check_texts

namespace cell_value_texts
{
inline const QString kNoDate = QStringLiteral("01.01.1900");
} // namespace cell_value_texts

namespace integer_texts
{
inline const QString kNotAnInteger = QStringLiteral("'%1' is not a valid integer value");
} // namespace integer_texts

namespace sheet_texts
{
inline const QString kHiddenMark = QStringLiteral(" (hidden)");
} // namespace sheet_texts

namespace errorlog_texts
{
inline const QString kCaption = QStringLiteral("Ошибки импорта");
inline const QString kDefaultFileName = QStringLiteral("ROWPOUR_Err.log");
inline const QString kDefaultSuffix = QStringLiteral("log");
inline const QStringList kFilters = {QStringLiteral("LOG (*.log)"), QStringLiteral("Все файлы (*)")};
// The file could not be written: the file name and the system's reason.
inline const QString kCannotCreateFile = QStringLiteral("Cannot create file \"%1\". %2");
} // namespace errorlog_texts

} // namespace rowpour
