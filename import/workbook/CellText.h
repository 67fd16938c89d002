#pragma once
// Turning stored cell values into the texts the import reads, and the date
// rules shared by the readers.

#include "import/workbook/SheetStore.h"
#include "platform/OperatorLocale.h"

#include <QString>

#include <string_view>

namespace rowpour::workbook
{

// Shortest general form with at most 15 significant digits ("0.3", "1E+15",
// "1.5E-07"), with the given decimal separator.
QString numberText(double value, QChar decimalSeparator);

class CellTextFormatter
{
public:
    explicit CellTextFormatter(const platform::OperatorLocale &locale);
    QString text(const CellValue &value, const StringPool &strings) const;

private:
    QString dateTimeText(std::int64_t millis) const;
    QString timeText(std::int64_t millisOfDay) const;

    QLocale locale_;
    QString dateFormat_;
    QString timeFormat_;
    QChar decimal_;
    bool plainDate_; // dd.MM.yyyy, formatted without QLocale
    bool plainTime_; // HH:mm:ss
};

// A spreadsheet serial number with a date or time format, as a cell value.
// Serial numbers that name no date (negative, beyond 9999, or the 29 February
// 1900 of the 1900 date system) stay numbers.
CellValue serialToValue(double serial, bool date1904);

// Whether a number format shows a date or time: the built-in format numbers,
// and custom format codes with date or time fields outside quotes and brackets.
bool isBuiltinDateFormat(int formatId);
bool isDateFormatCode(std::u16string_view code);
bool isDateFormatCode(const QString &code);

// Milliseconds since 1899-12-30 for an ISO 8601 date or date-time text
// ("2024-03-01", "2024-03-01T10:11:12.5"); false when the text is none.
bool parseIsoDateTime(std::string_view text, std::int64_t &millis);

// Milliseconds of an ISO 8601 duration such as "PT10H11M12S".
bool parseIsoDuration(std::string_view text, std::int64_t &millis);

} // namespace rowpour::workbook
