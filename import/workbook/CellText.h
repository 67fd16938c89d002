#pragma once
// Turning stored cell values into the texts the import reads, and the date
// rules shared by the readers.

#include "import/workbook/SheetRows.h"
#include "platform/OperatorLocale.h"

#include <QString>

#include <string_view>

namespace rowpour::workbook
{

// Shortest general form with at most 15 significant digits ("0.3", "1E+15",
// "1.5E-07"), with the given decimal separator.
QString numberText(double value, QChar decimalSeparator);

// An elapsed time as its total hours, minutes and seconds: "36:00:00",
// "-00:30:00".
QString durationText(std::int64_t millis);

class CellTextFormatter
{
public:
    explicit CellTextFormatter(const platform::OperatorLocale &locale);
    // The text of a value; texts come from the shared strings or the value's block.
    QString text(const CellValue &value, const StringPool &shared, const RowBlock *block) const;

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

// What a number format shows: a plain number, a date (with or without the
// time of day), a time of day only, or an elapsed time ([h]:mm:ss).
enum class NumberFormatKind : std::uint8_t { Number, Date, Time, Duration };

// A spreadsheet serial number with a number format of that kind, as a cell
// value. A date format gives the date (serial 0 of the 1900 date system is
// 31.12.1899, the day before serial 1); a time format gives the time of day
// alone for serials below 1 and the date with the time otherwise; an elapsed
// time format gives the duration. Serials that name no date (negative,
// beyond 9999, or the 29 February 1900 of the 1900 date system) stay numbers.
CellValue serialToValue(double serial, bool date1904, NumberFormatKind kind);

// The kind of the built-in format numbers, and of custom format codes by
// their date and time fields outside quotes and brackets.
NumberFormatKind builtinFormatKind(int formatId);
NumberFormatKind formatCodeKind(std::u16string_view code);
NumberFormatKind formatCodeKind(const QString &code);

// An ISO 8601 date or date-time text ("2024-03-01", "2024-03-01T10:11:12.5")
// as a date-time value, or a time alone ("10:11:12") as a time of day; false
// when the text is neither.
bool parseIsoDateTime(std::string_view text, CellValue &value);

// Milliseconds of an ISO 8601 duration such as "PT10H11M12S".
bool parseIsoDuration(std::string_view text, std::int64_t &millis);

} // namespace rowpour::workbook
